// Draws the program's pictures and writes them, with the resource collection
// that names them, into one folder; the build packs that folder into
// AppResources.rcc. Drawing them here keeps binary art out of the sources and
// lets every picture be changed by changing code.
//
// Usage: MakeResources <output folder>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>

namespace {

// Pixels of this colour in a BMP_ picture are drawn transparent.
const QColor kTransparent(128, 128, 0);
// The colour a BMP_ picture's soft edges are blended against before the
// transparent colour replaces what lies outside: the light face of the
// panels and toolbars these pictures sit on.
const QColor kPanelFace(236, 235, 228);

const QColor kInk(66, 68, 56);
const QColor kTeal(47, 118, 128);
const QColor kAmber(214, 150, 58);
const QColor kSage(139, 156, 112);

struct TEntry {
    QString name;  // the name the program looks the picture up by
    QString file;
};

QList<TEntry> g_written;

QImage NewImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont Face(const QStringList& families, int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// A polygon around a centre with its corners at equal angles, the first at
// `startDegrees`; corner i lies at radius radii[i % number of radii] (one
// radius: a regular polygon; two: a star).
QPainterPath RadialPolygon(QPointF centre, std::initializer_list<qreal> radii, int corners, qreal startDegrees)
{
    const QList<qreal> r(radii);
    QPainterPath path;
    for (int i = 0; i < corners; ++i) {
        const qreal angle = qDegreesToRadians(startDegrees + 360.0 * i / corners);
        const qreal radius = r.at(i % r.size());
        const QPointF p = centre + QPointF(radius * qCos(angle), radius * qSin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

QPainterPath RegularPolygon(QPointF centre, qreal radius, int corners, qreal startDegrees)
{
    return RadialPolygon(centre, {radius}, corners, startDegrees);
}

// A regular hexagon with flat top and bottom edges.
QPainterPath Hexagon(QPointF centre, qreal radius)
{
    return RegularPolygon(centre, radius, 6, 0);
}

// Centre of the honeycomb cell (column, row) for hexagons of the given radius.
QPointF CellCentre(QPointF origin, qreal radius, int column, int row)
{
    const qreal dx = radius * 1.5;
    const qreal dy = radius * qSqrt(3.0);
    return origin + QPointF(column * dx, row * dy + ((column & 1) ? dy / 2 : 0.0));
}

// The program's mark: three tiles of a honeycomb, one lifted out of it.
void DrawMark(QPainter& p, QPointF origin, qreal radius)
{
    const qreal gap = radius * 0.12;
    const QList<std::pair<QPointF, QColor>> tiles = {
        {CellCentre(origin, radius, 0, 0), kTeal},
        {CellCentre(origin, radius, 1, 0), kSage},
        {CellCentre(origin, radius, 0, 1), kAmber},
    };
    p.setPen(Qt::NoPen);
    for (const auto& [centre, colour] : tiles) {
        QLinearGradient fill(centre - QPointF(0, radius), centre + QPointF(0, radius));
        fill.setColorAt(0, colour.lighter(118));
        fill.setColorAt(1, colour.darker(112));
        p.setBrush(fill);
        p.drawPath(Hexagon(centre, radius - gap));
    }
}

void Save(const QImage& image, const QString& folder, const QString& name, const char* format, int quality = -1)
{
    const QString file = name + QLatin1Char('.') + QString::fromLatin1(format).toLower();
    if (!image.save(folder + file, format, quality)) {
        std::fprintf(stderr, "MakeResources: cannot write %s\n", qPrintable(folder + file));
        std::exit(1);
    }
    g_written.append({name, file});
}

// Flattens a drawing with soft edges into a bitmap whose background is the
// transparent colour: what is mostly covered becomes solid (blended against
// the backdrop the picture is shown on), what is mostly bare becomes
// transparent.
QImage ToTransparentBitmap(const QImage& drawing, const QColor& backdrop = kPanelFace)
{
    QImage bitmap(drawing.size(), QImage::Format_RGB32);
    for (int y = 0; y < drawing.height(); ++y)
        for (int x = 0; x < drawing.width(); ++x) {
            const QColor c = QColor::fromRgba(drawing.pixel(x, y));
            if (c.alpha() < 110) {
                bitmap.setPixelColor(x, y, kTransparent);
                continue;
            }
            const qreal a = c.alphaF();
            QColor solid = QColor::fromRgbF(c.redF() * a + backdrop.redF() * (1 - a),
                                            c.greenF() * a + backdrop.greenF() * (1 - a),
                                            c.blueF() * a + backdrop.blueF() * (1 - a));
            // a drawn pixel must never turn transparent by chance
            if (solid.rgb() == kTransparent.rgb())
                solid = solid.lighter(101);
            bitmap.setPixelColor(x, y, solid);
        }
    return bitmap;
}

void SaveBitmap(const QImage& drawing, const QString& folder, const QString& name)
{
    Save(ToTransparentBitmap(drawing), folder, name, "BMP");
}

QImage Draw(int width, int height, const std::function<void(QPainter&)>& paint)
{
    QImage image = NewImage(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(p);
    p.end();
    return image;
}

// --- the splash picture -----------------------------------------------------------

void DrawSplash(QPainter& p, int w, int h)
{
    // Soft light in the window's own background colour family, brighter at the top left.
    QLinearGradient background(0, 0, w * 0.55, h * 1.1);
    background.setColorAt(0.0, QColor(240, 239, 229));
    background.setColorAt(0.55, QColor(216, 215, 198));
    background.setColorAt(1.0, QColor(190, 188, 164));
    p.fillRect(0, 0, w, h, background);

    QRadialGradient glow(QPointF(w * 0.78, h * 0.42), w * 0.42);
    glow.setColorAt(0, QColor(255, 255, 248, 120));
    glow.setColorAt(1, QColor(255, 255, 248, 0));
    p.fillRect(0, 0, w, h, glow);

    // A faint honeycomb over the right half: the shelves of a knowledge base.
    const qreal radius = 21;
    const QPointF origin(w * 0.5, -radius);
    p.setBrush(Qt::NoBrush);
    for (int column = 0; column < 14; ++column)
        for (int row = 0; row < 9; ++row) {
            const QPointF c = CellCentre(origin, radius, column, row);
            // fade out towards the text on the left and the links at the bottom
            const qreal fadeX = qBound(0.0, (c.x() - w * 0.52) / (w * 0.18), 1.0);
            const qreal fadeY = qBound(0.0, (h - 62 - c.y()) / 40.0, 1.0);
            const int alpha = int(46 * fadeX * fadeY);
            if (alpha <= 0)
                continue;
            p.setPen(QPen(QColor(120, 118, 92, alpha), 1.0));
            p.drawPath(Hexagon(c, radius - 1.5));
        }

    // Entries lit up in the honeycomb, tied together like related notes.
    struct TCell {
        int column, row;
        QColor colour;
    };
    const QList<TCell> lit = {
        {3, 2, kTeal}, {4, 2, kSage}, {4, 3, kAmber}, {5, 1, kTeal.lighter(130)},
        {6, 3, kSage.lighter(112)}, {3, 4, kTeal.darker(110)}, {5, 4, kAmber.lighter(125)},
    };
    QList<QPointF> centres;
    for (const TCell& cell : lit)
        centres.append(CellCentre(origin, radius, cell.column, cell.row));

    p.setPen(QPen(QColor(84, 92, 80, 110), 1.2, Qt::SolidLine, Qt::RoundCap));
    const QList<std::pair<int, int>> ties = {{0, 1}, {1, 2}, {1, 3}, {2, 4}, {0, 5}, {2, 6}, {3, 4}};
    for (const auto& [a, b] : ties)
        p.drawLine(centres[a], centres[b]);

    for (int i = 0; i < lit.size(); ++i) {
        const QPointF c = centres[i];
        // a soft shadow lifts the tile off the page
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 58, 40, 40));
        p.drawPath(Hexagon(c + QPointF(1.5, 2.5), radius - 2.5));
        QLinearGradient fill(c - QPointF(0, radius), c + QPointF(0, radius));
        fill.setColorAt(0, lit[i].colour.lighter(125));
        fill.setColorAt(1, lit[i].colour.darker(108));
        p.setBrush(fill);
        p.setPen(QPen(QColor(255, 255, 250, 150), 1.0));
        p.drawPath(Hexagon(c, radius - 3.5));
        // the lines of text on an entry card
        p.setPen(QPen(QColor(255, 255, 255, 150), 1.4, Qt::SolidLine, Qt::RoundCap));
        for (int line = -1; line <= 1; ++line) {
            const qreal half = line == 1 ? 4.5 : 7.5;
            p.drawLine(c + QPointF(-half, line * 4.5), c + QPointF(half, line * 4.5));
        }
    }

    // The name and what it is.
    DrawMark(p, QPointF(52, 74), 13);
    p.setPen(kInk);
    p.setFont(Face({QStringLiteral("Lato Light"), QStringLiteral("Lato"), QStringLiteral("DejaVu Sans")}, 46,
                   QFont::Light));
    p.drawText(QPointF(90, 104), QStringLiteral("Tessaryn"));

    QFont tagline = Face({QStringLiteral("Lato"), QStringLiteral("DejaVu Sans")}, 11, QFont::DemiBold);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 2.6);
    p.setFont(tagline);
    p.setPen(QColor(118, 116, 92));
    p.drawText(QPointF(93, 128), QStringLiteral("KNOWLEDGE BASE"));

    QFont words = Face({QStringLiteral("Lato"), QStringLiteral("DejaVu Sans")}, 13);
    words.setItalic(true);
    p.setFont(words);
    p.setPen(QColor(104, 102, 82));
    p.drawText(QRectF(93, 150, 170, 60), Qt::TextWordWrap,
               QStringLiteral("Keep what you find.\nFind what you keep."));

    // A quiet rule above the links at the bottom.
    QLinearGradient rule(20, 0, w - 20, 0);
    rule.setColorAt(0, QColor(150, 148, 120, 0));
    rule.setColorAt(0.2, QColor(150, 148, 120, 150));
    rule.setColorAt(0.8, QColor(150, 148, 120, 150));
    rule.setColorAt(1, QColor(150, 148, 120, 0));
    p.setPen(QPen(QBrush(rule), 1.0));
    p.drawLine(QPointF(20, h - 52.5), QPointF(w - 20, h - 52.5));
    p.setPen(QPen(QColor(255, 255, 250, 120), 1.0));
    p.drawLine(QPointF(20, h - 51.5), QPointF(w - 20, h - 51.5));
}

// --- small pictures --------------------------------------------------------------

// Fills a shape with a light-to-dark gradient from its top to its bottom and outlines it.
void DrawShaded(QPainter& p, const QPainterPath& shape, const QColor& light, const QColor& dark,
                const QColor& outline)
{
    const QRectF box = shape.boundingRect();
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setBrush(fill);
    p.setPen(QPen(outline, 1.0));
    p.drawPath(shape);
}

// A glossy ball lit from the upper left.
void DrawBall(QPainter& p, QPointF centre, qreal radius, const QColor& light, const QColor& dark,
              const QColor& outline)
{
    QRadialGradient shade(centre - QPointF(radius * 0.3, radius * 0.45), radius * 1.4);
    shade.setColorAt(0, light);
    shade.setColorAt(1, dark);
    p.setBrush(shade);
    p.setPen(QPen(outline, 0.9));
    p.drawEllipse(centre, radius, radius);
}

void DrawPostItNote(QPainter& p)
{
    // a yellow note, its lower right corner turned up, held by a blue pin
    QPainterPath note;
    note.moveTo(1.5, 3.5);
    note.lineTo(14.5, 3.5);
    note.lineTo(14.5, 11.5);
    note.lineTo(10.5, 15.5);
    note.lineTo(1.5, 15.5);
    note.closeSubpath();
    DrawShaded(p, note, QColor(255, 244, 140), QColor(244, 214, 76), QColor(176, 140, 32));
    QPainterPath fold;
    fold.moveTo(14.5, 11.5);
    fold.lineTo(10.5, 11.5);
    fold.lineTo(10.5, 15.5);
    fold.closeSubpath();
    p.setBrush(QColor(222, 186, 60));
    p.drawPath(fold);
    p.setPen(QPen(QColor(190, 160, 70), 1.0));
    p.drawLine(QPointF(3.5, 9.5), QPointF(12, 9.5));
    p.drawLine(QPointF(3.5, 12.5), QPointF(8.5, 12.5));
    DrawBall(p, QPointF(8, 4), 3.3, QColor(150, 190, 255), QColor(20, 60, 190), QColor(16, 40, 130));
}

void DrawStop(QPainter& p)
{
    DrawShaded(p, RegularPolygon(QPointF(8, 8), 7.4, 8, 22.5), QColor(240, 80, 70), QColor(176, 18, 18),
               QColor(120, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3.5, 6.5, 9, 3), 1, 1);
}

void DrawInfo(QPainter& p)
{
    DrawBall(p, QPointF(8, 8), 7, QColor(110, 160, 250), QColor(24, 70, 190), QColor(18, 50, 140));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.4, 1.4);
    p.drawRoundedRect(QRectF(6.9, 7, 2.2, 5.8), 0.8, 0.8);
}

void DrawEmptyHint(QPainter& p)
{
    // the outline of a note with nothing on it
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(168, 166, 150), 1.0, Qt::DotLine));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawRect(2, 3, 11, 11);
}

