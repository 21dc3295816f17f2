#include "mainwindow/FolderFilesMenu.h"

#include "app/IDesktop.h"
#include "engine/EntryData.h"
#include "engine/EntryItem.h"
#include "engine/EntryManager.h"
#include "engine/FileLists.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QKeySequence>

#include <utility>

namespace {

QAction* AddItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* AddSubmenu(QMenu* menu, const char* name, const QString& caption)
{
    QMenu* submenu = menu->addMenu(caption);
    submenu->setObjectName(QString::fromLatin1(name));
    submenu->menuAction()->setObjectName(QString::fromLatin1(name));
    return submenu;
}

} // namespace

TFolderFilesMenu::TFolderFilesMenu(TdmMain& main, QWidget* parent) : QMenu(parent), m_main(main)
{
    setObjectName(QStringLiteral("popFolderFiles"));

    miFFOpenHighlighted = AddItem(this, "miFFOpenHighlighted", QStringLiteral("Open this file"));
    addSeparator();

    miFFSelect = AddSubmenu(this, "miFFSelect", QStringLiteral("Select..."));
    miFFSelectHighlightedFile =
        AddItem(miFFSelect, "miFFSelectHighlightedFile", QStringLiteral("Select highlighted file"));
    miFFSelect->addSeparator();
    miFFSelectAll = AddItem(miFFSelect, "miFFSelectAll", QStringLiteral("All"));
    miFFSelectNone = AddItem(miFFSelect, "miFFSelectNone", QStringLiteral("None"));
    miFFInvertSelection = AddItem(miFFSelect, "miFFInvertSelection", QStringLiteral("Invert selection"));
    // The keys work in the file grids themselves; here they are only shown,
    // so they must not become shortcuts of the window the menu belongs to.
    for (QAction* action : {miFFSelectAll, miFFSelectNone, miFFInvertSelection})
        action->setShortcutContext(Qt::WidgetShortcut);
    miFFSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    miFFSelectNone->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    miFFInvertSelection->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));

    miFFSort = AddSubmenu(this, "miFFSort", QStringLiteral("Sort"));
    miSortFFByTypeName = AddItem(miFFSort, "miSortFFByTypeName", QStringLiteral("By type + name"));
    miSortFFByName = AddItem(miFFSort, "miSortFFByName", QStringLiteral("By name"));
    miSortFFBySize = AddItem(miFFSort, "miSortFFBySize", QStringLiteral("By size"));
    addSeparator();

    miSelectedFiles = AddSubmenu(this, "miSelectedFiles", QStringLiteral("Selected files"));
    miFFCutIntoNewEntry = AddItem(miSelectedFiles, "miFFCutIntoNewEntry", QStringLiteral("Cut files and create a NEW entry"));
    miFFCopyIntoNewEntry =
        AddItem(miSelectedFiles, "miFFCopyIntoNewEntry", QStringLiteral("Copy files and create a NEW entry"));
    miSelectedFiles->addSeparator();
    miFFMoveFilesToEntry = AddItem(miSelectedFiles, "miFFMoveFilesToEntry", QStringLiteral("Move to another existing entry"));
    miFFCopyFilesToEntry = AddItem(miSelectedFiles, "miFFCopyFilesToEntry", QStringLiteral("Copy to another existing entry"));
    miSelectedFiles->addSeparator();
    miFFDelete = AddItem(miSelectedFiles, "miFFDelete", QStringLiteral("Delete"));
    addSeparator();

    miFFRenameFile = AddItem(this, "miFFRenameFile", QStringLiteral("Rename this file"));
    miFFFileProperties = AddItem(this, "miFFFileProperties", QStringLiteral("Properties of this file"));

    connect(miFFOpenHighlighted, &QAction::triggered, this, [this] { miFFOpenHighlightedClick(); });
    connect(miFFSelectHighlightedFile, &QAction::triggered, this, [this] { miFFSelectHighlightedFileClick(); });
    connect(miFFSelectAll, &QAction::triggered, this, [this] {
        if (TFolderFiles* files = Files())
            files->SelectAll();
    });
    connect(miFFSelectNone, &QAction::triggered, this, [this] {
        if (TFolderFiles* files = Files())
            files->SelectNone();
    });
    connect(miFFInvertSelection, &QAction::triggered, this, [this] {
        if (TFolderFiles* files = Files())
            files->InvertSelection();
    });
    connect(miSortFFByTypeName, &QAction::triggered, this,
            [this] { SortFolderFiles(TEntryItemSorter::SortByTypeAndName); });
    connect(miSortFFByName, &QAction::triggered, this, [this] { SortFolderFiles(TEntryItemSorter::SortByName); });
    connect(miSortFFBySize, &QAction::triggered, this, [this] { SortFolderFiles(TEntryItemSorter::SortBySize); });
    using TTransfer = TEntryManager::TFolderTransfer;
    for (const auto& [action, kind] : {std::pair{miFFCutIntoNewEntry, TTransfer::CutIntoNewEntry},
                                       std::pair{miFFCopyIntoNewEntry, TTransfer::CopyIntoNewEntry},
                                       std::pair{miFFMoveFilesToEntry, TTransfer::MoveToEntry},
                                       std::pair{miFFCopyFilesToEntry, TTransfer::CopyToEntry}})
        connect(action, &QAction::triggered, this, [this, kind] { TransferFiles(kind); });
    connect(miFFDelete, &QAction::triggered, this, [this] { miFFDeleteClick(); });
    connect(miFFRenameFile, &QAction::triggered, this, [this] { miFFRenameFileClick(); });
    connect(miFFFileProperties, &QAction::triggered, this, [this] { miFFFilePropertiesClick(); });
    connect(this, &QMenu::aboutToShow, this, [this] { UpdateItems(); });
}

