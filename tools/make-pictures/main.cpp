// Draws the pictures compiled into the launcher and writes them into one
// directory: the login background, the user head, the settings icon and the
// application icon, with its copies for the desktop's icon theme: a scalable
// SVG and a PNG for each size menus and docks ask for. Everything is computed
// from fixed numbers (no clock, no seedless randomness), so two runs write
// identical bytes and the committed files can be checked against a fresh run.

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <vector>

#include <zlib.h>

namespace {

constexpr double pi = 3.14159265358979323846;
// 96 dpi; set explicitly because QImage's default depends on the screen.
constexpr int dotsPerMeter = 3780;

QImage blankImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

// Small linear congruential generator: the same sequence on every platform,
// unlike std::rand or the distributions of <random>.
class Lcg
{
public:
    explicit Lcg(quint32 seed)
        : m_state(seed)
    {
    }
    double next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return double(m_state >> 8) / double(1u << 24);
    }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    quint32 m_state;
};

using Curve = std::function<double(double)>;

// A sum of two sines, which reads as a slow swell with a ripple on it.
Curve wave(double base, double amplitude, double wavelength, double phase)
{
    return [=](double x) {
        return base + amplitude * std::sin(2 * pi * x / wavelength + phase)
            + amplitude * 0.35 * std::sin(2 * pi * x / (wavelength * 0.43) + phase * 1.7 + 0.6);
    };
}

QPainterPath curvePath(const Curve &curve, double left, double right, double step = 3.0)
{
    const int count = int(std::ceil((right - left) / step));
    QPainterPath path(QPointF(left, curve(left)));
    for (int i = 1; i <= count; ++i)
        path.lineTo(left + i * step, curve(left + i * step));
    return path;
}

// Closed area between two curves, upper one left to right, lower one back.
QPainterPath bandPath(const Curve &upper, const Curve &lower, double left, double right, double step = 3.0)
{
    const int count = int(std::ceil((right - left) / step));
    QPainterPath path = curvePath(upper, left, right, step);
    for (int i = count; i >= 0; --i)
        path.lineTo(left + i * step, lower(left + i * step));
    path.closeSubpath();
    return path;
}

QColor rgba(int r, int g, int b, int a)
{
    return QColor(r, g, b, a);
}

// Translucent ribbon whose light fades towards both ends of the picture.
void drawRibbon(QPainter &painter, const Curve &upper, const Curve &lower, double width, const QColor &light,
    double centre)
{
    QLinearGradient across(0, 0, width, 0);
    QColor clear = light;
    clear.setAlpha(0);
    across.setColorAt(0.0, clear);
    across.setColorAt(qBound(0.1, centre - 0.2, 0.6), light);
    across.setColorAt(qBound(0.4, centre + 0.2, 0.8), light);
    across.setColorAt(1.0, clear);
    painter.fillPath(bandPath(upper, lower, -20, width + 20), across);
}

// A bundle of thin lines blended from one curve into another: it twists
// like a silk ribbon where the two curves cross.
void drawLineBundle(
    QPainter &painter, const Curve &from, const Curve &to, int lines, double width, const QColor &colour)
{
    for (int i = 0; i < lines; ++i) {
        const double t = double(i) / double(lines - 1);
        const Curve blend = [&from, &to, t](double x) { return from(x) * (1 - t) + to(x) * t; };
        QColor line = colour;
        // Brighter in the middle of the bundle, fading at its edges.
        line.setAlphaF(colour.alphaF() * (0.35 + 0.65 * std::sin(pi * t)));
        QLinearGradient fade(0, 0, width, 0);
        QColor clear = line;
        clear.setAlpha(0);
        fade.setColorAt(0.0, clear);
        fade.setColorAt(0.3, line);
        fade.setColorAt(0.72, line);
        fade.setColorAt(1.0, clear);
        painter.setPen(QPen(QBrush(fade), 1.1));
        painter.drawPath(curvePath(blend, -20, width + 20, 4.0));
    }
}

void drawGlow(QPainter &painter, QPointF centre, double radius, const QColor &colour)
{
    QRadialGradient glow(centre, radius);
    QColor clear = colour;
    clear.setAlpha(0);
    glow.setColorAt(0.0, colour);
    glow.setColorAt(0.45, QColor(colour.red(), colour.green(), colour.blue(), colour.alpha() / 3));
    glow.setColorAt(1.0, clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, radius, radius);
}