void DrawLed(QPainter& p)
{
    QRadialGradient green(QPointF(6.5, 6), 8);
    green.setColorAt(0, QColor(200, 255, 190));
    green.setColorAt(0.45, QColor(60, 200, 60));
    green.setColorAt(1, QColor(10, 110, 20));
    p.setBrush(green);
    p.setPen(QPen(QColor(20, 80, 20), 1.0));
    p.drawEllipse(QPointF(8, 8), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(6.2, 5.8), 1.8, 1.4);
}

void DrawKey(QPainter& p)
{
    // a red key lying diagonally: the bow with its hole at the top left, the
    // shaft down to the right with two bits
    const QColor dark(120, 12, 12);
    QLinearGradient red(0, 0, 16, 16);
    red.setColorAt(0, QColor(248, 104, 88));
    red.setColorAt(1, QColor(176, 20, 20));
    p.setPen(QPen(dark, 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(14, 14));
    p.drawLine(QPointF(11.5, 11.5), QPointF(9.5, 13.5));
    p.drawLine(QPointF(13.6, 13.6), QPointF(11.8, 15.2));
    p.setPen(QPen(QBrush(red), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(14, 14));
    p.drawLine(QPointF(11.5, 11.5), QPointF(9.5, 13.5));
    p.drawLine(QPointF(13.6, 13.6), QPointF(11.8, 15.2));
    QPainterPath bow;
    bow.addEllipse(QPointF(5.2, 5.2), 4.4, 4.4);
    bow.addEllipse(QPointF(4.4, 4.4), 1.3, 1.3);
    p.setPen(QPen(dark, 1.0));
    p.setBrush(red);
    p.drawPath(bow);
}

void DrawExpansionMark(QPainter& p, bool plus)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0, 120, 140));
    p.setBrush(QColor(160, 236, 246));
    p.drawRect(0, 0, 10, 10);
    p.setPen(QColor(0, 70, 90));
    p.drawLine(2, 5, 8, 5);
    if (plus)
        p.drawLine(5, 2, 5, 8);
}

