#include "browsing/EntryGrid.h"

#include "app/AppResources.h"
#include "db/ClientRecordSet.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>

namespace {

// A rectangle given by its left, top, right and bottom edges, right and
// bottom excluded.
QRect Ltrb(int left, int top, int right, int bottom)
{
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

QColor Lightened(const QColor& colour, int n)
{
    return QColor(std::min(colour.red() + n, 255), std::min(colour.green() + n, 255), std::min(colour.blue() + n, 255));
}

// Line breaks as stored (CR LF) as the painter understands them.
QString PlainLines(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

// The comments as an expanded card shows them: wrapped to the width, at most
// MaxCommentLines lines, the last one ending in an ellipsis when the text goes
// on. Only the start of the text is laid out, so that a card with megabytes
// of comments costs no more than one with a page of them.
QStringList CommentLines(const QString& text, const QFont& font, int width)
{
    constexpr int MaxCommentLines = 20;
    constexpr int MaxLaidOutChars = 8000;
    QString shown = PlainLines(text.left(MaxLaidOutChars));
    bool more = text.size() > MaxLaidOutChars;
    // A line feed does not break a layout line; a line separator does.
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        if (lines.size() == MaxCommentLines) {
            more = true;
            break;
        }
        line.setLineWidth(std::max(1, width));
        QString piece = shown.mid(line.textStart(), line.textLength());
        piece.remove(QChar::LineSeparator);
        lines.append(piece);
    }
    layout.endLayout();
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty() && !more)
        lines.removeLast();
    if (more && !lines.isEmpty())
        lines.last() = QFontMetrics(font).elidedText(lines.last().trimmed() + QStringLiteral(" \u2026"),
                                                     Qt::ElideRight, std::max(1, width));
    return lines;
}

// One line, cut with an ellipsis when it does not fit.
void DrawLine(QPainter& painter, const QRect& rect, const QString& text, Qt::Alignment alignment = Qt::AlignLeft)
{
    if (rect.width() <= 0)
        return;
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    painter.drawText(rect, int(alignment | Qt::AlignVCenter | Qt::TextSingleLine),
                     painter.fontMetrics().elidedText(line, Qt::ElideRight, rect.width()));
}

// Appends the text with every character replaced by its simple case
// folding: comparing two such foldings code unit by code unit orders texts
// exactly as comparing them without regard to case does, only without
// folding each character again at every comparison.
void AppendSimplyFolded(const QString& text, std::u16string& folded)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (c < 0x80) {
            folded.push_back(char16_t(c >= u'A' && c <= u'Z' ? c + 32 : c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1)), ++i;
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            folded.push_back(QChar::highSurrogate(c));
            folded.push_back(QChar::lowSurrogate(c));
        } else {
            folded.push_back(char16_t(c));
        }
    }
}

// The records ordered by their texts as texts compare without regard to
// case first and exactly second, nulls first, equal texts by their codes.
// The first four folded characters of a text travel with it as one number,
// so that many comparisons look at nothing else.
std::vector<int> TextOrder(const std::vector<QString>& texts, const std::vector<bool>& nulls,
                           const std::vector<qint64>& codes)
{
    // All foldings in one buffer, read through views: a comparison walks
    // memory that lies together instead of a hundred thousand allocations.
    std::u16string buffer;
    std::vector<std::pair<size_t, size_t>> spans(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const size_t start = buffer.size();
        AppendSimplyFolded(texts[i], buffer);
        spans[i] = {start, buffer.size() - start};
    }
    struct TKey {
        bool null;
        quint64 prefix;
        std::u16string_view folded;
        int record;
    };
    std::vector<TKey> keys(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::u16string_view folded(buffer.data() + spans[i].first, spans[i].second);
        quint64 prefix = 0;
        for (size_t c = 0; c < 4 && c < folded.size(); ++c)
            prefix |= quint64(folded[c]) << (48 - 16 * c);
        keys[i] = {nulls[i], prefix, folded, int(i)};
    }
    std::sort(keys.begin(), keys.end(), [&](const TKey& a, const TKey& b) {
        if (a.null != b.null)
            return a.null;
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        int c = a.folded.compare(b.folded);
        if (c == 0)
            c = texts[size_t(a.record)].compare(texts[size_t(b.record)], Qt::CaseSensitive);
        return c != 0 ? c < 0 : codes[size_t(a.record)] < codes[size_t(b.record)];
    });
    std::vector<int> order(keys.size());
    for (size_t row = 0; row < keys.size(); ++row)
        order[row] = keys[row].record;
    return order;
}

