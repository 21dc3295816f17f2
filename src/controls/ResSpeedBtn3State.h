#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A small picture button with a picture for each state: normal, under the
// pointer, and held down.
class TResSpeedBtn3State : public QAbstractButton
{
    Q_OBJECT

public:
    explicit TResSpeedBtn3State(QWidget* parent = nullptr);

    void SetBitmapNormal(const QString& resourceId);
    void SetBitmapHighlighted(const QString& resourceId);
    void SetBitmapDown(const QString& resourceId);
    QString BitmapNormal() const { return m_names[0]; }
    QString BitmapHighlighted() const { return m_names[1]; }
    QString BitmapDown() const { return m_names[2]; }

    bool Hot() const { return m_hot && isEnabled(); }
    bool Pressed() const { return isDown() && isEnabled(); }
    // The picture the button shows now (greyed when disabled).
    QPixmap Shown() const;

    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void SetBitmap(int state, const QString& resourceId);

    QString m_names[3];
    QPixmap m_pictures[3];
    bool m_hot = false;
};