// The buttons that show (arrow up) and hide (arrow down) the files of an
// entry: grey at rest, blue under the pointer, darker and one pixel lower
// while held down.
void DrawFilesArrow(QPainter& p, bool up, int state)
{
    const QColor fill[] = {QColor(110, 116, 120), QColor(49, 105, 198), QColor(20, 60, 140)};
    const qreal shift = state == 2 ? 1 : 0;
    QPainterPath arrow;
    if (up) {
        arrow.moveTo(8 + shift, 3.5 + shift);
        arrow.lineTo(13.5 + shift, 11 + shift);
        arrow.lineTo(2.5 + shift, 11 + shift);
    } else {
        arrow.moveTo(2.5 + shift, 5 + shift);
        arrow.lineTo(13.5 + shift, 5 + shift);
        arrow.lineTo(8 + shift, 12.5 + shift);
    }
    arrow.closeSubpath();
    p.setPen(QPen(fill[state].darker(130), 1));
    p.setBrush(fill[state]);
    p.drawPath(arrow);
}

// The check of a selected node in the tree grids.
void DrawCheck(QPainter& p)
{
    QPainterPath tick;
    tick.moveTo(3, 8.5);
    tick.lineTo(6.5, 12);
    tick.lineTo(13, 3.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(10, 90, 20), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.setPen(QPen(QColor(70, 190, 60), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void DrawToolbarLogo(QPainter& p)
{
    DrawMark(p, QPointF(7, 7), 6.5);
    p.setPen(kInk);
    p.setFont(Face({QStringLiteral("Lato"), QStringLiteral("DejaVu Sans")}, 15, QFont::DemiBold));
    p.drawText(QPointF(24, 17), QStringLiteral("Tessaryn"));
}

void DrawApplicationIcon(QPainter& p, int size)
{
    const qreal s = size / 128.0;
    p.scale(s, s);
    QLinearGradient plate(0, 0, 0, 128);
    plate.setColorAt(0, QColor(248, 247, 238));
    plate.setColorAt(1, QColor(206, 205, 186));
    p.setBrush(plate);
    p.setPen(QPen(QColor(150, 148, 120), 2));
    p.drawRoundedRect(QRectF(5, 5, 118, 118), 24, 24);
    DrawMark(p, QPointF(42, 44), 26);
}

// The launcher icons of the desktop's icon theme: the application icon as
// PNG in the sizes menus and docks ask for, and as SVG for any other size.
// They are written beside the pictures but kept out of the collection, since
// the install places them in the theme's folders, not in the program.
void WriteThemeIcons(const QString& folder, const QString& id)
{
    const QString theme = folder + QStringLiteral("icons/hicolor/");
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString sized = theme + QStringLiteral("%1x%1/apps/").arg(size);
        QDir().mkpath(sized);
        const QImage image = Draw(size, size, [size](QPainter& p) { DrawApplicationIcon(p, size); });
        if (!image.save(sized + id + QStringLiteral(".png"), "PNG")) {
            std::fprintf(stderr, "MakeResources: cannot write %s\n", qPrintable(sized + id));
            std::exit(1);
        }
    }
    // The same drawing as DrawApplicationIcon, in SVG's terms.
    const auto hex = [](const QColor& c) { return c.name(QColor::HexRgb); };
    QString svg;
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 128 128\">\n"
        << "  <defs>\n"
        << "    <linearGradient id=\"plate\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"128\" gradientUnits=\"userSpaceOnUse\">"
        << "<stop offset=\"0\" stop-color=\"" << hex(QColor(248, 247, 238)) << "\"/><stop offset=\"1\" stop-color=\""
        << hex(QColor(206, 205, 186)) << "\"/></linearGradient>\n";
    const QPointF origin(42, 44);
    const qreal radius = 26;
    const QList<std::pair<QPointF, QColor>> tiles = {
        {CellCentre(origin, radius, 0, 0), kTeal},
        {CellCentre(origin, radius, 1, 0), kSage},
        {CellCentre(origin, radius, 0, 1), kAmber},
    };
    for (int i = 0; i < tiles.size(); ++i) {
        const auto& [centre, colour] = tiles.at(i);
        out << "    <linearGradient id=\"tile" << i << "\" x1=\"0\" y1=\"" << centre.y() - radius << "\" x2=\"0\" y2=\""
            << centre.y() + radius << "\" gradientUnits=\"userSpaceOnUse\"><stop offset=\"0\" stop-color=\""
            << hex(colour.lighter(118)) << "\"/><stop offset=\"1\" stop-color=\"" << hex(colour.darker(112))
            << "\"/></linearGradient>\n";
    }
    out << "  </defs>\n"
        << "  <rect x=\"5\" y=\"5\" width=\"118\" height=\"118\" rx=\"24\" ry=\"24\" fill=\"url(#plate)\" stroke=\""
        << hex(QColor(150, 148, 120)) << "\" stroke-width=\"2\"/>\n";
    for (int i = 0; i < tiles.size(); ++i) {
        const QPainterPath path = Hexagon(tiles.at(i).first, radius - radius * 0.12);
        out << "  <polygon fill=\"url(#tile" << i << ")\" points=\"";
        for (int e = 0; e < path.elementCount() - 1; ++e)
            out << (e ? " " : "") << QString::number(path.elementAt(e).x, 'f', 2) << ','
                << QString::number(path.elementAt(e).y, 'f', 2);
        out << "\"/>\n";
    }
    out << "</svg>\n";
    out.flush();
    const QString scalable = theme + QStringLiteral("scalable/apps/");
    QDir().mkpath(scalable);
    QFile file(scalable + id + QStringLiteral(".svg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(svg.toUtf8()) < 0) {
        std::fprintf(stderr, "MakeResources: cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

// --- the pictures of the buttons ----------------------------------------------------
//
// The toolbar's pictures (24 × 24) and the command buttons' (16 × 16) are
// built from a few shared motifs, so that a thing (an entry, the monitored
// folder, a bookmark) looks the same wherever it appears; a small badge in
// the lower right corner says what is done to it.

const QColor kBlue(49, 105, 198);
const QColor kDeepBlue(24, 64, 150);
const QColor kGreen(58, 150, 52);
const QColor kRed(204, 44, 34);
const QColor kGold(236, 184, 48);
const QColor kPaper(252, 252, 246);
const QColor kPaperEdge(120, 122, 112);
const QColor kManila(240, 200, 100);
const QColor kManilaDark(170, 124, 36);

enum class TBadge { Plus, Minus, Cross, Star, Arrow, Check, Pencil, Gear };

// A sheet of paper with its upper right corner folded and, when asked, lines of text.
void DrawPage(QPainter& p, const QRectF& r, bool lines = true, const QColor& paper = kPaper)
{
    const qreal fold = r.width() * 0.32;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    DrawShaded(p, sheet, paper, paper.darker(108), kPaperEdge);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(214, 214, 204));
    p.drawPath(corner);
    if (!lines)
        return;
    p.setPen(QPen(QColor(150, 160, 176), 1.0));
    const qreal left = r.left() + r.width() * 0.2, right = r.right() - r.width() * 0.2;
    for (qreal y = r.top() + fold + 2.5; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(left, y), QPointF(y < r.top() + fold + 5 ? right - 2 : right, y));
}

// A manila folder; open, its front leaf tilts forward.
void DrawFolder(QPainter& p, const QRectF& r, bool open = false)
{
    const qreal tab = r.height() * 0.22;
    QPainterPath back;
    back.moveTo(r.left(), r.top() + tab);
    back.lineTo(r.left(), r.bottom());
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.right(), r.top() + tab);
    back.lineTo(r.left() + r.width() * 0.45, r.top() + tab);
    back.lineTo(r.left() + r.width() * 0.36, r.top());
    back.lineTo(r.left() + r.width() * 0.06, r.top());
    back.closeSubpath();
    DrawShaded(p, back, kManila.darker(104), kManila.darker(125), kManilaDark);
    QPainterPath front;
    if (open) {
        front.moveTo(r.left() + r.width() * 0.16, r.top() + tab * 2.2);
        front.lineTo(r.right() + 1, r.top() + tab * 2.2);
        front.lineTo(r.right() - r.width() * 0.12, r.bottom());
        front.lineTo(r.left(), r.bottom());
    } else {
        front.addRect(QRectF(r.left(), r.top() + tab * 1.8, r.width(), r.height() - tab * 1.8));
    }
    front.closeSubpath();
    DrawShaded(p, front, kManila.lighter(118), kManila, kManilaDark);
}

// The monitored folder: a folder with an eye on its front.
void DrawMonitoredFolder(QPainter& p, const QRectF& r)
{
    DrawFolder(p, r);
    const QPointF eye(r.center().x(), r.top() + r.height() * 0.66);
    const qreal w = r.width() * 0.3, h = r.height() * 0.17;
    QPainterPath lid;
    lid.moveTo(eye.x() - w, eye.y());
    lid.quadTo(eye.x(), eye.y() - 2 * h, eye.x() + w, eye.y());
    lid.quadTo(eye.x(), eye.y() + 2 * h, eye.x() - w, eye.y());
    p.setPen(QPen(kManilaDark.darker(140), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(lid);
    p.setPen(Qt::NoPen);
    p.setBrush(kTeal.darker(120));
    p.drawEllipse(eye, h * 0.95, h * 0.95);
}

// An entry: a card with the program's teal title strip and lines below.
void DrawEntryCard(QPainter& p, const QRectF& r)
{
    QPainterPath card;
    card.addRoundedRect(r, 1.5, 1.5);
    DrawShaded(p, card, kPaper, QColor(232, 232, 222), kPaperEdge);
    p.setPen(Qt::NoPen);
    p.setBrush(kTeal);
    p.drawRect(QRectF(r.left() + 1, r.top() + 1, r.width() - 1.5, r.height() * 0.26));
    p.setPen(QPen(QColor(150, 160, 176), 1.0));
    for (qreal y = r.top() + r.height() * 0.26 + 3; y < r.bottom() - 1.5; y += 3)
        p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
}

void DrawClipboard(QPainter& p, const QRectF& r)
{
    QPainterPath board;
    board.addRoundedRect(r.adjusted(0, r.height() * 0.08, 0, 0), 1.5, 1.5);
    DrawShaded(p, board, QColor(200, 150, 92), QColor(150, 100, 50), QColor(100, 64, 30));
    DrawPage(p, r.adjusted(r.width() * 0.16, r.height() * 0.22, -r.width() * 0.16, -r.height() * 0.08));
    QPainterPath clip;
    clip.addRoundedRect(QRectF(r.center().x() - r.width() * 0.22, r.top(), r.width() * 0.44, r.height() * 0.2), 1, 1);
    DrawShaded(p, clip, QColor(236, 236, 240), QColor(150, 152, 160), QColor(90, 92, 100));
}

// A bookmark ribbon hanging from the top.
void DrawRibbon(QPainter& p, const QRectF& r, const QColor& colour)
{
    QPainterPath ribbon;
    ribbon.moveTo(r.topLeft());
    ribbon.lineTo(r.topRight());
    ribbon.lineTo(r.bottomRight());
    ribbon.lineTo(r.center().x(), r.bottom() - r.width() * 0.45);
    ribbon.lineTo(r.bottomLeft());
    ribbon.closeSubpath();
    DrawShaded(p, ribbon, colour.lighter(130), colour.darker(115), colour.darker(170));
}

// The category tree: a root box and two children on a bracket.
void DrawCategoryTree(QPainter& p, const QRectF& r)
{
    const qreal s = r.width() * 0.36;
    p.setPen(QPen(kInk, 1.0));
    const qreal x = r.left() + s * 0.5;
    p.drawLine(QPointF(x, r.top() + s), QPointF(x, r.bottom() - s * 0.5));
    p.drawLine(QPointF(x, r.center().y() + s * 0.05), QPointF(r.right() - s, r.center().y() + s * 0.05));
    p.drawLine(QPointF(x, r.bottom() - s * 0.5), QPointF(r.right() - s, r.bottom() - s * 0.5));
    const auto box = [&](QPointF topLeft, const QColor& colour) {
        QPainterPath b;
        b.addRoundedRect(QRectF(topLeft, QSizeF(s, s)), 1, 1);
        DrawShaded(p, b, colour.lighter(125), colour.darker(110), colour.darker(160));
    };
    box(r.topLeft(), kAmber);
    box(QPointF(r.right() - s, r.center().y() - s * 0.45), kTeal);
    box(QPointF(r.right() - s, r.bottom() - s), kSage);
}

void DrawMagnifier(QPainter& p, const QRectF& r)
{
    const qreal lens = r.width() * 0.62;
    const QRectF glass(r.topLeft(), QSizeF(lens, lens));
    p.setPen(QPen(QColor(90, 64, 40), r.width() * 0.16, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(glass.center() + QPointF(lens * 0.36, lens * 0.36), r.bottomRight() - QPointF(1, 1));
    QRadialGradient shine(glass.center() - QPointF(lens * 0.15, lens * 0.15), lens * 0.6);
    shine.setColorAt(0, QColor(240, 250, 255));
    shine.setColorAt(1, QColor(150, 196, 232));
    p.setBrush(shine);
    p.setPen(QPen(QColor(70, 76, 90), r.width() * 0.1));
    p.drawEllipse(glass.adjusted(1, 1, -1, -1));
}

void DrawEnvelope(QPainter& p, const QRectF& r)
{
    QPainterPath body;
    body.addRect(r);
    DrawShaded(p, body, QColor(255, 252, 236), QColor(228, 220, 190), QColor(130, 116, 80));
    p.setPen(QPen(QColor(130, 116, 80), 1.0));
    p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + r.height() * 0.1));
    p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + r.height() * 0.1));
}

void DrawTrash(QPainter& p, const QRectF& r)
{
    QPainterPath can;
    can.moveTo(r.left() + r.width() * 0.12, r.top() + r.height() * 0.24);
    can.lineTo(r.right() - r.width() * 0.12, r.top() + r.height() * 0.24);
    can.lineTo(r.right() - r.width() * 0.2, r.bottom());
    can.lineTo(r.left() + r.width() * 0.2, r.bottom());
    can.closeSubpath();
    DrawShaded(p, can, QColor(206, 210, 216), QColor(130, 136, 146), QColor(70, 74, 84));
    p.setPen(QPen(QColor(90, 96, 106), 1.0));
    for (const qreal f : {0.38, 0.5, 0.62})
        p.drawLine(QPointF(r.left() + r.width() * f, r.top() + r.height() * 0.36),
                   QPointF(r.left() + r.width() * f, r.bottom() - r.height() * 0.1));
    QPainterPath lid;
    lid.addRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.1, r.width(), r.height() * 0.13), 1, 1);
    lid.addRect(QRectF(r.center().x() - r.width() * 0.14, r.top(), r.width() * 0.28, r.height() * 0.12));
    DrawShaded(p, lid, QColor(220, 224, 230), QColor(140, 146, 156), QColor(70, 74, 84));
}

void DrawGear(QPainter& p, QPointF centre, qreal radius)
{
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a0 = qDegreesToRadians(360.0 * i / (teeth * 2) - 360.0 / (teeth * 4) * 0.8);
        const qreal a1 = qDegreesToRadians(360.0 * (i + 1) / (teeth * 2) - 360.0 / (teeth * 4) * 0.8);
        const qreal rr = (i % 2 == 0) ? radius : radius * 0.74;
        const QPointF from = centre + QPointF(rr * qCos(a0), rr * qSin(a0));
        const QPointF to = centre + QPointF(rr * qCos(a1), rr * qSin(a1));
        if (i == 0)
            gear.moveTo(from);
        else
            gear.lineTo(from);
        gear.lineTo(to);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, radius * 0.3, radius * 0.3);
    gear.setFillRule(Qt::OddEvenFill);
    DrawShaded(p, gear, QColor(200, 206, 214), QColor(104, 112, 126), QColor(54, 60, 72));
}

void DrawPencil(QPainter& p, const QRectF& r)
{
    const qreal w = r.width() * 0.26;
    p.save();
    p.translate(r.center());
    p.rotate(45);
    const qreal len = r.width() * 1.25;
    QPainterPath body;
    body.addRect(QRectF(-len / 2 + w, -w / 2, len - w * 1.6, w));
    DrawShaded(p, body, QColor(255, 214, 90), QColor(222, 150, 30), QColor(120, 76, 10));
    QPainterPath tip;
    tip.moveTo(-len / 2 + w, -w / 2);
    tip.lineTo(-len / 2, 0);
    tip.lineTo(-len / 2 + w, w / 2);
    tip.closeSubpath();
    DrawShaded(p, tip, QColor(250, 226, 190), QColor(220, 180, 140), QColor(120, 76, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(232, 110, 120));
    p.drawRect(QRectF(len / 2 - w * 0.6, -w / 2, w * 0.6, w));
    p.restore();
}

void DrawStar(QPainter& p, QPointF centre, qreal radius)
{
    DrawShaded(p, RadialPolygon(centre, {radius, radius * 0.45}, 10, -90), QColor(255, 236, 120), kGold,
               QColor(150, 100, 10));
}

// A filled arrow from `from` to `to`.
void DrawArrow(QPainter& p, QPointF from, QPointF to, qreal width, const QColor& colour)
{
    const QLineF line(from, to);
    const qreal head = width * 2.1;
    QLineF back(to, from);
    back.setLength(head);
    const QPointF base = back.p2();
    const QPointF normal = QPointF(-(to.y() - from.y()), to.x() - from.x()) / line.length();
    QPainterPath arrow;
    arrow.moveTo(from + normal * width / 2);
    arrow.lineTo(base + normal * width / 2);
    arrow.lineTo(base + normal * head * 0.62);
    arrow.lineTo(to);
    arrow.lineTo(base - normal * head * 0.62);
    arrow.lineTo(base - normal * width / 2);
    arrow.lineTo(from - normal * width / 2);
    arrow.closeSubpath();
    DrawShaded(p, arrow, colour.lighter(135), colour, colour.darker(160));
}

// The badge in the lower right corner of a picture of `size` pixels.
void DrawBadge(QPainter& p, int size, TBadge badge)
{
    const qreal r = size * 0.22;
    const QPointF c(size - r - 0.5, size - r - 0.5);
    switch (badge) {
    case TBadge::Star:
        DrawStar(p, c - QPointF(0, 0.5), r * 1.25);
        return;
    case TBadge::Pencil:
        DrawPencil(p, QRectF(c - QPointF(r, r), QSizeF(2 * r, 2 * r)));
        return;
    case TBadge::Gear:
        DrawGear(p, c, r * 1.1);
        return;
    default:
        break;
    }
    const QColor colour = badge == TBadge::Plus || badge == TBadge::Check ? kGreen
                          : badge == TBadge::Arrow                      ? kBlue
                                                                        : kRed;
    DrawBall(p, c, r, colour.lighter(150), colour.darker(110), colour.darker(170));
    p.setPen(QPen(Qt::white, size >= 24 ? 1.8 : 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal a = r * 0.55;
    switch (badge) {
    case TBadge::Plus:
        p.drawLine(c - QPointF(a, 0), c + QPointF(a, 0));
        p.drawLine(c - QPointF(0, a), c + QPointF(0, a));
        break;
    case TBadge::Minus:
        p.drawLine(c - QPointF(a, 0), c + QPointF(a, 0));
        break;
    case TBadge::Cross:
        p.drawLine(c - QPointF(a, a) * 0.8, c + QPointF(a, a) * 0.8);
        p.drawLine(c - QPointF(a, -a) * 0.8, c + QPointF(a, -a) * 0.8);
        break;
    case TBadge::Arrow:
        p.drawLine(c - QPointF(a, 0), c + QPointF(a, 0));
        p.drawLine(c + QPointF(a, 0), c + QPointF(0, -a * 0.8));
        p.drawLine(c + QPointF(a, 0), c + QPointF(0, a * 0.8));
        break;
    case TBadge::Check:
        p.drawPolyline(QPolygonF({c + QPointF(-a, 0), c + QPointF(-a * 0.2, a * 0.8), c + QPointF(a, -a * 0.8)}));
        break;
    default:
        break;
    }
}

// A small window frame with a blue title bar.
void DrawWindowFrame(QPainter& p, const QRectF& r)
{
    QPainterPath frame;
    frame.addRoundedRect(r, 1.5, 1.5);
    DrawShaded(p, frame, QColor(250, 250, 246), QColor(226, 226, 218), QColor(70, 80, 100));
    p.setPen(Qt::NoPen);
    QLinearGradient title(r.topLeft(), r.topRight());
    title.setColorAt(0, kBlue);
    title.setColorAt(1, kBlue.lighter(140));
    p.setBrush(title);
    p.drawRect(QRectF(r.left() + 1, r.top() + 1, r.width() - 1.5, r.height() * 0.2));
}

// A database: a cylinder of three discs.
void DrawDatabase(QPainter& p, const QRectF& r)
{
    const qreal rim = r.height() * 0.2;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + rim / 2);
    body.lineTo(r.left(), r.bottom() - rim / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - rim, r.width(), rim), 180, 180);
    body.lineTo(r.right(), r.top() + rim / 2);
    body.closeSubpath();
    QLinearGradient side(r.topLeft(), r.topRight());
    side.setColorAt(0, QColor(120, 150, 190));
    side.setColorAt(0.45, QColor(190, 214, 240));
    side.setColorAt(1, QColor(90, 118, 160));
    p.setBrush(side);
    p.setPen(QPen(QColor(40, 60, 100), 1.0));
    p.drawPath(body);
    p.setBrush(QColor(214, 228, 246));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), rim));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(r.left(), r.top() + (r.height() - rim) / 2, r.width(), rim), 180 * 16, 180 * 16);
}

