#pragma once

#include <QPushButton>

// The push button of the program's windows: a picture named by ResourceId
// and the caption on a vertical gradient face that brightens under the
// pointer, with a raised or flat frame. A button given no ResourceId shows
// the picture of its role, named by its object name (CommandButtonPicture).
class TResBitBtn : public QPushButton
{
    Q_OBJECT

public:
    static constexpr int DefaultWidth = 110;

    explicit TResBitBtn(QWidget* parent = nullptr);
    explicit TResBitBtn(const QString& caption, QWidget* parent = nullptr);

    QString ResourceId() const { return m_resourceId; }
    void SetResourceId(const QString& resourceId);
    // 0 picture and caption at the left; 1 both centred as a block; 2 like 1
    // but the caption left-aligned after the picture.
    int Alignment() const { return m_alignment; }
    void SetAlignment(int alignment);
    // Left margin of the picture in alignment 0; below 0 it is taken as 6.
    int Margin() const { return m_margin; }
    void SetMargin(int margin);
    bool HideBorderOnExit() const { return m_hideBorderOnExit; }
    void SetHideBorderOnExit(bool hide);

    // The pointer is over the enabled button.
    bool Hot() const { return m_hot && isEnabled(); }
    // The left button is held on the enabled button.
    bool Pressed() const { return isDown() && isEnabled(); }

    // Where picture and caption go for the current size: for the tests and
    // for the painting.
    QRect PictureRect() const;
    QRect CaptionRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void DrawFrame(QPainter& painter, bool pressed) const;
    void LoadPicture(const QString& resourceId);
    int EffectiveMargin() const { return m_margin < 0 ? 6 : m_margin; }

    QString m_resourceId;
    bool m_resourceChosen = false;
    QPixmap m_picture;
    int m_alignment = 0;
    int m_margin = -1;
    bool m_hideBorderOnExit = false;
    bool m_hot = false;
};
