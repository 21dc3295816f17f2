#pragma once

#include <QListWidget>

class TFancyItemDelegate;

// A list whose selected item is drawn on a gradient (the category filter
// list). Items are 16 pixels high.
// StartColorHi, EndColorHi and FontColorHi are set on Highlight().
class TFancyListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit TFancyListBox(QWidget* parent = nullptr);

    TFancyItemDelegate* Highlight() const { return m_highlight; }

private:
    TFancyItemDelegate* m_highlight;
};
