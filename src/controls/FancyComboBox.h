#pragma once

#include <QComboBox>

class TFancyItemDelegate;

// A drop-down list whose selected item is drawn on a gradient (the search
// operator list, the colour-scheme list). Items are 16 pixels high.
// StartColorHi, EndColorHi and FontColorHi are set on Highlight().
class TFancyComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TFancyComboBox(QWidget* parent = nullptr);

    TFancyItemDelegate* Highlight() const { return m_highlight; }

private:
    TFancyItemDelegate* m_highlight;
};