QImage drawBackground()
{
    const int width = 1366;
    const int height = 768;
    QImage image = blankImage(width, height);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, width * 0.35, height);
    sky.setColorAt(0.0, QColor(0x03, 0x16, 0x3c));
    sky.setColorAt(0.5, QColor(0x08, 0x3a, 0x8c));
    sky.setColorAt(1.0, QColor(0x12, 0x6c, 0xcf));
    painter.fillRect(image.rect(), sky);

    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    drawGlow(painter, QPointF(width * 0.30, height * 0.28), width * 0.55, rgba(70, 150, 255, 70));
    drawGlow(painter, QPointF(width * 0.88, height * 0.92), width * 0.40, rgba(40, 190, 255, 55));

    // Broad soft ribbons first, from the back to the front.
    drawRibbon(painter, wave(height * 0.52, 70, 1500, 0.4), wave(height * 0.66, 55, 1300, 1.3), width,
        rgba(60, 140, 255, 70), 0.45);
    drawRibbon(painter, wave(height * 0.60, 55, 1100, 2.2), wave(height * 0.70, 80, 1700, 2.9), width,
        rgba(80, 190, 255, 45), 0.6);
    drawRibbon(painter, wave(height * 0.74, 45, 900, 4.0), wave(height * 0.83, 40, 1250, 4.6), width,
        rgba(30, 120, 230, 80), 0.35);
    drawRibbon(painter, wave(height * 0.34, 40, 1900, 5.1), wave(height * 0.39, 30, 1400, 5.9), width,
        rgba(90, 170, 255, 35), 0.55);

    // Fine bright lines over the ribbons.
    drawLineBundle(painter, wave(height * 0.55, 80, 1600, 0.2), wave(height * 0.68, 60, 1200, 3.3), 34, width,
        rgba(150, 215, 255, 70));
    drawLineBundle(painter, wave(height * 0.78, 35, 1000, 1.0), wave(height * 0.70, 60, 1450, 4.4), 22, width,
        rgba(120, 200, 255, 50));

    // Out-of-focus dots of light near the waves.
    Lcg random(20240521u);
    for (int i = 0; i < 26; ++i) {
        const double x = random.between(0.05, 0.98) * width;
        const double y = random.between(0.42, 0.95) * height;
        const double radius = random.between(6, 34);
        const int alpha = int(random.between(18, 55));
        drawGlow(painter, QPointF(x, y), radius, rgba(160, 220, 255, alpha));
    }

    // Darker corners keep the eye on the middle, where the login form sits.
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QRadialGradient vignette(QPointF(width / 2.0, height / 2.0), width * 0.72);
    vignette.setColorAt(0.55, rgba(0, 6, 26, 0));
    vignette.setColorAt(1.0, rgba(0, 6, 26, 150));
    painter.fillRect(image.rect(), vignette);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage drawHead()
{
    QImage image = blankImage(128, 128);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4a, 0x4a, 0x4a));
    painter.drawEllipse(QPointF(64, 45), 26, 26);
    // Shoulders: the upper half of a wide ellipse, cut by the picture's edge.
    painter.drawEllipse(QRectF(14, 80, 100, 100));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QPainterPath gearPath(QPointF centre, int teeth, double outer, double root, double hole)
{
    const double pitch = 2 * pi / teeth;
    const double tipHalf = pitch * 0.19;
    const double rootHalf = pitch * 0.29;
    auto at = [centre](double radius, double angle) {
        return QPointF(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
    };
    QPolygonF outline;
    for (int k = 0; k < teeth; ++k) {
        const double middle = k * pitch - pi / 2;
        outline << at(root, middle - rootHalf) << at(outer, middle - tipHalf) << at(outer, middle + tipHalf)
                << at(root, middle + rootHalf);
        // Follow the root circle to the next tooth.
        const double gapStart = middle + rootHalf;
        const double gapEnd = middle + pitch - rootHalf;
        for (int s = 1; s < 6; ++s)
            outline << at(root, gapStart + (gapEnd - gapStart) * s / 6.0);
    }
    QPainterPath body;
    body.addPolygon(outline);
    body.closeSubpath();
    QPainterPath centreHole;
    centreHole.addEllipse(centre, hole, hole);
    return body.subtracted(centreHole);
}

QImage drawSettingIcon()
{
    const int size = 131;
    QImage image = blankImage(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size / 2.0, size / 2.0);

    QLinearGradient metal(0, 4, 0, size - 4);
    metal.setColorAt(0.0, QColor(0x8f, 0xa8, 0xc4));
    metal.setColorAt(1.0, QColor(0x3b, 0x54, 0x72));
    painter.setPen(QPen(QColor(0x22, 0x33, 0x48, 190), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(metal);
    painter.drawPath(gearPath(centre, 8, 60, 47, 20));

    // A lighter ring gives the flat shape a little depth.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 3.0));
    painter.drawEllipse(centre, 33, 33);
    painter.setPen(QPen(QColor(0x22, 0x33, 0x48, 150), 2.0));
    painter.drawEllipse(centre, 21, 21);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The application icon's art in a 35 x 33 frame, painted at any scale.
void paintAppIcon(QPainter &painter)
{
    const int width = 35;
    const int height = 33;
    QLinearGradient tile(0, 0, 0, height);
    tile.setColorAt(0.0, QColor(0x3d, 0xa0, 0xff));
    tile.setColorAt(1.0, QColor(0x0a, 0x4a, 0xb0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(0.5, 0.5, width - 1.0, height - 1.0), 7, 7);

    // Monitor with a cloud on its screen.
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(6.5, 6.5, 22, 15), 1.8, 1.8);
    painter.setBrush(QColor(0x1c, 0x6f, 0xd8));
    painter.drawRect(QRectF(8.3, 8.3, 18.4, 11.4));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(15.6, 21.5, 3.8, 3.2));
    painter.drawRoundedRect(QRectF(11.5, 24.2, 12, 2.4), 1, 1);

    QPainterPath cloud;
    cloud.setFillRule(Qt::WindingFill);
    cloud.addEllipse(QPointF(15.2, 15.6), 2.6, 2.6);
    cloud.addEllipse(QPointF(18.4, 13.9), 3.3, 3.3);
    cloud.addEllipse(QPointF(21.3, 15.9), 2.3, 2.3);
    cloud.addRoundedRect(QRectF(12.6, 15.3, 11.0, 2.9), 1.4, 1.4);
    painter.setBrush(QColor(0xe8, 0xf4, 0xff));
    painter.drawPath(cloud.simplified());
}

QImage drawAppIcon()
{
    // Drawn four times larger and scaled down: small glyphs come out crisper
    // than with antialiasing at 35 x 33 alone.
    const int width = 35;
    const int height = 33;
    const int factor = 4;
    QImage large = blankImage(width * factor, height * factor);
    QPainter painter(&large);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(factor, factor);
    paintAppIcon(painter);
    painter.end();

    QImage small = large.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    small.setDotsPerMeterX(dotsPerMeter);
    small.setDotsPerMeterY(dotsPerMeter);
    return small.convertToFormat(QImage::Format_ARGB32);
}

// The same art in a square of the given side, centred, for the icon theme.
void paintDesktopIcon(QPainter &painter, int size)
{
    const qreal scale = size / 35.0;
    painter.translate(0, (size - 33 * scale) / 2);
    painter.scale(scale, scale);
    paintAppIcon(painter);
}

// The icon theme's sizes, in pixels.
const int desktopIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

QImage drawDesktopIcon(int size)
{
    // Small sizes are drawn four times larger and scaled down, as the
    // window's icon is; from 64 up the art is drawn at its size.
    const int factor = size < 64 ? 4 : 1;
    QImage image = blankImage(size * factor, size * factor);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paintDesktopIcon(painter, size * factor);
    painter.end();
    if (factor > 1) {
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Another Qt version draws the same pictures a little differently: every PNG
// names the Qt that drew it, so that a check knows which rule applies.
const char softwareKey[] = "Software";

QString drawnBy()
{
    return QStringLiteral("make-pictures, Qt ") + QLatin1String(qVersion());
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    QByteArray typed(type, 4);
    typed += data;
    QDataStream out(&png, QIODevice::Append);
    out << quint32(data.size());
    out.writeRawData(typed.constData(), typed.size());
    out << quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size())));
}

// Qt writes no grey-with-alpha PNG (it would widen the picture to RGBA), so
// this one picture is encoded here: 8-bit grey plus alpha, no filtering.
QByteArray encodeGreyAlphaPng(const QImage &image)
{
    QByteArray header;
    {
        QDataStream out(&header, QIODevice::WriteOnly);
        out << quint32(image.width()) << quint32(image.height());
        out << quint8(8) << quint8(4) << quint8(0) << quint8(0) << quint8(0);
    }
    QByteArray raw;
    raw.reserve(image.height() * (1 + 2 * image.width()));
    for (int y = 0; y < image.height(); ++y) {
        raw.append(char(0));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            raw.append(char(qAlpha(pixel) ? qGray(pixel) : 0));
            raw.append(char(qAlpha(pixel)));
        }
    }
    // qCompress prefixes the zlib stream with its own 4-byte length.
    const QByteArray zlib = qCompress(raw, 9).mid(4);

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "tEXt", QByteArray(softwareKey) + '\0' + drawnBy().toLatin1());
    appendChunk(png, "IDAT", zlib);
    appendChunk(png, "IEND", QByteArray());
    return png;
}