QString DateText(const QVariant& value)
{
    const QDateTime moment = value.toDateTime();
    if (!moment.isValid())
        return value.toString();
    if (moment.time() == QTime(0, 0))
        return QLocale().toString(moment.date(), QLocale::ShortFormat);
    return QLocale().toString(moment, QLocale::ShortFormat);
}

} // namespace

const QString TEntryGrid::NoEntriesText = QStringLiteral("< No matching entries were found >");

TEntryGrid::TEntryGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("gr"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The design's face, at the desktop's size when that is larger than
    // the design's nine pixels: the cards must read at any scale.
    QFont gridFont(QStringLiteral("Verdana"));
    const int desktopPixels = QFontInfo(QApplication::font()).pixelSize();
    gridFont.setPixelSize(std::max(int(FontPixelSize), desktopPixels));
    setFont(gridFont);
    UpdateMetrics();
    viewport()->setAutoFillBackground(false);
    // Every pixel of the viewport is painted by the grid itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_ledGreen = TAppResources::Picture(QStringLiteral("BMP_LED_GREEN"));
    m_keyRed = TAppResources::Picture(QStringLiteral("BMP_KEY_RED_NORMAL"));
    m_plus = TAppResources::Picture(QStringLiteral("BMP_PLUS_CYAN"));
    m_minus = TAppResources::Picture(QStringLiteral("BMP_MINUS_CYAN"));
}

void TEntryGrid::SetSource(ClientRecordSet* source)
{
    m_source = source;
    if (!IsUpdating())
        Rebuild();
}

void TEntryGrid::EndUpdate()
{
    if (m_updateCount == 0)
        return;
    if (--m_updateCount == 0)
        Rebuild();
}

void TEntryGrid::Rebuild()
{
    m_rows = (m_source && m_source->Active()) ? m_source->ToPacket() : DataPacket();
    m_codeField = m_rows.FieldIndex(QStringLiteral("code"));
    qint64 largestCode = 0;
    if (m_codeField >= 0)
        for (const auto& row : m_rows.rows)
            largestCode = std::max(largestCode, row.value(m_codeField).toLongLong());
    m_codeWidth = QFontMetrics(GridFont(true, 1)).horizontalAdvance(QString::number(largestCode));
    m_order.clear();
    m_rowOfRecord.clear();
    ResizeSelectionFlags();
    m_current = HasRecords() ? std::clamp(m_source->RecNo() - 1, 0, RecordCount() - 1) : -1;
    m_dropTarget = -1;
    if (m_autoExpand)
        m_expanded = m_current;
    else if (m_expanded != m_current)
        m_expanded = -1;
    m_expandedHeight = m_expanded >= 0 ? ExpandedHeight(m_expanded) : DefaultRowHeight();
    UpdateScrollRange();
    if (m_current >= 0)
        ScrollToRow(m_current);
    else
        verticalScrollBar()->setValue(0);
    viewport()->update();
    emit CurrentRecordChanged();
}

QVariant TEntryGrid::Value(int row, int field) const
{
    if (row < 0 || row >= RecordCount() || field < 0)
        return QVariant();
    return m_rows.rows.at(RecordOf(row)).value(field);
}

DataPacket TEntryGrid::DisplayedRows() const
{
    if (m_order.empty())
        return m_rows;
    DataPacket shown;
    shown.fields = m_rows.fields;
    shown.rows.reserve(m_rows.rows.size());
    for (const int record : m_order)
        shown.rows.append(m_rows.rows.at(record));
    return shown;
}