void DrawFloppy(QPainter& p, const QRectF& r)
{
    QPainterPath disk;
    disk.moveTo(r.topLeft());
    disk.lineTo(r.right() - r.width() * 0.16, r.top());
    disk.lineTo(r.right(), r.top() + r.width() * 0.16);
    disk.lineTo(r.bottomRight());
    disk.lineTo(r.bottomLeft());
    disk.closeSubpath();
    DrawShaded(p, disk, kBlue.lighter(130), kDeepBlue, kDeepBlue.darker(150));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 224, 230));
    p.drawRect(QRectF(r.left() + r.width() * 0.26, r.top() + 1, r.width() * 0.46, r.height() * 0.32));
    p.setBrush(kDeepBlue);
    p.drawRect(QRectF(r.left() + r.width() * 0.56, r.top() + 2, r.width() * 0.1, r.height() * 0.22));
    p.setBrush(kPaper);
    p.drawRect(QRectF(r.left() + r.width() * 0.16, r.top() + r.height() * 0.54, r.width() * 0.68, r.height() * 0.4));
}

// Two letters or digits above each other beside a downward arrow: the sort order.
void DrawSortOrder(QPainter& p, int size, const QString& first, const QString& last)
{
    p.setFont(Face({QStringLiteral("DejaVu Sans")}, int(size * 0.42), QFont::Bold));
    p.setPen(kInk);
    p.drawText(QRectF(0, 0, size * 0.55, size * 0.5), Qt::AlignCenter, first);
    p.drawText(QRectF(0, size * 0.5, size * 0.55, size * 0.5), Qt::AlignCenter, last);
    DrawArrow(p, QPointF(size * 0.76, size * 0.08), QPointF(size * 0.76, size * 0.94), size * 0.14, kBlue);
}