// One-image .ico: directory, entry, then a 32-bit DIB whose height counts
// the colour rows and the AND-mask rows together, both stored bottom-up.
QByteArray encodeIco(const QImage &image)
{
    const int width = image.width();
    const int height = image.height();
    const int maskStride = ((width + 31) / 32) * 4;
    const quint32 colourBytes = quint32(width * height * 4);
    const quint32 maskBytes = quint32(maskStride * height);
    const quint32 imageBytes = 40 + colourBytes + maskBytes;

    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(1);
    out << quint8(width) << quint8(height) << quint8(0) << quint8(0);
    out << quint16(1) << quint16(32) << imageBytes << quint32(6 + 16);

    out << quint32(40) << qint32(width) << qint32(height * 2) << quint16(1) << quint16(32);
    out << quint32(0) << quint32(colourBytes + maskBytes) << qint32(0) << qint32(0) << quint32(0)
        << quint32(0);

    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel))
                << quint8(qAlpha(pixel));
        }
    }
    // Old readers ignore the alpha channel and use the mask instead.
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < width; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(quint8(row.at(x / 8)) | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), row.size());
    }
    return ico;
}

// The scalable icon: the same painting, recorded as SVG in a 128 x 128 frame.
QByteArray encodeSvgIcon()
{
    QByteArray svg;
    QBuffer buffer(&svg);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(128, 128));
    generator.setViewBox(QRect(0, 0, 128, 128));
    generator.setTitle(QStringLiteral("VelmoClient"));
    generator.setDescription(drawnBy());
    QPainter painter(&generator);
    painter.setRenderHint(QPainter::Antialiasing);
    // The icon holds no text, but the generator writes the painter's font into
    // every group, and without an application object that font has no size.
    QFont font;
    font.setPixelSize(12);
    painter.setFont(font);
    paintDesktopIcon(painter, 128);
    painter.end();
    return svg;
}