void TEntryGrid::SortRows(const QString& name)
{
    const int field = FieldIndex(name);
    if (field < 0 || !HasRecords())
        return;
    const int count = RecordCount();
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::vector<qint64> codes(static_cast<size_t>(count));
    for (int record = 0; record < count; ++record)
        codes[size_t(record)] = m_rows.rows[record].value(m_codeField).toLongLong();
    // The values are taken out of their variants once: comparing variants
    // costs more than the comparison itself, a hundred thousand times over.
    const TFieldType type = m_rows.fields[field].type;
    if (type == TFieldType::Text || type == TFieldType::LongText) {
        std::vector<QString> texts(static_cast<size_t>(count));
        std::vector<bool> nulls(static_cast<size_t>(count));
        for (int record = 0; record < count; ++record) {
            const QVariant& value = m_rows.rows[record].at(field);
            nulls[size_t(record)] = value.isNull();
            texts[size_t(record)] = value.toString();
        }
        order = TextOrder(texts, nulls, codes);
    } else if (type == TFieldType::Integer || type == TFieldType::Float) {
        std::vector<double> numbers(static_cast<size_t>(count));
        std::vector<bool> nulls(static_cast<size_t>(count));
        for (int record = 0; record < count; ++record) {
            const QVariant& value = m_rows.rows[record].at(field);
            nulls[size_t(record)] = value.isNull();
            numbers[size_t(record)] = value.toDouble();
        }
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            if (nulls[size_t(a)] != nulls[size_t(b)])
                return bool(nulls[size_t(a)]);
            if (numbers[size_t(a)] != numbers[size_t(b)])
                return numbers[size_t(a)] < numbers[size_t(b)];
            return codes[size_t(a)] < codes[size_t(b)];
        });
    } else {
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = CompareValues(m_rows.rows[a].at(field), m_rows.rows[b].at(field), m_rows.fields[field].type);
            return c != 0 ? c < 0 : codes[size_t(a)] < codes[size_t(b)];
        });
    }
    m_rowOfRecord.assign(size_t(count), 0);
    for (int row = 0; row < count; ++row)
        m_rowOfRecord[size_t(order[size_t(row)])] = row;
    m_order = std::move(order);
    // The rows are others now: nothing stays open, the first one is current.
    m_current = -1;
    m_expanded = -1;
    m_expandedHeight = DefaultRowHeight();
    UpdateScrollRange();
    MoveHighlight(0, true);
}

int TEntryGrid::TextIndent() const
{
    // The number ends 10 pixels before the text and starts after the plus
    // (or, without it, 5 pixels from the edge).
    const int numberLeft = m_autoExpand ? 5 : 40 + m_plus.width() + 3;
    return std::max(m_autoExpand ? IndentAutoExpand : IndentWithMarks, numberLeft + m_codeWidth + 10);
}

int TEntryGrid::CodeAt(int row) const
{
    return Value(row, m_codeField).toInt();
}

int TEntryGrid::RowOfCode(int code) const
{
    for (int record = 0; record < RecordCount(); ++record)
        if (m_rows.rows[record].value(m_codeField).toInt() == code)
            return RowOfRecord(record);
    return -1;
}

// --- highlight ----------------------------------------------------------------

void TEntryGrid::SetCurrentRow(int row)
{
    if (row < 0 || row >= RecordCount())
        return;
    MoveHighlight(row, true);
}

void TEntryGrid::FollowSource()
{
    if (!m_source || !HasRecords() || IsUpdating())
        return;
    MoveHighlight(RowOfRecord(std::clamp(m_source->RecNo() - 1, 0, RecordCount() - 1)), false);
}

void TEntryGrid::MoveHighlight(int row, bool moveSource)
{
    const int previous = m_current;
    if (moveSource && m_source && m_source->RecNo() != RecordOf(row) + 1)
        m_source->SetRecNo(RecordOf(row) + 1);
    if (row == previous) {
        ScrollToRow(row);
        return;
    }
    m_current = row;
    if (!IsUpdating()) {
        if (m_autoExpand)
            SetExpandedRow(row);
        else if (m_expanded != row)
            SetExpandedRow(-1);
    }
    ScrollToRow(row);
    viewport()->update();
    if (!IsUpdating())
        emit CurrentRecordChanged();
}

