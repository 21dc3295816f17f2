#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <functional>

class ClientRecordSet;

// A one-column grid over a client record set: a row per record in the record
// set's order, the current row following the record set's cursor and back.
// It draws one field of each record, the current row with the highlight
// gradient; an empty record set shows a note in the first row.
//
// AfterScroll runs whenever the user moves to another row and whenever the
// grid re-synchronises with its record set (Resync, or the end of the
// outermost update bracket). While a bracket is open the grid leaves the
// record set alone.
class TRecordListGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int MinimumRowHeight = 16;
    static constexpr int TextLeft = 5;

    explicit TRecordListGrid(QWidget* parent = nullptr);
    ~TRecordListGrid() override;

    // Binds the grid (nullptr detaches it). The grid takes the record set's
    // change notification for itself and passes it on in OnRecordSetChanged.
    void SetSource(ClientRecordSet* source);
    ClientRecordSet* Source() const { return m_source; }
    void SetField(const QString& field) { m_field = field; viewport()->update(); }
    void SetEmptyText(const QString& text) { m_emptyText = text; viewport()->update(); }
    const QString& EmptyText() const { return m_emptyText; }
    // A title strip above the rows; none when empty.
    void SetTitle(const QString& title);

    void SetColours(const QColor& grid, const QColor& highlightStart, const QColor& highlightEnd, const QColor& text);
    QColor HighlightStart() const { return m_highlightStart; }
    QColor HighlightEnd() const { return m_highlightEnd; }
    QColor TextColour() const { return m_text; }

    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return m_updateCount > 0; }
    void Resync();

    int RowCount() const;
    int CurrentRow() const;
    // Moves the record set's cursor as the user would, and runs AfterScroll.
    void SetCurrentRow(int row);
    int RowHeight() const;
    QRect RowRect(int row) const;
    int RowAt(int y) const;
    QString RowText(int row) const;

    std::function<void()> AfterScroll;
    std::function<void()> OnDoubleClick;
    std::function<void()> OnRecordSetChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void SourceChanged();
    void UpdateScrollRange();
    void ScrollToCurrent();
    int TitleHeight() const { return m_title.isEmpty() ? 0 : RowHeight() + 2; }

    ClientRecordSet* m_source = nullptr;
    QString m_field;
    QString m_emptyText;
    QString m_title;
    QColor m_grid = Qt::white;
    QColor m_highlightStart{190, 197, 190};
    QColor m_highlightEnd{239, 239, 250};
    QColor m_text = Qt::black;
    int m_updateCount = 0;
    bool m_inSetRow = false;
};
