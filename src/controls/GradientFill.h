#pragma once

#include <QColor>
#include <Qt>

class QPainter;
class QRect;

// The program's one gradient: one line per pixel from the start colour to the
// end colour, so that the last line is exactly the end colour. Short runs (14
// lines or fewer) begin with a quarter of plain start colour, which keeps a
// thin highlight from looking washed out. Equal colours give a plain fill.
// Vertical runs go from top to bottom, horizontal ones from left to right.
void GradientFill(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end,
                  Qt::Orientation direction = Qt::Vertical);

// Each of red, green and blue plus n, at most 255.
QColor LightenColour(const QColor& colour, int n);
// Each of red, green and blue minus n, at least 0.
QColor DarkenColour(const QColor& colour, int n);
// The grey of the colour's luminance (77 R + 145 G + 29 B) / 256.
int Luminance(const QColor& colour);
