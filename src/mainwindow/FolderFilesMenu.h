#pragma once

#include "engine/EntryManager.h"

#include <QMenu>

class QAction;
class QPoint;
class TdmMain;
class TFolderFiles;

// The right-click menu of the folder file lists (an entry's folder in the
// entry editor, the monitored folder), object name "popFolderFiles". It acts
// on the main data module's CurrentFolderFiles, which the list that opens the
// menu sets; without a current list every command does nothing.
//
// The commands that take files out of the list into another entry (cut or
// copy into a new entry, move or copy to an existing one) are the entry
// manager's, with its refusals and confirmations.
class TFolderFilesMenu : public QMenu {
public:
    explicit TFolderFilesMenu(TdmMain& main, QWidget* parent = nullptr);

    // Makes files the list the menu acts on and opens the menu at globalPos.
    void PopupFor(TFolderFiles* files, const QPoint& globalPos);
    // Captions and enabled states for the current list; runs before the menu shows.
    void UpdateItems();

    QAction* miFFOpenHighlighted;
    QMenu* miFFSelect;
    QAction* miFFSelectHighlightedFile;
    QAction* miFFSelectAll;
    QAction* miFFSelectNone;
    QAction* miFFInvertSelection;
    QMenu* miFFSort;
    QAction* miSortFFByTypeName;
    QAction* miSortFFByName;
    QAction* miSortFFBySize;
    QMenu* miSelectedFiles;
    QAction* miFFCutIntoNewEntry;
    QAction* miFFCopyIntoNewEntry;
    QAction* miFFMoveFilesToEntry;
    QAction* miFFCopyFilesToEntry;
    QAction* miFFDelete;
    QAction* miFFRenameFile;
    QAction* miFFFileProperties;

private:
    TFolderFiles* Files() const;
    // Path of the highlighted item, empty when nothing is highlighted.
    QString HighlightedPath() const;

    void miFFOpenHighlightedClick();
    void miFFSelectHighlightedFileClick();
    void SortFolderFiles(int sortKind);
    void miFFDeleteClick();
    void TransferFiles(TEntryManager::TFolderTransfer kind);
    void miFFRenameFileClick();
    void miFFFilePropertiesClick();

    TdmMain& m_main;
};
