#pragma once

#include <QColor>
#include <QLabel>

// A caption on a background that fades from the label's colour downwards,
// framed by a line: the page titles and the entry numbers. The caption keeps
// 2 × Margin pixels from the left and right edges; it is word-wrapped and
// centred vertically while it fits, otherwise shown on one line ending in an
// ellipsis.
class TFrameLabel : public QLabel
{
    Q_OBJECT

public:
    static const QColor DefaultColor;
    static const QColor DefaultFontColor;

    explicit TFrameLabel(QWidget* parent = nullptr);
    explicit TFrameLabel(const QString& caption, QWidget* parent = nullptr);

    // The top colour of the background.
    QColor Color() const;
    void SetColor(const QColor& colour);
    int FrameWidth() const { return m_frameWidth; }
    void SetFrameWidth(int width);
    QColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(const QColor& colour);
    int Margin() const { return m_margin; }
    void SetMargin(int margin);
    // How much the background lightens (positive) or darkens (negative)
    // from top to bottom; only its low eight bits count.
    int FadeSpeed() const { return m_fadeSpeed; }
    void SetFadeSpeed(int speed);

    // The colour of the bottom row.
    QColor FadedColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_frameWidth = 1;
    QColor m_frameColor = Qt::black;
    int m_margin = 5;
    int m_fadeSpeed = 64;
};