// --- selection ----------------------------------------------------------------

void TEntryGrid::ResizeSelectionFlags()
{
    m_selected.assign(size_t(RecordCount()), false);
    QList<int> kept;
    for (const int row : std::as_const(m_selection)) {
        if (row >= 0 && row < RecordCount() && !m_selected[size_t(row)]) {
            m_selected[size_t(row)] = true;
            kept.append(row);
        }
    }
    m_selection = kept;
}

void TEntryGrid::ToggleRow(int row)
{
    if (row < 0 || row >= RecordCount())
        return;
    if (m_selected[size_t(row)])
        m_selection.removeOne(row);
    else
        m_selection.append(row);
    m_selected[size_t(row)] = !m_selected[size_t(row)];
    RepaintMarkArea(row);
    emit SelectionChanged();
}

void TEntryGrid::SelectAll()
{
    m_selection.clear();
    m_selection.reserve(RecordCount());
    for (int row = 0; row < RecordCount(); ++row)
        m_selection.append(row);
    m_selected.assign(size_t(RecordCount()), true);
    viewport()->update();
    emit SelectionChanged();
}

void TEntryGrid::SelectNone()
{
    m_selection.clear();
    m_selected.assign(size_t(RecordCount()), false);
    viewport()->update();
    emit SelectionChanged();
}

void TEntryGrid::InvertSelection()
{
    // Toggling every row from the first one upwards drops each selected row
    // and appends each unselected one: what remains is the rows that were not
    // selected, in ascending order.
    QList<int> inverted;
    for (int row = 0; row < RecordCount(); ++row) {
        if (!m_selected[size_t(row)])
            inverted.append(row);
        m_selected[size_t(row)] = !m_selected[size_t(row)];
    }
    m_selection = inverted;
    viewport()->update();
    emit SelectionChanged();
}

void TEntryGrid::SetSelection(const QList<int>& rows)
{
    m_selection = rows;
    ResizeSelectionFlags();
    viewport()->update();
    emit SelectionChanged();
}

// --- expansion ------------------------------------------------------------------

void TEntryGrid::SetAutoExpand(bool on)
{
    m_autoExpand = on;
    SetExpandedRow(-1);
    if (on && m_current >= 0)
        SetExpandedRow(m_current);
    viewport()->update();
}

void TEntryGrid::UpdateMetrics()
{
    // A line of the highlighted row's larger bold text, with a pixel above
    // and below; the design's sixteen pixels at its nine-pixel font.
    const QFontMetrics larger(GridFont(true, 1));
    m_line = std::max(int(DesignRowHeight), larger.height() + 2);
}

void TEntryGrid::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        m_expandedHeight = m_expanded >= 0 ? ExpandedHeight(m_expanded) : DefaultRowHeight();
        UpdateScrollRange();
        viewport()->update();
    }
}

int TEntryGrid::ExpandedHeight(int row) const
{
    // Title, keywords, category and source lines, then the comments below
    // them with a small margin.
    const int details = 4 * m_line;
    const QString comments = Value(row, QStringLiteral("Comments")).toString();
    if (comments.trimmed().isEmpty())
        return details + 6;
    const int width = std::max(1, viewport()->width() - 3 - TextIndent());
    const QStringList lines = CommentLines(comments, GridFont(), width);
    if (lines.isEmpty())
        return details + 6;
    return int(lines.size()) * QFontMetrics(GridFont()).lineSpacing() + details + 9;
}

void TEntryGrid::SetExpandedRow(int row)
{
    if (row >= RecordCount())
        row = -1;
    const int height = row >= 0 ? ExpandedHeight(row) : DefaultRowHeight();
    if (row == m_expanded && height == m_expandedHeight)
        return;
    // The row at the top of the viewport stays where it is, so that a row
    // collapsing above it does not pull the view away.
    const int anchor = TopRow();
    const int offset = verticalScrollBar()->value() - RowTop(anchor);
    m_expanded = row;
    m_expandedHeight = height;
    UpdateScrollRange();
    verticalScrollBar()->setValue(RowTop(anchor) + std::min(offset, RowHeight(anchor) - 1));
    viewport()->update();
}

