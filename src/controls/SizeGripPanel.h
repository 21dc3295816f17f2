#pragma once

#include <QFrame>
#include <QPointer>

class QSizeGrip;

// A panel that can carry the sizing grip of its window in its bottom-right
// corner, inside its bevel. Dragging the grip sizes the window from that
// corner; a maximized (or full-screen) window shows no grip and is not sized
// from it. With the grip off the panel is a plain panel.
class TSizeGripPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TSizeGripPanel(QWidget* parent = nullptr);

    bool SizeGrip() const { return m_sizeGrip; }
    void SetSizeGrip(bool on);
    // The grip itself, for the windows' tests and their own layout checks.
    QSizeGrip* Grip() const { return m_grip; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TrackWindow();
    void PlaceGrip();
    void UpdateGripVisibility();

    QSizeGrip* m_grip;
    QPointer<QWidget> m_trackedWindow;
    bool m_sizeGrip = false;
};
