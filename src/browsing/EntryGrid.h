#pragma once

#include "db/DataPacket.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <functional>
#include <vector>

class ClientRecordSet;
class QKeyEvent;
class QMouseEvent;

// The colours the cards are painted with, taken from the colour scheme.
struct TEntryGridColours {
    QColor grid = QColor(0xFF, 0xFB, 0xF0);
    QColor gridText = Qt::black;
    QColor highlightStart = QColor(0xAF, 0xB9, 0xC3);
    QColor highlightEnd = QColor(0xD7, 0xE1, 0xEB);
    QColor selectedTitle = QColor(0x0E, 0x3F, 0x7A);
    QColor label = QColor(0x45, 0x69, 0x6B);
    QColor note = QColor(0x80, 0x00, 0x00);
};

// The result grid of the entry browser: one card per record of a result
// record set, with a highlighted row that is the record set's current record,
// a selection of rows kept in the order the rows were selected, and one row
// expanded to show its details.
//
// The grid is bound to the record set but reads it through a copy of its
// rows in view order that shares their data (its second cursor): drawing and
// reading other rows never moves the record set's cursor. Only visible rows
// are painted and row positions are computed, not stored, so a result of a
// hundred thousand entries scrolls as lightly as one of ten.
//
// The rows show in the record set's order until SortRows puts them in
// another one; the grid then maps its rows to the records, and the record
// set keeps its order and its index.
//
// While the update counter is above zero the grid neither re-reads the
// record set nor reports record changes; when it returns to zero the grid
// rebuilds once.
class TEntryGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // The height of a collapsed row at the design's font; a larger font
    // makes the rows taller (DefaultRowHeight()).
    static constexpr int DesignRowHeight = 16;
    // The left part of a card, which holds the number and the marks.
    static constexpr int MarkAreaWidth = 100;
    static constexpr int IndentWithMarks = 100;
    static constexpr int IndentAutoExpand = 80;
    // The smallest text the grid draws; it takes the desktop's font when
    // that is larger, so the cards read at any scale.
    static constexpr int FontPixelSize = 9;
    // The height of a collapsed row: one line of the grid's font with its
    // padding, never less than the design's 16 pixels.
    int DefaultRowHeight() const { return m_line; }
    static const QString NoEntriesText;

    explicit TEntryGrid(QWidget* parent = nullptr);

    // The record set shown; nullptr shows nothing.
    void SetSource(ClientRecordSet* source);
    ClientRecordSet* Source() const { return m_source; }

    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();
    bool IsUpdating() const { return m_updateCount > 0; }
    // Re-reads the rows and the current record; keeps the selection, which
    // the caller adjusts (it is held as row positions).
    void Rebuild();

    // The rows of the result (0 when it is empty or there is none), and the
    // rows the grid draws: an empty result still draws its one note row.
    int RecordCount() const { return int(m_rows.rows.size()); }
    int RowCount() const { return std::max(1, RecordCount()); }
    bool HasRecords() const { return RecordCount() > 0; }
    // The rows as shown, sharing their data with the record set.
    DataPacket DisplayedRows() const;
    int FieldIndex(const QString& name) const { return m_rows.FieldIndex(name); }
    QVariant Value(int row, int field) const;
    QVariant Value(int row, const QString& field) const { return Value(row, FieldIndex(field)); }
    int CodeAt(int row) const;
    // The row of the entry with that code, -1 when the result holds none.
    int RowOfCode(int code) const;

    // Shows the rows ascending by a field, compared as the record set's
    // index compares (nulls first, texts ignoring case first), rows with
    // equal values by their codes; the first row becomes current. Indexing
    // the record set on "<field>;code" gives the same order.
    void SortRows(const QString& field);

    // The highlighted row: the record set's current record, -1 without records.
    int CurrentRow() const { return m_current; }
    // Moves the record set's cursor there and the highlight with it.
    void SetCurrentRow(int row);
    // The highlight follows a record set whose cursor was moved by others.
    void FollowSource();

    // Selection, in the order the rows were selected.
    const QList<int>& Selection() const { return m_selection; }
    int SelectedCount() const { return int(m_selection.size()); }
    bool IsSelected(int row) const { return row >= 0 && row < int(m_selected.size()) && m_selected[size_t(row)]; }
    void ToggleRow(int row);
    void SelectAll();
    void SelectNone();
    void InvertSelection();
    // Rows outside the result are skipped, each row is kept once.
    void SetSelection(const QList<int>& rows);

    // Expansion
    bool AutoExpand() const { return m_autoExpand; }
    // Also sets the text indent; with auto expand the highlighted row opens.
    void SetAutoExpand(bool on);
    // Wider than the standard indent when the largest entry number of the
    // result needs it: a long number would otherwise run under the plus.
    int TextIndent() const;
    int ExpandedRow() const { return m_expanded; }
    // -1 collapses.
    void SetExpandedRow(int row);
    void ToggleExpansion(int row);

    // Geometry, in viewport coordinates.
    int RowHeight(int row) const;
    QRect RowRect(int row) const;
    // -1 below the last row.
    int RowAt(int y) const;
    QRect ExpansionMarkRect(int row) const;
    int TopRow() const;
    void SetTopRow(int row);
    void ScrollToRow(int row);

    // The row entries are dragged over, -1 for none.
    int DropTargetRow() const { return m_dropTarget; }
    void SetDropTargetRow(int row);

    void SetColours(const TEntryGridColours& colours);
    const TEntryGridColours& Colours() const { return m_colours; }
    // The category path shown in the details of a row.
    std::function<QString(int categoryCode)> CategoryPath;

    // Keys reach this first; true when used up.
    std::function<bool(QKeyEvent* event)> OnKeyDown;
    // A left-button press on a record, after the highlight moved there.
    std::function<void(QMouseEvent* event, int row)> OnMouseDown;
    // The mouse moved beyond the drag distance with the left button held
    // after a press on a record.
    std::function<void()> OnStartDrag;

