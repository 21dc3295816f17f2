#pragma once

#include "engine/FileLists.h"

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>

class QPainter;
class QRect;
class QTableWidget;
class TdmMain;
class TFolderFilesMenu;

// Binds a folder file list (an entry's folder, the monitored folder) to a
// one-column grid and draws it: one row per item with its selection mark,
// icon, name and size, the current item highlighted. The grid's keys and
// mouse act on the list: Space, Ctrl+A, Ctrl+D and Ctrl+I change the marks,
// a click on a row's mark (or Ctrl+click anywhere on it) toggles it, a double
// click elsewhere on the row opens the item, the right button
// opens the folder-files menu over this list, and dragging carries the
// current item out as a file.
//
// The observer registers itself with the list when made and unregisters when
// destroyed; a list destroyed first is simply forgotten.
class TFolderFilesGridObserver : public QObject, public IFilesObserver {
public:
    TFolderFilesGridObserver(TdmMain& main, QTableWidget* grid, TFolderFiles* files, TFolderFilesMenu* menu);
    ~TFolderFilesGridObserver() override;
    TFolderFilesGridObserver(const TFolderFilesGridObserver&) = delete;
    TFolderFilesGridObserver& operator=(const TFolderFilesGridObserver&) = delete;

    TFolderFiles* Files() const { return m_files; }
    QTableWidget* Grid() const { return m_grid; }

    bool MarkingAllowed = true;
    bool OpeningAllowed = true;

    void FilesChanged(TGenericFiles* files, int kind, int index) override;
    void FilesDestroyed(TGenericFiles* files) override;

    // One row per item (one row for the notice of an empty list), row 0 current.
    void Rebuild();
    // The single column as wide as the grid's client area.
    void FitColumn();
    // Paints one row; the grid's delegate calls it.
    void DrawCell(QPainter& painter, const QRect& rect, int row, bool focused) const;

    // The texts a row shows for a size: "1023 bytes", "1.0 Kb" (the locale's
    // decimal separator).
    static QString SizeText(qint64 size);
    static QString EmptyListText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool GridKeyDown(int key, Qt::KeyboardModifiers modifiers);
    bool GridMouseDown(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void StartDrag();
    void MoveGridRow(int index);
    int RowAt(const QPoint& pos) const;
    int IconSize() const;

    TdmMain& m_main;
    QPointer<QTableWidget> m_grid;
    TFolderFiles* m_files;
    QPointer<TFolderFilesMenu> m_menu;
    QPixmap m_mark;
    // Set while the observer itself moves the grid's row, so that the grid's
    // own cell-change signal does not come back to the list.
    bool m_movingRow = false;
    QPoint m_dragStart;
    bool m_dragArmed = false;
};
