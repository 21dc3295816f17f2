#pragma once

#include <QColor>
#include <QWidget>
#include <array>

// A small likeness of the program's windows painted with the sixteen slots
// of one colour scheme: the window, an entry list with its highlighted row,
// a category menu with a most-used item, and a splitter button. It shows a
// scheme before it is applied.
class TColourSchemePreview : public QWidget
{
    Q_OBJECT

public:
    explicit TColourSchemePreview(QWidget* parent = nullptr);

    void SetPalette(const std::array<QColor, 16>& palette);
    QColor Slot(int slot) const { return m_palette.at(size_t(slot - 1)); }
    // Where the highlighted row of the list is painted.
    QRect HighlightRect() const;
    QSize sizeHint() const override { return QSize(300, 190); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QColor, 16> m_palette;
};