void TEntryGrid::ToggleExpansion(int row)
{
    if (row < 0 || row >= RecordCount())
        return;
    SetExpandedRow(row == m_expanded ? -1 : row);
    ScrollToRow(row);
}

// --- geometry -------------------------------------------------------------------

int TEntryGrid::RowHeight(int row) const
{
    return row == m_expanded && row >= 0 ? m_expandedHeight : DefaultRowHeight();
}

int TEntryGrid::RowTop(int row) const
{
    int top = row * DefaultRowHeight();
    if (m_expanded >= 0 && row > m_expanded)
        top += m_expandedHeight - DefaultRowHeight();
    return top;
}

int TEntryGrid::ContentHeight() const
{
    return RowTop(RowCount() - 1) + RowHeight(RowCount() - 1);
}

QRect TEntryGrid::RowRect(int row) const
{
    return QRect(0, RowTop(row) - verticalScrollBar()->value(), viewport()->width(), RowHeight(row));
}

int TEntryGrid::RowAt(int y) const
{
    const int content = y + verticalScrollBar()->value();
    if (y < 0 || content < 0)
        return -1;
    int row;
    if (m_expanded < 0 || content < m_expanded * DefaultRowHeight())
        row = content / DefaultRowHeight();
    else if (content < m_expanded * DefaultRowHeight() + m_expandedHeight)
        row = m_expanded;
    else
        row = m_expanded + 1 + (content - m_expanded * DefaultRowHeight() - m_expandedHeight) / DefaultRowHeight();
    return row < RowCount() ? row : -1;
}

QRect TEntryGrid::ExpansionMarkRect(int row) const
{
    const QRect rect = RowRect(row);
    const int top = rect.top() + (m_line - m_plus.height()) / 2;
    return Ltrb(rect.left() + 40, top + 3, rect.left() + 50, top + 11);
}

int TEntryGrid::TopRow() const
{
    return std::max(0, RowAt(0));
}

void TEntryGrid::SetTopRow(int row)
{
    if (row >= 0 && row < RowCount())
        verticalScrollBar()->setValue(RowTop(row));
}

void TEntryGrid::ScrollToRow(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    QScrollBar* bar = verticalScrollBar();
    const int top = RowTop(row), height = RowHeight(row), view = viewport()->height();
    if (top < bar->value())
        bar->setValue(top);
    else if (top + height > bar->value() + view)
        bar->setValue(std::min(top, top + height - view));
}

void TEntryGrid::UpdateScrollRange()
{
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, ContentHeight() - viewport()->height()));
    bar->setPageStep(std::max(DefaultRowHeight(), viewport()->height()));
    bar->setSingleStep(DefaultRowHeight());
}

void TEntryGrid::SetDropTargetRow(int row)
{
    if (row == m_dropTarget)
        return;
    const int previous = m_dropTarget;
    m_dropTarget = row;
    RepaintRow(previous);
    RepaintRow(row);
}

void TEntryGrid::RepaintMarkArea(int row)
{
    if (row >= 0 && row < RowCount()) {
        const QRect rect = RowRect(row);
        viewport()->update(QRect(rect.left(), rect.top(), MarkAreaWidth, rect.height()));
    }
}

void TEntryGrid::RepaintRow(int row)
{
    if (row >= 0 && row < RowCount())
        viewport()->update(RowRect(row));
}

void TEntryGrid::SetColours(const TEntryGridColours& colours)
{
    m_colours = colours;
    viewport()->update();
}

QFont TEntryGrid::GridFont(bool bold, int larger) const
{
    QFont result = font();
    result.setBold(bold);
    if (larger)
        result.setPixelSize(QFontInfo(font()).pixelSize() + larger);
    return result;
}

// --- painting -------------------------------------------------------------------

void TEntryGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    int bottom = area.top();
    if (m_source && m_source->Active()) {
        for (int row = std::max(0, RowAt(area.top())); row >= 0 && row < RowCount(); ++row) {
            const QRect rect = RowRect(row);
            if (rect.top() > area.bottom())
                break;
            PaintRow(painter, row, rect);
            bottom = rect.bottom() + 1;
        }
    }
    if (bottom <= area.bottom())
        painter.fillRect(QRect(area.left(), bottom, area.width(), area.bottom() - bottom + 1), m_colours.grid);
}

void TEntryGrid::PaintGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end)
{
    QLinearGradient gradient(QPointF(0, rect.top()), QPointF(0, rect.bottom()));
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, end);
    painter.fillRect(rect, gradient);
}

void TEntryGrid::PaintRow(QPainter& painter, int row, const QRect& rect)
{
    const int L = rect.left(), T = rect.top(), R = rect.right() + 1;
    const int I = TextIndent();
    const bool highlighted = row == m_current;

    painter.fillRect(rect, m_colours.grid);
    if (highlighted)
        PaintGradient(painter, rect.adjusted(0, 0, 0, -1), m_colours.highlightStart, m_colours.highlightEnd);
    else if (row == m_dropTarget)
        PaintGradient(painter, rect.adjusted(0, 0, 0, -1), Lightened(m_colours.highlightStart, 16),
                      Lightened(m_colours.highlightEnd, 16));

    // Every line of a card is one line height tall; text and pictures sit
    // in the middle of theirs.
    const int H = m_line;
    auto line = [&](int index, int left, int right) { return Ltrb(left, T + index * H, right, T + (index + 1) * H); };
    auto picture = [&](const QPixmap& pixmap) { return T + (H - pixmap.height()) / 2; };

    if (!HasRecords()) {
        painter.setFont(GridFont(true));
        painter.setPen(m_colours.note);
        DrawLine(painter, line(0, L + I, R - 23), NoEntriesText);
        return;
    }

    painter.setFont(highlighted ? GridFont(true, 1) : GridFont());
    painter.setPen(highlighted ? QColor(Qt::black) : QColor(128, 128, 128));
    DrawLine(painter, line(0, L + 5, L + I - 10), QString::number(CodeAt(row)), Qt::AlignRight);

    painter.setPen(highlighted ? m_colours.selectedTitle : QColor(Qt::black));
    DrawLine(painter, line(0, L + I, R - 23), Value(row, QStringLiteral("Title")).toString());

    if (Value(row, QStringLiteral("PasswordProtected")).toInt() != 0)
        painter.drawPixmap(R - 17, picture(m_keyRed), m_keyRed);
    if (!m_autoExpand)
        painter.drawPixmap(L + 40, picture(m_plus), row == m_expanded ? m_minus : m_plus);
    if (IsSelected(row))
        painter.drawPixmap(L + 10, picture(m_ledGreen), m_ledGreen);

    if (highlighted && row == m_expanded)
        PaintDetails(painter, row, rect);
}