void DrawClock(QPainter& p, const QRectF& r)
{
    DrawBall(p, r.center(), r.width() / 2 - 0.5, QColor(255, 255, 255), QColor(214, 218, 226), QColor(60, 66, 80));
    p.setPen(QPen(kInk, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.center(), r.center() + QPointF(0, -r.height() * 0.32));
    p.drawLine(r.center(), r.center() + QPointF(r.width() * 0.24, 0));
}

void DrawHelpBall(QPainter& p, const QRectF& r)
{
    DrawBall(p, r.center(), r.width() / 2 - 0.5, QColor(110, 160, 250), QColor(24, 70, 190), QColor(18, 50, 140));
    p.setPen(Qt::white);
    p.setFont(Face({QStringLiteral("DejaVu Sans")}, int(r.height() * 0.72), QFont::Bold));
    p.drawText(r.translated(0, 0.5), Qt::AlignCenter, QStringLiteral("?"));
}

// A circular arrow going round clockwise: back to the start.
void DrawReset(QPainter& p, const QRectF& r)
{
    const QRectF ring = r.adjusted(r.width() * 0.14, r.height() * 0.14, -r.width() * 0.14, -r.height() * 0.14);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGreen.darker(120), r.width() * 0.14, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 100 * 16, 290 * 16);
    const QPointF end = ring.center() + QPointF(ring.width() / 2 * qCos(qDegreesToRadians(-100.0)),
                                                ring.height() / 2 * qSin(qDegreesToRadians(-100.0)));
    QPainterPath head;
    const qreal s = r.width() * 0.22;
    head.moveTo(end + QPointF(-s * 0.2, -s));
    head.lineTo(end + QPointF(s * 1.1, 0));
    head.lineTo(end + QPointF(-s * 0.2, s));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen.darker(120));
    p.drawPath(head);
}

