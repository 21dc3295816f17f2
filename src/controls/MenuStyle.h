#pragma once

#include <QColor>
#include <QPixmap>
#include <QProxyStyle>
#include <QString>

class QAction;
class QStyleOptionMenuItem;

// The look of every menu of the program: the menu bar and all pop-up menus
// draw their items themselves. A highlighted item is a vertical gradient from
// the brush colour to the brush colour lightened by 32, framed in the pen
// colour; the items of a pop-up list sit beside a grey picture column that
// carries the check picture or the item's picture; shortcuts stand
// right-aligned; disabled items are engraved (white beneath, grey above).
//
// It is one style for the whole application, so menus keep Qt's own keyboard
// navigation and accessibility: the colours are the style's, set when the
// scheme changes, and an item may carry colours of its own (the category
// menu draws its most used categories in other colours).
class TCoolMenuStyle : public QProxyStyle
{
    Q_OBJECT

public:
    static const QColor DefaultPenColor;
    static const QColor DefaultBrushColor;
    static const QColor SeparatorColor;
    static const QString CheckPictureName;
    // Width of the picture column of list items; bar items have none.
    static constexpr int PictureColumnWidth = 20;
    // What a list item adds to its measured width for the picture column.
    static constexpr int ListItemExtraWidth = 24;

    // Without a base style the platform's usual style is drawn beneath.
    explicit TCoolMenuStyle(QStyle* base = nullptr);

    // The menu look installed on the application, installing it first when
    // needed. Needs a QApplication.
    static TCoolMenuStyle* Install();
    // The installed menu look, none before Install.
    static TCoolMenuStyle* Installed();

    QColor PenColor() const { return m_pen; }
    QColor BrushColor() const { return m_brush; }
    void SetPenColor(const QColor& colour);
    void SetBrushColor(const QColor& colour);
    // Both colours at once; menus on screen are drawn again in them.
    void SetMenuColours(const QColor& pen, const QColor& brush);
    // An item drawn in colours of its own instead of the style's.
    static void SetItemColours(QAction* item, const QColor& pen, const QColor& brush);

    // Below 24 bits per pixel the picture column is a plain grey. Read from
    // the screen when the style is made.
    int ScreenDepth() const { return m_screenDepth; }
    void SetScreenDepth(int bitsPerPixel) { m_screenDepth = bitsPerPixel; }

    // The grey of the picture column for a menu colour.
    static QColor PictureColumnColour(const QColor& menuColour);

    // The standard drawing of one item, with the given colours.
    void DrawMenuItem(QPainter& painter, const QStyleOptionMenuItem& item, bool barItem, const QColor& textColour,
                      const QColor& brushColour, const QColor& penColour) const;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

private:
    // The colours of the item at rect of a menu or menu bar: its own, when it has some.
    void ItemColours(const QWidget* widget, const QRect& rect, QColor& pen, QColor& brush) const;
    void DrawCheck(QPainter& painter, int x, int y) const;
    void RepaintMenus() const;

    QColor m_pen = DefaultPenColor;
    QColor m_brush = DefaultBrushColor;
    int m_screenDepth = 24;
    mutable QPixmap m_check;
    mutable bool m_checkLoaded = false;
};
