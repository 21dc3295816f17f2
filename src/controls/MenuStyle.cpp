#include "controls/MenuStyle.h"

#include "app/AppResources.h"
#include "controls/GradientFill.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionMenuItem>

namespace {

const char* const kPenProperty = "tessarynMenuPen";
const char* const kBrushProperty = "tessarynMenuBrush";

// Room kept between a caption and its shortcut or submenu arrow, and the
// distance of the shortcut from the right edge.
constexpr int kShortcutGap = 12;
constexpr int kShortcutRightMargin = 5;
constexpr int kArrowWidth = 4;

QColor MenuColour(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Window);
}

} // namespace

const QColor TCoolMenuStyle::DefaultPenColor = QColor(49, 105, 198);
const QColor TCoolMenuStyle::DefaultBrushColor = QColor(198, 211, 239);
const QColor TCoolMenuStyle::SeparatorColor = QColor(128, 128, 128);
const QString TCoolMenuStyle::CheckPictureName = QStringLiteral("BMP_CHECK_GREEN_12X12");

TCoolMenuStyle::TCoolMenuStyle(QStyle* base) : QProxyStyle(base)
{
    // The depth is read once: a screen does not change its colours while the
    // program runs, and the tests set it themselves.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_screenDepth = screen->depth();
}

TCoolMenuStyle* TCoolMenuStyle::Installed()
{
    return qobject_cast<TCoolMenuStyle*>(QApplication::style());
}

TCoolMenuStyle* TCoolMenuStyle::Install()
{
    if (TCoolMenuStyle* style = Installed())
        return style;
    auto* style = new TCoolMenuStyle;
    QApplication::setStyle(style); // the application owns it from now on
    return style;
}

void TCoolMenuStyle::SetPenColor(const QColor& colour)
{
    SetMenuColours(colour, m_brush);
}

void TCoolMenuStyle::SetBrushColor(const QColor& colour)
{
    SetMenuColours(m_pen, colour);
}

void TCoolMenuStyle::SetMenuColours(const QColor& pen, const QColor& brush)
{
    if (pen == m_pen && brush == m_brush)
        return;
    m_pen = pen;
    m_brush = brush;
    RepaintMenus();
}

void TCoolMenuStyle::SetItemColours(QAction* item, const QColor& pen, const QColor& brush)
{
    if (!item)
        return;
    item->setProperty(kPenProperty, pen);
    item->setProperty(kBrushProperty, brush);
}

void TCoolMenuStyle::RepaintMenus() const
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) {
        if (widget->isVisible() && (qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget)))
            widget->update();
    }
}

QColor TCoolMenuStyle::PictureColumnColour(const QColor& menuColour)
{
    const int grey = Luminance(DarkenColour(menuColour, 16));
    return QColor(grey, grey, grey);
}

void TCoolMenuStyle::ItemColours(const QWidget* widget, const QRect& rect, QColor& pen, QColor& brush) const
{
    pen = m_pen;
    brush = m_brush;
    const QAction* action = nullptr;
    if (const auto* menu = qobject_cast<const QMenu*>(widget))
        action = menu->actionAt(rect.center());
    else if (const auto* bar = qobject_cast<const QMenuBar*>(widget))
        action = bar->actionAt(rect.center());
    if (!action)
        return;
    const QVariant ownPen = action->property(kPenProperty);
    const QVariant ownBrush = action->property(kBrushProperty);
    if (ownPen.isValid())
        pen = ownPen.value<QColor>();
    if (ownBrush.isValid())
        brush = ownBrush.value<QColor>();
}

void TCoolMenuStyle::DrawCheck(QPainter& painter, int x, int y) const
{
    if (!m_checkLoaded) {
        m_check = TAppResources::Picture(CheckPictureName);
        m_checkLoaded = true;
    }
    if (!m_check.isNull()) {
        painter.drawPixmap(x, y, m_check);
        return;
    }
    // Without the picture a drawn tick still tells a checked item apart.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 130, 30), 2));
    painter.drawPolyline(QPolygonF({QPointF(x + 2, y + 6), QPointF(x + 5, y + 9), QPointF(x + 10, y + 3)}));
    painter.restore();
}