TFolderFiles* TFolderFilesMenu::Files() const
{
    return m_main.CurrentFolderFiles();
}

QString TFolderFilesMenu::HighlightedPath() const
{
    const TFolderFiles* files = Files();
    const TEntryItem* item = files ? files->CurrentItem() : nullptr;
    return item ? files->FolderPath() + item->Name() : QString();
}

void TFolderFilesMenu::PopupFor(TFolderFiles* files, const QPoint& globalPos)
{
    m_main.SetCurrentFolderFiles(files);
    popup(globalPos);
}

void TFolderFilesMenu::UpdateItems()
{
    const TFolderFiles* files = Files();
    const bool highlighted = files && files->CurrentItem();
    miFFSelectHighlightedFile->setEnabled(highlighted);
    if (highlighted)
        miFFSelectHighlightedFile->setText(files->IsSelected(files->CurrentIndex())
                                               ? QStringLiteral("Unselect highlighted entry")
                                               : QStringLiteral("Select highlighted entry"));
    miSelectedFiles->setEnabled(highlighted && files->SelectedCount() > 0);
}

void TFolderFilesMenu::miFFOpenHighlightedClick()
{
    if (TFolderFiles* files = Files(); files && files->CurrentItem())
        files->OpenItem(files->CurrentIndex());
}

void TFolderFilesMenu::miFFSelectHighlightedFileClick()
{
    if (TFolderFiles* files = Files(); files && files->CurrentItem())
        files->ToggleCurrent();
}

void TFolderFilesMenu::SortFolderFiles(int sortKind)
{
    TFolderFiles* files = Files();
    if (!files)
        return;
    // Sorting only shows the same files in another order. The change
    // tracking compares marks by position, so without a fresh reference
    // state an unchanged entry would count as modified after a sort.
    const bool unchanged = !files->HasChanged();
    files->Sort(sortKind);
    if (unchanged)
        files->SnapshotSelection();
}

void TFolderFilesMenu::miFFDeleteClick()
{
    TFolderFiles* files = Files();
    if (!files || files->SelectedCount() == 0)
        return;
    if (!m_main.Desktop().Confirm(QStringLiteral("Are you sure you want to delete the selected file(s)?")))
        return;
    files->DeleteSelectedFiles();
    // The entry's save commands follow what is left to store.
    if (TEntryData* owner = files->OwnerEntry())
        owner->NotifyObservers();
}

void TFolderFilesMenu::miFFRenameFileClick()
{
    if (TFolderFiles* files = Files())
        files->RenameCurrent();
}

void TFolderFilesMenu::miFFFilePropertiesClick()
{
    const QString path = HighlightedPath();
    if (!path.isEmpty())
        m_main.Desktop().ShowFileProperties(path);
}

void TFolderFilesMenu::TransferFiles(TEntryManager::TFolderTransfer kind)
{
    TFolderFiles* files = Files();
    if (!files)
        return;
    m_main.EntryManager().TransferFolderFiles(*files, kind);
    // The entry's save commands follow what is left to store.
    if (TEntryData* owner = files->OwnerEntry())
        owner->NotifyObservers();
}
