#include "controls/FancyListBox.h"

#include "controls/FancyItemDelegate.h"

TFancyListBox::TFancyListBox(QWidget* parent) : QListWidget(parent), m_highlight(new TFancyItemDelegate(this))
{
    setItemDelegate(m_highlight);
    setUniformItemSizes(true);
    connect(m_highlight, &TFancyItemDelegate::Changed, viewport(), qOverload<>(&QWidget::update));
}
