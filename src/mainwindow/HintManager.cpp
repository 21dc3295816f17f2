#include "mainwindow/HintManager.h"

#include "mainwindow/fStatusBar.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QStatusTipEvent>
#include <QToolTip>
#include <QWidget>
#include <exception>

namespace {

THintManager* g_instance = nullptr;

} // namespace

THintManager::THintManager(QObject* parent) : QObject(parent)
{
    g_instance = this;
    QToolTip::hideText();
    qApp->installEventFilter(this);
}

THintManager::~THintManager()
{
    if (qApp)
        qApp->removeEventFilter(this);
    if (g_instance == this)
        g_instance = nullptr;
}

THintManager* THintManager::Instance()
{
    return g_instance;
}

QString THintManager::ApplicationHint()
{
    return g_instance ? g_instance->m_hint : QString();
}

QString THintManager::HintOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (!w->statusTip().isEmpty())
            return w->statusTip();
        if (w->isWindow())
            break;
    }
    return QString();
}

void THintManager::SetHint(const QString& hint, QWidget* source)
{
    m_hint = hint;
    if (!source)
        return;
    // The window that holds the source is the one the mouse is over (or, for
    // a menu item, the window whose menu it is).
    if (auto* bar = dynamic_cast<IStatusBarWindow*>(source->window())) {
        try {
            bar->ShowApplicationHint();
        } catch (const std::exception&) {
        }
    }
}

bool THintManager::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip:
        return true;
    case QEvent::Enter:
        if (watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            SetHint(HintOf(widget), widget);
        }
        return false;
    case QEvent::Leave:
        // Going from a control back onto its parent enters nothing, so what
        // is under the mouse now is looked up here. When the mouse has left
        // the window, the window keeps its last hint.
        if (watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            QWidget* under = QApplication::widgetAt(QCursor::pos());
            if (under && under != widget && under->window() == widget->window())
                SetHint(HintOf(under), under);
        }
        return false;
    case QEvent::StatusTip: {
        // Qt sends a control's own status tip when the mouse enters it and an
        // empty one when it leaves; hovering covers both. What remains are the
        // hints of highlighted menu items, sent to the menu's owner.
        QWidget* source = nullptr;
        for (QObject* o = watched; o && !source; o = o->parent())
            if (o->isWidgetType())
                source = static_cast<QWidget*>(o);
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        const bool ownTip = source && source == watched && !source->statusTip().isEmpty()
                            && (tip.isEmpty() || tip == source->statusTip());
        if (!ownTip)
            SetHint(tip, source ? source : QApplication::activeWindow());
        return true;
    }
    default:
        return false;
    }
}
