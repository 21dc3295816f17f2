#include "controls/HelpContext.h"

#include <QVariant>
#include <QWidget>

namespace {

const char* const kHelpContext = "helpContext";

} // namespace

void SetControlHelpContext(QWidget* control, int context)
{
    control->setProperty(kHelpContext, context);
}

int FocusHelpContext(const QWidget* focus, int windowContext)
{
    for (const QWidget* w = focus; w; w = w->parentWidget()) {
        if (const int context = w->property(kHelpContext).toInt(); context > 0)
            return context;
        // a window opened over another does not borrow its pages
        if (w->isWindow())
            break;
    }
    return windowContext;
}
