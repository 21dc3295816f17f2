#pragma once

#include <QPixmap>
#include <QToolButton>

// A picture-only toolbar button: the picture centred, nothing behind it;
// under the pointer or held down four red corner brackets frame it. The
// picture is the bitmap named by ResourceId or, without one, the icon of the
// button (or of its action).
class TBTransparentButton : public QToolButton
{
    Q_OBJECT

public:
    static const QColor BracketColor;
    static constexpr int BracketLength = 6;

    explicit TBTransparentButton(QWidget* parent = nullptr);

    QString ResourceId() const { return m_resourceId; }
    void SetResourceId(const QString& resourceId);

    bool Hot() const { return m_hot && isEnabled(); }
    bool Pressed() const { return isDown() && isEnabled(); }
    // The picture drawn now: greyed when the button is disabled.
    QPixmap Shown() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QString m_resourceId;
    QPixmap m_picture;
    bool m_hot = false;
};