signals:
    // The highlight moved to another record, or the rows were rebuilt.
    void CurrentRecordChanged();
    void RowDoubleClicked();
    void ContextMenuRequested(const QPoint& globalPos);
    void SelectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateMetrics();
    void PaintRow(QPainter& painter, int row, const QRect& rect);
    void PaintDetails(QPainter& painter, int row, const QRect& rect);
    void PaintGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);
    // Top of a row in content coordinates.
    int RowTop(int row) const;
    int ContentHeight() const;
    int ExpandedHeight(int row) const;
    void UpdateScrollRange();
    void RepaintMarkArea(int row);
    void RepaintRow(int row);
    // Moves the highlight (and the record set's cursor when asked) and
    // applies the expansion rules.
    void MoveHighlight(int row, bool moveSource);
    void ResizeSelectionFlags();
    // The record (position in the record set's order) of a row, and back.
    int RecordOf(int row) const { return m_order.empty() ? row : m_order[size_t(row)]; }
    int RowOfRecord(int record) const { return m_rowOfRecord.empty() ? record : m_rowOfRecord[size_t(record)]; }
    QFont GridFont(bool bold = false, int larger = 0) const;

    ClientRecordSet* m_source = nullptr;
    DataPacket m_rows;
    // Empty while the rows show in the record set's order.
    std::vector<int> m_order;
    std::vector<int> m_rowOfRecord;
    int m_codeField = -1;
    int m_codeWidth = 0;   // of the largest entry number, in the highlighted row's font
    int m_updateCount = 0;
    int m_current = -1;
    int m_expanded = -1;
    int m_line = DesignRowHeight;
    int m_expandedHeight = DesignRowHeight;
    int m_dropTarget = -1;
    bool m_autoExpand = false;
    QList<int> m_selection;
    std::vector<bool> m_selected;
    TEntryGridColours m_colours;
    QPixmap m_ledGreen;
    QPixmap m_keyRed;
    QPixmap m_plus;
    QPixmap m_minus;
    QPoint m_pressPos;
    bool m_dragArmed = false;
};
