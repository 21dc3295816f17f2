#pragma once

#include <QColor>
#include <QStyledItemDelegate>
#include <functional>

// Draws the items of the highlight lists: the selected item on a gradient
// from StartColorHi to EndColorHi in FontColorHi, any other item plainly in
// the list's colours; the text at two pixels from the left, at the top.
// An item-drawing handler of the list's own replaces all of that, after the
// brush and text colour have been set on the painter. The two highlight
// lists share these colours through it; a change repaints the list at once.
class TFancyItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static const QColor DefaultStartColorHi;
    static const QColor DefaultEndColorHi;
    static const QColor SelectedBrushColor;
    static constexpr int ItemHeight = 16;

    explicit TFancyItemDelegate(QObject* parent = nullptr);

    QColor StartColorHi() const { return m_startColorHi; }
    void SetStartColorHi(const QColor& colour);
    QColor EndColorHi() const { return m_endColorHi; }
    void SetEndColorHi(const QColor& colour);
    QColor FontColorHi() const { return m_fontColorHi; }
    void SetFontColorHi(const QColor& colour);
    // The list's own drawing: (painter, index, rectangle, selected).
    std::function<void(QPainter&, int, const QRect&, bool)> OnDrawItem;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    void Changed();

private:
    QColor m_startColorHi = DefaultStartColorHi;
    QColor m_endColorHi = DefaultEndColorHi;
    QColor m_fontColorHi = Qt::black;
};