void DrawPalette(QPainter& p, const QRectF& r)
{
    QPainterPath board;
    board.addEllipse(r.adjusted(0, r.height() * 0.1, 0, -r.height() * 0.05));
    QPainterPath hole;
    hole.addEllipse(QPointF(r.left() + r.width() * 0.3, r.bottom() - r.height() * 0.3), r.width() * 0.1,
                    r.width() * 0.1);
    DrawShaded(p, board.subtracted(hole), QColor(236, 206, 150), QColor(196, 156, 96), QColor(120, 84, 40));
    const QList<std::pair<QPointF, QColor>> dabs = {{{0.3, 0.38}, kRed},
                                                    {{0.55, 0.3}, kGold},
                                                    {{0.76, 0.45}, kGreen},
                                                    {{0.66, 0.7}, kBlue}};
    p.setPen(Qt::NoPen);
    for (const auto& [at, colour] : dabs) {
        p.setBrush(colour);
        p.drawEllipse(QPointF(r.left() + r.width() * at.x(), r.top() + r.height() * at.y()), r.width() * 0.1,
                      r.width() * 0.1);
    }
}

// Three sliders on their tracks: options.
void DrawSliders(QPainter& p, const QRectF& r)
{
    const qreal knob = r.width() * 0.22;
    const qreal positions[] = {0.3, 0.7, 0.45};
    for (int i = 0; i < 3; ++i) {
        const qreal y = r.top() + r.height() * (0.2 + 0.3 * i);
        p.setPen(QPen(QColor(90, 96, 110), 1.2));
        p.drawLine(QPointF(r.left() + 1, y), QPointF(r.right() - 1, y));
        QPainterPath k;
        k.addRoundedRect(QRectF(r.left() + r.width() * positions[i] - knob / 2, y - knob * 0.6, knob, knob * 1.2), 1,
                         1);
        DrawShaded(p, k, kBlue.lighter(150), kBlue, kDeepBlue);
    }
}

// A broom sweeping to the lower left.
void DrawBroom(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(QColor(130, 84, 40), r.width() * 0.12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.right() - 1, r.top() + 1), QPointF(r.center().x() - r.width() * 0.05, r.center().y()));
    QPainterPath bristles;
    const QPointF neck(r.center().x() - r.width() * 0.05, r.center().y());
    bristles.moveTo(neck + QPointF(-r.width() * 0.05, -r.height() * 0.12));
    bristles.lineTo(neck + QPointF(r.width() * 0.12, r.height() * 0.04));
    bristles.lineTo(r.left() + r.width() * 0.3, r.bottom());
    bristles.lineTo(r.left(), r.bottom() - r.height() * 0.3);
    bristles.closeSubpath();
    DrawShaded(p, bristles, QColor(250, 220, 120), QColor(210, 160, 50), QColor(130, 90, 20));
    p.setPen(QPen(QColor(150, 110, 30), 0.8));
    p.drawLine(neck + QPointF(0, 0), QPointF(r.left() + r.width() * 0.14, r.bottom() - r.height() * 0.14));
}

// A picture of `size` pixels square built by `paint`, written as a bitmap
// whose soft edges are blended against `backdrop`.
void SavePicture(const QString& folder, const QString& name, int size, const std::function<void(QPainter&)>& paint,
                 const QColor& backdrop = kPanelFace)
{
    Save(ToTransparentBitmap(Draw(size, size, paint), backdrop), folder, name, "BMP");
}

