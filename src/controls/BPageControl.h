#pragma once

#include <QColor>
#include <QFont>
#include <QTabBar>
#include <QTabWidget>

// The tab strip of TBPageControl: every tab drawn with a vertical gradient,
// inactive tabs 2 pixels lower than the active one, the tab under the
// pointer (the hot tab) in the active colours. Selecting tabs with the mouse
// and the keyboard is the tab bar's own.
class TBTabBar : public QTabBar
{
    Q_OBJECT

public:
    explicit TBTabBar(QWidget* parent = nullptr);

    QColor ColorActiveTop = Qt::white;
    QColor ColorActiveBottom = QColor(244, 240, 236);
    QColor ColorInactiveTop = QColor(244, 240, 236);
    QColor ColorInactiveBottom = QColor(212, 208, 204);
    QFont FontActiveTab;
    QFont FontInactiveTab;
    // The captions' colours, which belong to the fonts; invalid: the palette's text colour.
    QColor FontActiveTabColor;
    QColor FontInactiveTabColor;

    int HotTab() const { return m_hotTab; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawTab(QPainter& painter, int index, bool active);
    void SetHotTab(int index);

    int m_hotTab = -1;
};

// A page control that draws its own tabs (TBTabBar) and a double frame round
// the page area. Placing pages, switching them and keyboard handling are the
// tab widget's.
class TBPageControl : public QTabWidget
{
    Q_OBJECT

public:
    explicit TBPageControl(QWidget* parent = nullptr);

    QColor ColorActiveTop() const { return Bar()->ColorActiveTop; }
    void SetColorActiveTop(const QColor& colour);
    QColor ColorActiveBottom() const { return Bar()->ColorActiveBottom; }
    void SetColorActiveBottom(const QColor& colour);
    QColor ColorInactiveTop() const { return Bar()->ColorInactiveTop; }
    void SetColorInactiveTop(const QColor& colour);
    QColor ColorInactiveBottom() const { return Bar()->ColorInactiveBottom; }
    void SetColorInactiveBottom(const QColor& colour);
    QFont FontActiveTab() const { return Bar()->FontActiveTab; }
    void SetFontActiveTab(const QFont& font);
    QFont FontInactiveTab() const { return Bar()->FontInactiveTab; }
    void SetFontInactiveTab(const QFont& font);
    void SetFontColors(const QColor& active, const QColor& inactive);
    int HotTab() const { return Bar()->HotTab(); }

    TBTabBar* Bar() const { return static_cast<TBTabBar*>(tabBar()); }
    // The upper edge of the page area, in the control's coordinates.
    int PageAreaTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Repaint();
};
