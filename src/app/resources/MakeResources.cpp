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

// A regular polygon around a centre, its first corner at `startDegrees`.
QPainterPath RegularPolygon(QPointF centre, qreal radius, int corners, qreal startDegrees)
{
    QPainterPath path;
    for (int i = 0; i < corners; ++i) {
        const qreal angle = qDegreesToRadians(startDegrees + 360.0 * i / corners);
        const QPointF p = centre + QPointF(radius * qCos(angle), radius * qSin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
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
// the panel face), what is mostly bare becomes transparent.
QImage ToTransparentBitmap(const QImage& drawing)
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
            QColor solid = QColor::fromRgbF(c.redF() * a + kPanelFace.redF() * (1 - a),
                                            c.greenF() * a + kPanelFace.greenF() * (1 - a),
                                            c.blueF() * a + kPanelFace.blueF() * (1 - a));
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

    WriteCollection(folder);
    WriteThemeIcons(folder, QStringLiteral(TESSARYN_APP_ID));
    return 0;
}
