#pragma once

#include <QColor>
#include <QFont>
#include <QGroupBox>

class IDesktop;

// A group box with rounded corners whose caption sits in a rounded tab joined
// to the top-left of the frame (or, without the tab, in a gap of the top
// line). Placing children and keyboard handling stay the group box's own;
// only the painting and the room kept free for the caption differ.
class TBGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    static const QString CurveRadiusText;

    explicit TBGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);

    QColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(const QColor& colour);
    int CurveRadius() const { return m_curveRadius; }
    // A radius outside 0 to 16 is refused with CurveRadiusText (through the
    // desktop, when one is set) and the old value stays.
    void SetCurveRadius(int radius);
    bool DrawTab() const { return m_drawTab; }
    void SetDrawTab(bool drawTab);
    QFont TabFont() const { return m_tabFont; }
    void SetTabFont(const QFont& font);
    // The caption's colour goes with its font; the children keep their own.
    QColor TabFontColor() const { return m_tabFontColor; }
    void SetTabFontColor(const QColor& colour);
    void SetDesktop(IDesktop* desktop) { m_desktop = desktop; }

    // The look the program's windows give their group boxes: grey frame,
    // radius 10, the caption bold in blue in the tab.
    void ApplyWindowLook();

    // The top of the frame and the tab's rectangle, as painting uses them.
    int FrameTop() const;
    QRect TabRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int TabHeight() const;
    void UpdateMargins();

    QColor m_borderColor = Qt::black;
    int m_curveRadius = 16;
    bool m_drawTab = true;
    QFont m_tabFont;
    QColor m_tabFontColor;
    IDesktop* m_desktop = nullptr;
};