void TEntryGrid::PaintDetails(QPainter& painter, int row, const QRect& rect)
{
    const int L = rect.left(), T = rect.top(), R = rect.right() + 1, B = rect.bottom() + 1;
    const int I = TextIndent();
    const int H = m_line;
    const QFont regular = GridFont(), bold = GridFont(true);
    const QFontMetrics regularMetrics(regular), boldMetrics(bold);
    auto line = [&](int index, int left, int right) { return Ltrb(left, T + index * H, right, T + (index + 1) * H); };

    // The labels' column is as wide as the widest label needs, at least
    // the design's fifty pixels; so is the creation date's.
    const QString keywords = QStringLiteral("Keywords:"), category = QStringLiteral("Category: "),
                  source = QStringLiteral("Source: "), created = QStringLiteral("Created on: ");
    int labels = 50;
    for (const QString& label : {keywords, category, source})
        labels = std::max(labels, regularMetrics.horizontalAdvance(label) + 4);
    const int values = L + I + labels + 10;
    const QString date = DateText(Value(row, QStringLiteral("DateCreated")));
    const int dateWidth = std::max(70, boldMetrics.horizontalAdvance(date) + 2);
    const int createdWidth = std::max(60, regularMetrics.horizontalAdvance(created) + 4);
    const int dateLeft = R - 10 - dateWidth, createdLeft = dateLeft - 10 - createdWidth;

    painter.setPen(m_colours.label);
    painter.setFont(regular);
    DrawLine(painter, line(1, L + I, values - 10), keywords);
    DrawLine(painter, line(1, values, R - 3), Value(row, QStringLiteral("Keywords")).toString());
    DrawLine(painter, line(2, L + I, values - 10), category);
    DrawLine(painter, line(3, L + I, values - 10), source);
    painter.setFont(bold);
    const QVariant categoryCode = Value(row, QStringLiteral("category"));
    QString path = (!categoryCode.isNull() && CategoryPath) ? CategoryPath(categoryCode.toInt()) : QString();
    DrawLine(painter, line(2, values, R - 3), path.isEmpty() ? QStringLiteral("-") : path);
    DrawLine(painter, line(3, values, createdLeft - 10), Value(row, QStringLiteral("Source")).toString());

    painter.setPen(m_colours.note);
    painter.setFont(regular);
    DrawLine(painter, line(3, createdLeft, dateLeft - 10), created);
    painter.setFont(bold);
    DrawLine(painter, line(3, dateLeft, R - 10), date);

    painter.setPen(m_colours.label);
    painter.setFont(regular);
    const QRect comments = Ltrb(L + I, T + 4 * H + 1, R - 3, B - 3);
    if (comments.isValid()) {
        const int spacing = regularMetrics.lineSpacing();
        int y = comments.top();
        for (const QString& text : CommentLines(Value(row, QStringLiteral("Comments")).toString(), regular,
                                                comments.width())) {
            if (y >= comments.bottom())
                break;
            painter.drawText(QRect(comments.left(), y, comments.width(), spacing),
                             int(Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine), text);
            y += spacing;
        }
    }
}

// --- events -------------------------------------------------------------------

void TEntryGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_expanded >= 0)
        m_expandedHeight = ExpandedHeight(m_expanded);
    UpdateScrollRange();
}

void TEntryGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TEntryGrid::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyDown && OnKeyDown(event)) {
        event->accept();
        return;
    }
    if (!HasRecords()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int page = std::max(1, viewport()->height() / DefaultRowHeight() - 1);
    int row = m_current;
    switch (event->key()) {
    case Qt::Key_Up:
        row = std::max(0, row - 1);
        break;
    case Qt::Key_Down:
        row = std::min(RecordCount() - 1, row + 1);
        break;
    case Qt::Key_PageUp:
        row = std::max(0, row - page);
        break;
    case Qt::Key_PageDown:
        row = std::min(RecordCount() - 1, row + page);
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = RecordCount() - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    SetCurrentRow(row);
    event->accept();
}

void TEntryGrid::mousePressEvent(QMouseEvent* event)
{
    m_dragArmed = false;
    if (!HasRecords())
        return;
    const QPoint pos = event->position().toPoint();
    const int row = RowAt(pos.y());
    if (row < 0 || row >= RecordCount())
        return;
    if (event->button() == Qt::RightButton) {
        SetCurrentRow(row);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    // The mark is hit where it was drawn when the button went down, before
    // moving the highlight collapses a row above it.
    const bool onMark = !m_autoExpand && ExpansionMarkRect(row).contains(pos);
    SetCurrentRow(row);
    if (onMark && !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)))
        ToggleExpansion(row);
    if (OnMouseDown)
        OnMouseDown(event, row);
    m_pressPos = pos;
    m_dragArmed = true;
}

void TEntryGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragArmed && (event->buttons() & Qt::LeftButton)
        && (event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragArmed = false;
        if (OnStartDrag)
            OnStartDrag();
    }
}

void TEntryGrid::mouseReleaseEvent(QMouseEvent*)
{
    m_dragArmed = false;
}

void TEntryGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_dragArmed = false;
    if (event->button() == Qt::LeftButton && HasRecords() && RowAt(event->position().toPoint().y()) >= 0)
        emit RowDoubleClicked();
}

void TEntryGrid::contextMenuEvent(QContextMenuEvent* event)
{
    emit ContextMenuRequested(event->globalPos());
}