QByteArray encodePng(QImage image)
{
    image.setText(QLatin1String(softwareKey), drawnBy());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return QByteArray();
    return png;
}

bool writeFile(const QString &path, const QByteArray &bytes, QTextStream &err)
{
    QFile file(path);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        err << "make-pictures: cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: make-pictures <output-directory>\n";
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        err << "make-pictures: no such directory " << dir.path() << '\n';
        return 1;
    }

    struct Output
    {
        QString name;
        QByteArray bytes;
    };
    std::vector<Output> outputs = {
        {QStringLiteral("background-oem.png"), encodePng(drawBackground())},
        {QStringLiteral("head.png"), encodeGreyAlphaPng(drawHead())},
        {QStringLiteral("setting-icon.png"), encodePng(drawSettingIcon())},
        {QStringLiteral("velmoclient.ico"), encodeIco(drawAppIcon())},
        {QStringLiteral("velmoclient.svg"), encodeSvgIcon()},
    };
    for (const int size : desktopIconSizes)
        outputs.push_back({QStringLiteral("velmoclient-%1.png").arg(size), encodePng(drawDesktopIcon(size))});
    for (const Output &output : outputs) {
        const QString path = dir.filePath(output.name);
        if (!writeFile(path, output.bytes, err))
            return 1;
        out << path << ": " << output.bytes.size() << " bytes\n";
    }
    return 0;
}