void DrawToolbarPictures(const QString& folder)
{
    // The toolbar strip is painted in the scheme's highlight colours, a
    // mid-light grey-blue to yellow; soft edges are blended against a colour
    // between them.
    const QColor strip(206, 210, 212);
    const int n = 24;
    const auto save = [&](const char* name, const std::function<void(QPainter&)>& paint) {
        SavePicture(folder, QString::fromLatin1(name), n, paint, strip);
    };
    const auto withBadge = [n](const std::function<void(QPainter&)>& base, TBadge badge) {
        return [n, base, badge](QPainter& p) {
            base(p);
            DrawBadge(p, n, badge);
        };
    };
    const auto clipboard = [](QPainter& p) { DrawClipboard(p, QRectF(2.5, 1.5, 15, 19)); };
    const auto monitored = [](QPainter& p) { DrawMonitoredFolder(p, QRectF(1.5, 3.5, 18, 15)); };
    const auto ribbon = [](QPainter& p) { DrawRibbon(p, QRectF(5.5, 1.5, 10, 18), kRed); };
    const auto tree = [](QPainter& p) { DrawCategoryTree(p, QRectF(1.5, 1.5, 18, 18)); };
    const auto pasteInto = [&](QPainter& p, const std::function<void(QPainter&)>& sheet) {
        DrawMonitoredFolder(p, QRectF(1.5, 6.5, 18, 15));
        sheet(p);
    };

    save("BMP_NEW_ENTRY_FROM_CLIPBOARD", withBadge(clipboard, TBadge::Star));
    save("BMP_NEW_ENTRY_FROM_MONITORED_FOLDER", withBadge(monitored, TBadge::Star));
    save("BMP_NEW_ENTRY_FROM_QUICK_NOTE", withBadge(
                                              [](QPainter& p) {
                                                  p.save();
                                                  p.translate(1, 1);
                                                  p.scale(1.2, 1.2);
                                                  DrawPostItNote(p);
                                                  p.restore();
                                              },
                                              TBadge::Star));
    save("BMP_MONITORED_FOLDER_PASTE", [&](QPainter& p) {
        pasteInto(p, [](QPainter& p) { DrawClipboard(p, QRectF(12.5, 1.5, 10, 13)); });
    });
    save("BMP_MONITORED_FOLDER_PASTE_AS_TEXT", [&](QPainter& p) {
        pasteInto(p, [](QPainter& p) {
            DrawPage(p, QRectF(12.5, 0.5, 10, 13), false);
            p.setPen(kInk);
            p.setFont(Face({QStringLiteral("DejaVu Serif")}, 10, QFont::Bold));
            p.drawText(QRectF(12.5, 3, 9, 10), Qt::AlignCenter, QStringLiteral("T"));
        });
    });
    save("BMP_MONITORED_FOLDER_PASTE_AS_HTML", [&](QPainter& p) {
        pasteInto(p, [](QPainter& p) {
            DrawPage(p, QRectF(11.5, 0.5, 11, 13), false);
            p.setPen(QPen(kBlue, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(15.5, 5.5), QPointF(13.5, 8), QPointF(15.5, 10.5)}));
            p.drawPolyline(QPolygonF({QPointF(18.5, 5.5), QPointF(20.5, 8), QPointF(18.5, 10.5)}));
        });
    });
    save("BMP_MONITORED_FOLDER_ADD_TO_ENTRY", [](QPainter& p) {
        DrawMonitoredFolder(p, QRectF(0.5, 0.5, 12, 10));
        DrawEntryCard(p, QRectF(9.5, 9.5, 13, 13));
        DrawArrow(p, QPointF(5, 12), QPointF(5, 21), 2.6, kGreen);
    });
    save("BMP_MONITORED_FOLDER_MANAGE", withBadge(monitored, TBadge::Gear));
    save("BMP_MONITORED_FOLDER_EXPLORE", [](QPainter& p) {
        DrawFolder(p, QRectF(1.5, 3.5, 18, 15), true);
        DrawMagnifier(p, QRectF(11, 11, 12, 12));
    });
    save("BMP_MONITORED_FOLDER_CLEAR", [](QPainter& p) {
        DrawMonitoredFolder(p, QRectF(1.5, 2.5, 18, 15));
        DrawBroom(p, QRectF(11, 10, 12.5, 13));
    });
    save("BMP_SELECTED_MERGE", [](QPainter& p) {
        DrawEntryCard(p, QRectF(0.5, 0.5, 9, 8));
        DrawEntryCard(p, QRectF(0.5, 14.5, 9, 8));
        DrawArrow(p, QPointF(9, 4.5), QPointF(15, 10), 2.2, kBlue);
        DrawArrow(p, QPointF(9, 18.5), QPointF(15, 13.5), 2.2, kBlue);
        DrawEntryCard(p, QRectF(14.5, 6.5, 9, 11));
    });
    save("BMP_SELECTED_DELETE", [](QPainter& p) { DrawTrash(p, QRectF(4.5, 2.5, 15, 19)); });
    save("BMP_SELECTED_MOVE_TO_CATEGORY", [](QPainter& p) {
        DrawCategoryTree(p, QRectF(9.5, 0.5, 14, 14));
        DrawEntryCard(p, QRectF(0.5, 11.5, 11, 11));
        DrawArrow(p, QPointF(12, 19), QPointF(20.5, 19), 2.4, kGreen);
    });
    save("BMP_SELECTED_EMAIL", [](QPainter& p) {
        DrawEnvelope(p, QRectF(1.5, 5.5, 19, 13));
        DrawArrow(p, QPointF(13, 19.5), QPointF(23, 19.5), 2.6, kGreen);
    });
    save("BMP_SELECTED_EXPORT_HTML", [](QPainter& p) {
        DrawPage(p, QRectF(3.5, 1.5, 14, 19), false);
        p.setPen(QPen(kBlue, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(9, 8), QPointF(6, 11.5), QPointF(9, 15)}));
        p.drawPolyline(QPolygonF({QPointF(12, 8), QPointF(15, 11.5), QPointF(12, 15)}));
        DrawBadge(p, 24, TBadge::Arrow);
    });
    save("BMP_BROWSE_CATEGORIES", tree);
    save("BMP_BROWSE_BOOKMARKS", [](QPainter& p) {
        DrawPage(p, QRectF(3.5, 3.5, 16, 19));
        DrawRibbon(p, QRectF(7.5, 0.5, 6, 12), kRed);
        DrawRibbon(p, QRectF(14.5, 0.5, 5, 9), kBlue);
    });
    save("BMP_BROWSE_SEARCH", [](QPainter& p) { DrawMagnifier(p, QRectF(1.5, 1.5, 21, 21)); });
    save("BMP_MANAGE_CATEGORIES", withBadge(tree, TBadge::Pencil));
    save("BMP_MANAGE_BOOKMARKS", withBadge(ribbon, TBadge::Pencil));
    save("BMP_BOOKMARK_ADD", withBadge(ribbon, TBadge::Plus));
    save("BMP_BOOKMARK_ADD_TO_SET", withBadge(ribbon, TBadge::Arrow));
    save("BMP_BOOKMARK_ADD_TO_NEW_SET", withBadge(ribbon, TBadge::Star));
    save("BMP_BOOKMARK_REMOVE", withBadge(ribbon, TBadge::Minus));
    save("BMP_SORT_LAST_MODIFIED", [](QPainter& p) {
        DrawClock(p, QRectF(0.5, 2.5, 15, 15));
        DrawArrow(p, QPointF(19, 2), QPointF(19, 22.5), 3.4, kBlue);
    });
    save("BMP_SORT_CREATION_ORDER",
         [](QPainter& p) { DrawSortOrder(p, 24, QStringLiteral("1"), QStringLiteral("9")); });
    save("BMP_SORT_CREATION_ORDER_REVERSE",
         [](QPainter& p) { DrawSortOrder(p, 24, QStringLiteral("9"), QStringLiteral("1")); });
    save("BMP_SORT_TITLE", [](QPainter& p) { DrawSortOrder(p, 24, QStringLiteral("A"), QStringLiteral("Z")); });
    save("BMP_VIEW_TASK_ASSISTANT", [](QPainter& p) {
        DrawWindowFrame(p, QRectF(1.5, 2.5, 21, 18));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 214, 236));
        p.drawRect(QRectF(14, 7, 7.5, 12.5));
        p.setPen(QPen(kBlue, 1.0));
        for (const qreal y : {9.5, 12.5, 15.5})
            p.drawLine(QPointF(15.5, y), QPointF(20, y));
    });
    save("BMP_VIEW_OPEN_ENTRIES", [](QPainter& p) {
        DrawEntryCard(p, QRectF(0.5, 0.5, 14, 13));
        DrawEntryCard(p, QRectF(4.5, 4.5, 14, 13));
        DrawEntryCard(p, QRectF(8.5, 8.5, 14, 13));
        DrawPencil(p, QRectF(14, 2, 9, 9));
    });
    save("BMP_APP_SEND_TO_TRAYBAR", [](QPainter& p) {
        DrawWindowFrame(p, QRectF(1.5, 0.5, 16, 12));
        QPainterPath tray;
        tray.addRoundedRect(QRectF(0.5, 18.5, 23, 5), 1, 1);
        DrawShaded(p, tray, QColor(200, 206, 216), QColor(120, 128, 142), QColor(60, 66, 80));
        DrawArrow(p, QPointF(16, 9), QPointF(20, 19), 2.6, kGreen);
    });
    save("BMP_APP_SETTINGS", [](QPainter& p) { DrawGear(p, QPointF(12, 12), 10.5); });
    save("BMP_HELP_CONTENTS", [](QPainter& p) { DrawHelpBall(p, QRectF(1.5, 1.5, 21, 21)); });
}

