#include "preferences/ColourSchemePreview.h"

#include "controls/BTreeView.h"
#include "settings/dmMain.h"

#include <QPainter>

TColourSchemePreview::TColourSchemePreview(QWidget* parent) : QWidget(parent)
{
    m_palette = TdmMain::SchemePalette(0);
    setMinimumSize(260, 170);
}

void TColourSchemePreview::SetPalette(const std::array<QColor, 16>& palette)
{
    m_palette = palette;
    update();
}

QRect TColourSchemePreview::HighlightRect() const
{
    return QRect(12, 54, width() / 2 + 16, 18);
}

void TColourSchemePreview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect all = rect().adjusted(0, 0, -1, -1);
    p.fillRect(rect(), Slot(csWindow));
    p.setPen(QColor(128, 128, 128));
    p.drawRect(all);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Slot(csWindowText));
    p.drawText(QRect(8, 4, width() - 16, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Entries"));
    p.setFont(font());

    // the entry list
    const int listRight = HighlightRect().right();
    const QRect list(QPoint(8, 26), QPoint(listRight + 4, height() - 10));
    p.fillRect(list, Slot(csGrid));
    p.setPen(QColor(160, 160, 160));
    p.drawRect(list);
    p.setPen(Slot(csGridLabel));
    p.drawText(QRect(12, 30, list.width() - 8, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Title"));
    const QRect high = HighlightRect();
    TBTreeView::GradientFill(p, high, Slot(csHighlightStart), Slot(csHighlightEnd));
    p.setPen(Slot(csSelectedTitle));
    p.drawText(high.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Highlighted entry"));
    p.setPen(Slot(csGridText));
    p.drawText(QRect(16, 76, list.width() - 8, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Another entry"));
    p.setPen(Slot(csGridNote));
    p.drawText(QRect(16, 96, list.width() - 8, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("(a note)"));

    // the category menu: a most-used item and an ordinary one
    const int menuLeft = listRight + 14;
    const int menuWidth = width() - menuLeft - 26;
    QRect item(menuLeft, 30, menuWidth, 20);
    TBTreeView::GradientFill(p, item, Slot(csMostUsedMenuBrush), TdmMain::Lighten(Slot(csMostUsedMenuBrush), 32));
    p.setPen(Slot(csMostUsedMenuPen));
    p.drawRect(item.adjusted(0, 0, -1, -1));
    p.drawText(item.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Most used"));
    item.translate(0, 26);
    TBTreeView::GradientFill(p, item, Slot(csMenuBrush), TdmMain::Lighten(Slot(csMenuBrush), 32));
    p.setPen(Slot(csMenuPen));
    p.drawRect(item.adjusted(0, 0, -1, -1));
    p.drawText(item.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Category"));

    // the splitter with its button and arrow
    const QRect splitter(width() - 20, 26, 10, height() - 36);
    p.fillRect(splitter, Slot(csSplitterButton));
    const QRect button(splitter.left(), splitter.center().y() - 20, 10, 40);
    p.fillRect(button, Slot(csSplitterButtonHighlight));
    p.setPen(Slot(csSplitterArrow));
    p.setBrush(Slot(csSplitterArrow));
    const int cy = button.center().y();
    const QPoint arrow[] = {{button.left() + 2, cy}, {button.right() - 2, cy - 4}, {button.right() - 2, cy + 4}};
    p.drawPolygon(arrow, 3);
}
