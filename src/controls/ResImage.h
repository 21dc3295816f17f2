#pragma once

#include <QPixmap>
#include <QWidget>

// A picture named by ResourceId (an icon or a transparent bitmap), drawn at
// (1, 1); nothing for an empty name or a missing picture.
class TResImage : public QWidget
{
    Q_OBJECT

public:
    explicit TResImage(QWidget* parent = nullptr);

    QString ResourceId() const { return m_resourceId; }
    void SetResourceId(const QString& resourceId);
    const QPixmap& Picture() const { return m_picture; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_resourceId;
    QPixmap m_picture;
};
