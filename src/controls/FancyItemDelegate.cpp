#include "controls/FancyItemDelegate.h"

#include "controls/GradientFill.h"

#include <QPainter>

const QColor TFancyItemDelegate::DefaultStartColorHi = QColor(248, 250, 250);
const QColor TFancyItemDelegate::DefaultEndColorHi = QColor(209, 222, 220);
const QColor TFancyItemDelegate::SelectedBrushColor = QColor(219, 238, 235);

TFancyItemDelegate::TFancyItemDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
}

void TFancyItemDelegate::SetStartColorHi(const QColor& colour)
{
    m_startColorHi = colour;
    emit Changed();
}

void TFancyItemDelegate::SetEndColorHi(const QColor& colour)
{
    m_endColorHi = colour;
    emit Changed();
}

void TFancyItemDelegate::SetFontColorHi(const QColor& colour)
{
    m_fontColorHi = colour;
    emit Changed();
}

void TFancyItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QRect r = option.rect;
    painter->save();
    painter->setBrush(selected ? SelectedBrushColor : option.palette.color(QPalette::Base));
    painter->setPen(selected ? m_fontColorHi : option.palette.color(QPalette::Text));
    if (OnDrawItem) {
        OnDrawItem(*painter, index.row(), r, selected);
        painter->restore();
        return;
    }
    if (selected)
        GradientFill(*painter, r, m_startColorHi, m_endColorHi);
    else
        painter->fillRect(r, option.palette.color(QPalette::Base));
    if (index.isValid() && index.row() >= 0) {
        painter->setFont(option.font);
        painter->drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }
    painter->restore();
}

QSize TFancyItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize natural = QStyledItemDelegate::sizeHint(option, index);
    return QSize(natural.width(), ItemHeight);
}
