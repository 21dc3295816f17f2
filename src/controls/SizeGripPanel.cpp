#include "controls/SizeGripPanel.h"

#include <QEvent>
#include <QSizeGrip>

TSizeGripPanel::TSizeGripPanel(QWidget* parent) : QFrame(parent), m_grip(new QSizeGrip(this))
{
    m_grip->hide();
}

void TSizeGripPanel::SetSizeGrip(bool on)
{
    m_sizeGrip = on;
    UpdateGripVisibility();
    update();
}

void TSizeGripPanel::UpdateGripVisibility()
{
    const Qt::WindowStates noGrip = Qt::WindowMaximized | Qt::WindowFullScreen;
    m_grip->setVisible(m_sizeGrip && !(window()->windowState() & noGrip));
    PlaceGrip();
}

void TSizeGripPanel::PlaceGrip()
{
    const QSize size = m_grip->sizeHint();
    const int bevel = frameWidth();
    m_grip->setGeometry(width() - bevel - size.width(), height() - bevel - size.height(), size.width(),
                        size.height());
}

// The panel is usually made before it is placed in its window, so the window
// whose maximizing hides the grip is looked up again whenever that may have
// changed.
void TSizeGripPanel::TrackWindow()
{
    QWidget* current = window();
    if (current == m_trackedWindow)
        return;
    if (m_trackedWindow)
        m_trackedWindow->removeEventFilter(this);
    m_trackedWindow = current;
    if (current != this)
        current->installEventFilter(this);
    UpdateGripVisibility();
}

void TSizeGripPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    PlaceGrip();
}

bool TSizeGripPanel::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        TrackWindow();
    return QFrame::event(event);
}

bool TSizeGripPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_trackedWindow && event->type() == QEvent::WindowStateChange)
        UpdateGripVisibility();
    return QFrame::eventFilter(watched, event);
}