void DrawButtonPictures(const QString& folder)
{
    const int n = 16;
    const auto save = [&](const char* name, const std::function<void(QPainter&)>& paint) {
        SavePicture(folder, QString::fromLatin1(name), n, paint);
    };
    save("BMP_BTN_SAVE", [](QPainter& p) { DrawFloppy(p, QRectF(1.5, 1.5, 13, 13)); });
    save("BMP_BTN_OK", DrawCheck);
    save("BMP_BTN_CANCEL", [](QPainter& p) {
        p.setPen(QPen(kRed.darker(150), 4.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        p.setPen(QPen(kRed.lighter(115), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    });
    save("BMP_BTN_SEARCH", [](QPainter& p) { DrawMagnifier(p, QRectF(0.5, 0.5, 15, 15)); });
    save("BMP_BTN_OPTIONS", [](QPainter& p) { DrawSliders(p, QRectF(0.5, 0.5, 15, 15)); });
    save("BMP_BTN_SEND", [](QPainter& p) {
        DrawEnvelope(p, QRectF(0.5, 2.5, 12, 9));
        DrawArrow(p, QPointF(7, 13), QPointF(15.5, 13), 2.2, kGreen);
    });
    save("BMP_BTN_FOLDER", [](QPainter& p) { DrawFolder(p, QRectF(0.5, 2.5, 15, 12), true); });
    const auto database = [](QPainter& p) { DrawDatabase(p, QRectF(1.5, 1.5, 10, 13)); };
    save("BMP_BTN_COMPACT", [&](QPainter& p) {
        DrawDatabase(p, QRectF(3.5, 3.5, 9, 10));
        DrawArrow(p, QPointF(8, -0.5), QPointF(8, 4), 1.8, kGreen);
        DrawArrow(p, QPointF(8, 16.5), QPointF(8, 13), 1.8, kGreen);
    });
    save("BMP_BTN_BACKUP", [&](QPainter& p) {
        database(p);
        DrawArrow(p, QPointF(8, 11), QPointF(15.5, 11), 2.2, kGreen);
    });
    save("BMP_BTN_RESTORE", [&](QPainter& p) {
        database(p);
        DrawArrow(p, QPointF(15.5, 11), QPointF(8, 11), 2.2, kBlue);
    });
    save("BMP_BTN_RESET", [](QPainter& p) { DrawReset(p, QRectF(0.5, 0.5, 15, 15)); });
    save("BMP_BTN_NEW", [](QPainter& p) {
        DrawPage(p, QRectF(1.5, 1.5, 10, 13));
        DrawStar(p, QPointF(11.5, 11.5), 4.2);
    });
    save("BMP_BTN_NEW_CHILD", [](QPainter& p) {
        p.setPen(QPen(kInk, 1.0));
        p.drawLine(QPointF(3.5, 6), QPointF(3.5, 11.5));
        p.drawLine(QPointF(3.5, 11.5), QPointF(7, 11.5));
        QPainterPath root;
        root.addRoundedRect(QRectF(0.5, 0.5, 6, 6), 1, 1);
        DrawShaded(p, root, kAmber.lighter(125), kAmber.darker(110), kAmber.darker(160));
        DrawStar(p, QPointF(11.5, 11.5), 4.2);
    });
    save("BMP_BTN_EDIT", [](QPainter& p) { DrawPencil(p, QRectF(1.5, 1.5, 13, 13)); });
    save("BMP_BTN_DELETE", [](QPainter& p) { DrawTrash(p, QRectF(2.5, 0.5, 11, 15)); });
    save("BMP_BTN_SELECT", [](QPainter& p) {
        QPainterPath box;
        box.addRoundedRect(QRectF(1.5, 3.5, 11, 11), 1.5, 1.5);
        DrawShaded(p, box, Qt::white, QColor(220, 224, 230), QColor(70, 80, 100));
        p.save();
        p.translate(2, -1);
        DrawCheck(p);
        p.restore();
    });
    save("BMP_BTN_COLOURS", [](QPainter& p) { DrawPalette(p, QRectF(0.5, 0.5, 15, 15)); });
    save("BMP_BTN_CLEAR", [](QPainter& p) { DrawBroom(p, QRectF(0.5, 0.5, 15, 15)); });
    save("BMP_BTN_PASSWORD", DrawKey);
}

void WriteCollection(const QString& folder)
{
    QFile qrc(folder + QStringLiteral("AppResources.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "MakeResources: cannot write %s\n", qPrintable(qrc.fileName()));
        std::exit(1);
    }
    QTextStream out(&qrc);
    out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/AppResources\">\n";
    for (const TEntry& e : g_written)
        out << "  <file alias=\"" << e.name << "\">" << e.file << "</file>\n";
    out << "</qresource>\n</RCC>\n";
}

} // namespace

int main(int argc, char** argv)
{
    // Text needs a font database, which needs a platform; no display is used.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeResources <output folder>\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QDir().mkpath(folder);

    Save(Draw(480, 300, [](QPainter& p) { DrawSplash(p, 480, 300); }).convertToFormat(QImage::Format_RGB32),
         folder, QStringLiteral("JPG_SPLASH"), "JPG", 92);
    Save(Draw(128, 128, [](QPainter& p) { DrawApplicationIcon(p, 128); }), folder, QStringLiteral("A_ICO"), "PNG");
    Save(Draw(16, 16, DrawPostItNote), folder, QStringLiteral("ICO_POSTIT_NOTE_BLUE_PIN_NORMAL_16x16"), "PNG");
    Save(Draw(16, 16, DrawStop), folder, QStringLiteral("ICO_STOP_RED_16x16"), "PNG");

    SaveBitmap(Draw(100, 22, DrawToolbarLogo), folder, QStringLiteral("BMP_TOOLBAR_LOGO"));
    SaveBitmap(Draw(16, 16, DrawEmptyHint), folder, QStringLiteral("BMP_HINT_EMPTY"));
    SaveBitmap(Draw(16, 16, DrawInfo), folder, QStringLiteral("BMP_HINT_INFO"));
    SaveBitmap(Draw(16, 16, DrawLed), folder, QStringLiteral("BMP_LED_GREEN"));
    SaveBitmap(Draw(16, 16, DrawKey), folder, QStringLiteral("BMP_KEY_RED_NORMAL"));
    SaveBitmap(Draw(11, 11, [](QPainter& p) { DrawExpansionMark(p, true); }), folder,
               QStringLiteral("BMP_PLUS_CYAN"));
    SaveBitmap(Draw(11, 11, [](QPainter& p) { DrawExpansionMark(p, false); }), folder,
               QStringLiteral("BMP_MINUS_CYAN"));

    SaveBitmap(Draw(11, 11, [](QPainter& p) { DrawExpansionMark(p, true); }), folder,
               QStringLiteral("BMP_TREE_EXPAND"));
    SaveBitmap(Draw(16, 16, DrawCheck), folder, QStringLiteral("BMP_OK"));
    SaveBitmap(Draw(12, 12,
                    [](QPainter& p) {
                        p.scale(0.75, 0.75);
                        DrawCheck(p);
                    }),
               folder, QStringLiteral("BMP_CHECK_GREEN_12X12"));
    const char* const states[] = {"NORMAL", "HOT", "DOWN"};
    for (int state = 0; state < 3; ++state) {
        for (const bool up : {true, false}) {
            SaveBitmap(Draw(16, 16, [up, state](QPainter& p) { DrawFilesArrow(p, up, state); }), folder,
                       QStringLiteral("BMP_FILES_%1_%2")
                           .arg(up ? QStringLiteral("SHOW") : QStringLiteral("HIDE"), QLatin1String(states[state])));
        }
    }

    DrawToolbarPictures(folder);
    DrawButtonPictures(folder);

    WriteCollection(folder);
    WriteThemeIcons(folder, QStringLiteral(TESSARYN_APP_ID));
    return 0;
}