void TCoolMenuStyle::DrawMenuItem(QPainter& painter, const QStyleOptionMenuItem& item, bool barItem,
                                  const QColor& textColour, const QColor& brushColour, const QColor& penColour) const
{
    painter.save();
    const QRect r = item.rect;
    const bool enabled = item.state & State_Enabled;
    const bool separator = item.menuItemType == QStyleOptionMenuItem::Separator;
    const bool highlighted = enabled && !separator && (item.state & State_Selected);
    const int column = barItem ? 0 : PictureColumnWidth;

    if (highlighted) {
        GradientFill(painter, r.adjusted(0, 0, 0, -1), brushColour, LightenColour(brushColour, 32));
        painter.setPen(penColour);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        painter.fillRect(r, MenuColour(item.palette));
        if (!barItem) {
            const QRect pictures(r.left(), r.top(), column, r.height());
            const QColor grey = PictureColumnColour(MenuColour(item.palette));
            // a gradient on a screen of few colours shows bands
            if (m_screenDepth >= 24)
                GradientFill(painter, pictures, grey, LightenColour(grey, 32), Qt::Horizontal);
            else
                painter.fillRect(pictures, grey);
        }
    }

    if (separator) {
        painter.setPen(SeparatorColor);
        const int y = r.top() + r.height() / 2;
        painter.drawLine(r.left() + column, y, r.right(), y);
        painter.restore();
        return;
    }

    if (item.checked && item.checkType != QStyleOptionMenuItem::NotCheckable) {
        DrawCheck(painter, r.left() + 4, r.top() + (r.height() - 12) / 2);
    } else if (!item.icon.isNull()) {
        const QPixmap picture = item.icon.pixmap(QSize(16, 16), painter.device() ? painter.device()->devicePixelRatioF() : 1.0,
                                                 enabled ? QIcon::Normal : QIcon::Disabled);
        painter.drawPixmap(r.left() + 4, r.top() + (r.height() - 16) / 2, picture);
    }

    // Qt hands the shortcut over after a tab in the item's text.
    QString caption = item.text;
    QString shortcut;
    if (const qsizetype tab = caption.indexOf(QLatin1Char('\t')); tab >= 0) {
        shortcut = caption.mid(tab + 1);
        caption.truncate(tab);
    }
    const QRect textRect = r.adjusted(column + 4, -1, 0, 0);
    const QFontMetrics metrics(item.font);
    painter.setFont(item.font);
    const int mnemonic = proxy()->styleHint(SH_UnderlineShortcut, &item, nullptr) ? Qt::TextShowMnemonic
                                                                                    : Qt::TextHideMnemonic;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | mnemonic;
    const bool subMenu = item.menuItemType == QStyleOptionMenuItem::SubMenu;
    int rightSpace = kShortcutRightMargin;
    if (enabled && !shortcut.isEmpty())
        rightSpace += metrics.horizontalAdvance(shortcut) + kShortcutGap;
    else if (subMenu)
        rightSpace += kArrowWidth + kShortcutGap;
    // A caption too long for the item ends in an ellipsis rather than
    // running under the shortcut or off the menu.
    const QString shown =
        metrics.elidedText(caption, Qt::ElideRight, std::max(0, textRect.width() - rightSpace), Qt::TextShowMnemonic);

    const QColor grey = item.palette.color(QPalette::Disabled, QPalette::Text);
    if (enabled) {
        painter.setPen(textColour);
        painter.drawText(textRect, flags, shown);
        if (!shortcut.isEmpty())
            painter.drawText(textRect.adjusted(0, 0, -kShortcutRightMargin, 0),
                             Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcut);
    } else {
        painter.setPen(Qt::white);
        painter.drawText(textRect, flags, shown);
        painter.setPen(grey);
        painter.drawText(textRect.translated(-1, -2), flags, shown);
    }

    if (subMenu) {
        // a small solid triangle pointing at the submenu
        const int x = r.right() - kShortcutRightMargin - kArrowWidth;
        const int y = r.top() + r.height() / 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(enabled ? textColour : grey);
        painter.drawPolygon(QPolygon({QPoint(x, y - kArrowWidth), QPoint(x + kArrowWidth, y), QPoint(x, y + kArrowWidth)}));
    }
    painter.restore();
}

void TCoolMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    switch (element) {
    case CE_MenuItem:
    case CE_MenuBarItem:
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            QColor pen;
            QColor brush;
            ItemColours(widget, item->rect, pen, brush);
            DrawMenuItem(*painter, *item, element == CE_MenuBarItem, Qt::black, brush, pen);
            return;
        }
        break;
    case CE_MenuBarEmptyArea:
    case CE_MenuEmptyArea:
    case CE_MenuHMargin:
    case CE_MenuVMargin:
        painter->fillRect(option->rect, MenuColour(option->palette));
        return;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TCoolMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    switch (element) {
    case PE_PanelMenu:
    case PE_PanelMenuBar:
        painter->fillRect(option->rect, MenuColour(option->palette));
        return;
    case PE_FrameMenu:
        painter->save();
        painter->setPen(SeparatorColor);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize TCoolMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                       const QWidget* widget) const
{
    const QSize measured = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type != CT_MenuItem && type != CT_MenuBarItem)
        return measured;
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item && item->menuItemType == QStyleOptionMenuItem::Separator)
        return measured;
    // Owner drawing gets a tenth more room than the platform measured, two
    // pixels of height, and list items the picture column in front.
    int width = int(std::lround(measured.width() * 1.1));
    if (type == CT_MenuItem)
        width += ListItemExtraWidth;
    // A caption of thousands of characters would make a menu wider than the
    // screen, its shortcuts out of sight: such an item is cut to two thirds
    // of the screen and its caption ends in an ellipsis.
    if (widget && widget->screen())
        width = std::min(width, std::max(ListItemExtraWidth, widget->screen()->availableGeometry().width() * 2 / 3));
    return QSize(width, measured.height() + 2);
}

int TCoolMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    // The items reach the menu's frame, so that the picture column runs
    // unbroken from the first item to the last.
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return 0;
    case PM_MenuPanelWidth:
        return 1;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}
