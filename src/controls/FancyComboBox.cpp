#include "controls/FancyComboBox.h"

#include "controls/FancyItemDelegate.h"

#include <QAbstractItemView>

TFancyComboBox::TFancyComboBox(QWidget* parent) : QComboBox(parent), m_highlight(new TFancyItemDelegate(this))
{
    setItemDelegate(m_highlight);
    connect(m_highlight, &TFancyItemDelegate::Changed, this, [this] {
        update();
        view()->viewport()->update();
    });
}
