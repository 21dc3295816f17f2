#pragma once

#include "preferences/ToolbarButtonList.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPixmap>
#include <QPoint>

// The list of toolbar buttons of the preferences window: one 20-pixel row
// per button with its check box, picture and description. A press on the
// check box toggles it (so does Space); rows are reordered by dragging them
// or with Ctrl+Up / Ctrl+Down.
class TToolbarButtonsGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int RowHeight = 20;

    explicit TToolbarButtonsGrid(QWidget* parent = nullptr);

    void SetList(const TToolbarButtonList& list);
    const TToolbarButtonList& List() const { return m_list; }
    int CurrentRow() const { return m_currentRow; }
    void SetCurrentRow(int row);
    int DragTargetRow() const { return m_targetRow; }
    // Colours of the current row's gradient, from the scheme.
    void SetHighlight(const QColor& start, const QColor& end);
    QRect RowRect(int row) const;
    int RowAt(int y) const;
    // Moves the current row's entry to `target` (the drop).
    void DropOn(int target);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Toggle(int row);
    void UpdateScrollRange();
    void EnsureVisible(int row);

    TToolbarButtonList m_list;
    int m_currentRow = 0;
    int m_targetRow = -1;
    QPoint m_pressPos;
    bool m_pressed = false;
    QColor m_highlightStart;
    QColor m_highlightEnd;
    QPixmap m_check;
};
