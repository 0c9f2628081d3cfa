#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QResource>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtEndian>
#include <QtTest>

#include "support/PictureCompare.h"

namespace {

struct CatalogueEntry
{
    const char *name;
    const char *context;
    const char *source;
    const char *english;
};

// Every entry of the English catalogue. The colon in the two field prompts
// is U+FF1A and the gap in the password prompt U+3000; written as escapes so
// that nobody "fixes" them into ASCII by accident.
const CatalogueEntry catalogue[] = {
    {"user placeholder", "MainWindow", u8"用户名\uff1a", "Username"},
    {"password placeholder", "MainWindow", u8"密\u3000码\uff1a", "Password"},
    {"automatic logon", "MainWindow", u8"自动登录", "Automatic logon"},
    {"record password", "MainWindow", u8"记住密码", "Record password"},
    {"login button", "MainWindow", u8"登录", "Login"},
    {"config button", "MainWindow", u8"设置", "Config"},
    {"error title", "MainWindow", u8"错误", "Error"},
    {"empty address", "MainWindow", u8"服务器地址不能为空", "Server address can't be empty"},
    {"check address", "MainWindow", u8"请检查服务器地址", "Please check server address"},
    {"portal not opened", "MainWindow", u8"门户页面未能打开\uff0c请检查服务器地址后重试",
        "The portal did not open. Check the server address and try again."},
    {"display mode", "MainWindow", u8"显示模式", "Display Mode"},
    {"extended", "MainWindow", u8"扩展模式", "Extended"},
    {"clone", "MainWindow", u8"复制模式", "Clone"},
    {"only primary", "MainWindow", u8"仅主显见", "Only Primary"},
    {"only secondary", "MainWindow", u8"仅辅显见", "Only Secondary"},
    {"certificate title", "MainWindow", u8"服务器证书已更改", "Server certificate changed"},
    {"trust button", "MainWindow", u8"信任新证书", "Trust the new certificate"},
    {"cancel button", "MainWindow", u8"取消", "Cancel"},
    {"certificate not trusted", "MainWindow", u8"服务器 %1 的证书不受信任，连接已被拒绝。\n\n指纹：\n%2",
        "The certificate of the server %1 is not trusted; the connection was refused.\n\nFingerprint:\n%2"},
    {"strict refuses http", "MainWindow",
        u8"服务器地址未加密\uff08http://\uff09\uff0c严格的证书检查不允许登录",
        "The server address is not encrypted (http://); strict certificate checking does not allow a login "
        "to it."},
    {"desktop title", "MainWindow", u8"桌面", "Desktop"},
    {"no client", "MainWindow", u8"未安装 FreeRDP 客户端。", "No FreeRDP client is installed."},
    {"unreachable", "MainWindow", u8"无法连接到桌面。", "Could not reach the desktop."},
    {"logon refused", "MainWindow", u8"桌面拒绝了登录。", "The desktop refused the logon."},
    {"account blocked", "MainWindow", u8"账户已被锁定，或其密码已过期。",
        "The account is locked or its password has expired."},
    {"taken over", "MainWindow", u8"连接已被另一个会话接管。",
        "The connection was taken over by another session."},
    {"idle end", "MainWindow", u8"桌面因空闲结束了会话。",
        "The desktop ended the session after it was idle."},
    {"connection broke", "MainWindow", u8"与桌面的连接已断开。", "The connection to the desktop broke."},
    {"client crashed", "MainWindow", u8"FreeRDP 客户端意外终止（信号 %1）。",
        "The FreeRDP client ended unexpectedly (signal %1)."},
    {"other end", "MainWindow", u8"桌面因未知原因结束（状态 %1）。",
        "The desktop ended for an unknown reason (status %1)."},
    {"reconnect button", "MainWindow", u8"重新连接", "Reconnect"},
    {"close button", "MainWindow", u8"关闭", "Close"},
    {"ok button", "MainWindow", u8"确定", "OK"},
    {"address label", "UrlDialog", u8"服务器地址", "Server address"},
    {"plain http warning", "UrlDialog", u8"未加密\uff1a密码以明文发送",
        "Not encrypted: the password is sent in clear"},
    {"dialog title", "UrlDialog", u8"设置服务器地址", "Config server address"},
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

quint32 le32(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 le16(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

// The icon theme's sizes, one committed PNG each.
const int themeIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// A PNG as it is, an SVG as Qt SVG draws it in a square of the given side.
QImage picture(const QByteArray &bytes, int svgSide = 128)
{
    if (!bytes.trimmed().startsWith("<?xml"))
        return QImage::fromData(bytes);
    QSvgRenderer renderer(bytes);
    if (!renderer.isValid())
        return QImage();
    QImage image(svgSide, svgSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void resourcePaths_data();
    void resourcePaths();
    void pictures_data();
    void pictures();
    void backgroundIsOpaqueBlue();
    void transparency_data();
    void transparency();
    void icon();
    void themeIcons_data();
    void themeIcons();
    void picturesAreRegenerated();
    void pictureRule_data();
    void pictureRule();
    void i18nCopies_data();
    void i18nCopies();
    void catalogueLanguage_data();
    void catalogueLanguage();
    void english_data();
    void english();
    void chinese_data();
    void chinese();
};

void TestResources::resourcePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QString>("committed"); // the file in resources/ it must be, byte for byte
    QTest::addRow("English catalogue") << QStringLiteral(":/lang_English.qm") << false << QString();
    QTest::addRow("Chinese catalogue") << QStringLiteral(":/lang_Chinese.qm") << false << QString();
    QTest::addRow("background") << QStringLiteral(":/resource/background-oem.png") << false
                                << QStringLiteral("background-oem.png");
    QTest::addRow("head") << QStringLiteral(":/resource/head.png") << false << QStringLiteral("head.png");
    QTest::addRow("setting icon") << QStringLiteral(":/resource/setting-icon.png") << false
                                  << QStringLiteral("setting-icon.png");
    QTest::addRow("app icon") << QStringLiteral(":/resource/velmoclient.ico") << true
                              << QStringLiteral("velmoclient.ico");
    QTest::addRow("English copy") << QStringLiteral(":/i18n/lang_English.qm") << false << QString();
    QTest::addRow("Chinese copy") << QStringLiteral(":/i18n/lang_Chinese.qm") << false << QString();
}

void TestResources::resourcePaths()
{
    QFETCH(QString, path);
    QFETCH(bool, compressed);
    QFETCH(QString, committed);
    const QResource resource(path);
    QVERIFY2(resource.isValid(), qPrintable(path));
    QCOMPARE(resource.compressionAlgorithm() != QResource::NoCompression, compressed);
    QVERIFY(!readAll(path).isEmpty());
    // What ships is the committed picture, whatever this machine's Qt draws.
    if (!committed.isEmpty())
        QVERIFY(readAll(path) == readAll(QStringLiteral(RESOURCE_SOURCE_DIR "/") + committed));
}

void TestResources::pictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("pngColourType");
    // PNG colour types: 4 grey with alpha, 6 RGB with alpha.
    QTest::addRow("background") << QStringLiteral(":/resource/background-oem.png") << QSize(1366, 768) << 6;
    QTest::addRow("head") << QStringLiteral(":/resource/head.png") << QSize(128, 128) << 4;
    QTest::addRow("setting icon") << QStringLiteral(":/resource/setting-icon.png") << QSize(131, 131) << 6;
}

void TestResources::pictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(int, pngColourType);

    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.size() > 33);
    QVERIFY(bytes.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    QCOMPARE(bytes.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(qFromBigEndian<quint32>(bytes.constData() + 16)), size.width());
    QCOMPARE(int(qFromBigEndian<quint32>(bytes.constData() + 20)), size.height());
    QCOMPARE(int(quint8(bytes.at(24))), 8);
    QCOMPARE(int(quint8(bytes.at(25))), pngColourType);

    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
}

void TestResources::backgroundIsOpaqueBlue()
{
    // Stretched over the whole window: a transparent pixel would let
    // whatever lies below show through the login form.
    const QImage image
        = QImage(QStringLiteral(":/resource/background-oem.png")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    qint64 red = 0;
    qint64 green = 0;
    qint64 blue = 0;
    int translucent = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            translucent += qAlpha(line[x]) != 255;
            red += qRed(line[x]);
            green += qGreen(line[x]);
            blue += qBlue(line[x]);
        }
    }
    QCOMPARE(translucent, 0);
    QVERIFY2(blue > 2 * red && blue > green,
        qPrintable(QStringLiteral("mean colour %1 %2 %3")
                       .arg(red / (1366 * 768))
                       .arg(green / (1366 * 768))
                       .arg(blue / (1366 * 768))));
}

void TestResources::transparency_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("alpha");
    const QString head = QStringLiteral(":/resource/head.png");
    const QString gear = QStringLiteral(":/resource/setting-icon.png");
    QTest::addRow("head: corner") << head << QPoint(0, 0) << 0;
    QTest::addRow("head: beside the head") << head << QPoint(20, 30) << 0;
    QTest::addRow("head: face") << head << QPoint(64, 45) << 255;
    QTest::addRow("head: shoulders") << head << QPoint(64, 120) << 255;
    QTest::addRow("gear: corner") << gear << QPoint(0, 0) << 0;
    QTest::addRow("gear: axle hole") << gear << QPoint(65, 65) << 0;
    QTest::addRow("gear: body") << gear << QPoint(105, 65) << 255;
}

void TestResources::transparency()
{
    QFETCH(QString, path);
    QFETCH(QPoint, point);
    QFETCH(int, alpha);
    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    const QRgb pixel = image.pixel(point);
    QCOMPARE(qAlpha(pixel), alpha);
    // The head is a dark grey silhouette, not merely some opaque shape.
    if (path.endsWith(QLatin1String("head.png")) && alpha == 255) {
        QCOMPARE(qRed(pixel), qGreen(pixel));
        QCOMPARE(qGreen(pixel), qBlue(pixel));
        QVERIFY(qRed(pixel) < 128);
    }
}

void TestResources::icon()
{
    const QByteArray ico = readAll(QStringLiteral(":/resource/velmoclient.ico"));
    const int width = 35;
    const int height = 33;
    const int colourStart = 6 + 16 + 40;
    const int maskStart = colourStart + width * height * 4;
    const int maskStride = 8; // 35 bits padded to 64
    QCOMPARE(ico.size(), 4946);
    QCOMPARE(maskStart + maskStride * height, ico.size());

    // ICONDIR: reserved, type 1 (icon), one image.
    QCOMPARE(le16(ico, 0), quint16(0));
    QCOMPARE(le16(ico, 2), quint16(1));
    QCOMPARE(le16(ico, 4), quint16(1));
    // ICONDIRENTRY
    QCOMPARE(int(quint8(ico.at(6))), width);
    QCOMPARE(int(quint8(ico.at(7))), height);
    QCOMPARE(int(quint8(ico.at(8))), 0);
    QCOMPARE(le16(ico, 10), quint16(1));
    QCOMPARE(le16(ico, 12), quint16(32));
    QCOMPARE(le32(ico, 14), quint32(ico.size() - 22));
    QCOMPARE(le32(ico, 18), quint32(22));
    // BITMAPINFOHEADER: the height counts colour and mask rows together.
    QCOMPARE(le32(ico, 22), quint32(40));
    QCOMPARE(le32(ico, 26), quint32(width));
    QCOMPARE(le32(ico, 30), quint32(2 * height));
    QCOMPARE(le16(ico, 34), quint16(1));
    QCOMPARE(le16(ico, 36), quint16(32));
    QCOMPARE(le32(ico, 38), quint32(0));

    // Readers that ignore alpha draw by the mask: it must cut out exactly
    // the fully transparent pixels.
    int transparent = 0;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const int alpha = quint8(ico.at(colourStart + (row * width + x) * 4 + 3));
            const bool masked = quint8(ico.at(maskStart + row * maskStride + x / 8)) & (0x80 >> (x % 8));
            QVERIFY2(masked == (alpha == 0), qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(x)));
            transparent += alpha == 0;
        }
    }
    QVERIFY(transparent > 0 && transparent < width * height / 4);

    // An independent decoder reads it the right way up: a rounded tile,
    // transparent at the corners, opaque in the middle.
    QBuffer buffer;
    buffer.setData(ico);
    QImageReader reader(&buffer, "ico");
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(width, height));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(width - 1, height - 1)), 0);
    QCOMPARE(qAlpha(image.pixel(width / 2, height / 2)), 255);
    QCOMPARE(qAlpha(image.pixel(width / 2, 1)), 255);
}

void TestResources::themeIcons_data()
{
    QTest::addColumn<int>("size");
    for (const int size : themeIconSizes)
        QTest::addRow("%d px", size) << size;
}

void TestResources::themeIcons()
{
    // Each size is the scalable icon's art, not a stretched or cropped copy:
    // a rounded tile, clear at the corners and above and below (the art is
    // wider than high), opaque in the middle.
    QFETCH(int, size);
    const QString path = QStringLiteral(RESOURCE_SOURCE_DIR "/velmoclient-%1.png").arg(size);
    const QByteArray bytes = readAll(path);
    QVERIFY2(bytes.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)), qPrintable(path));
    QCOMPARE(int(quint8(bytes.at(25))), 6);
    const QImage image = QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size - 1, size - 1)), 0);
    // At 16 px the tile reaches into the first row.
    if (size > 16)
        QCOMPARE(qAlpha(image.pixel(size / 2, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
    // Compared with the scalable icon drawn large and reduced, as a small
    // icon's sharp edges come out.
    const QImage scalable = picture(readAll(QStringLiteral(RESOURCE_SOURCE_DIR "/velmoclient.svg")), 256)
                                .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QString why;
    QVERIFY2(sameDrawing(image, scalable, &why), qPrintable(why));
}

void TestResources::picturesAreRegenerated()
{
    // The committed pictures come from the generator: two runs on one machine
    // give the same bytes and the same files, and the pictures in the tree
    // are what it draws here. On the Qt version that drew them (the PNGs name
    // it) that holds up to another processor's anti-aliasing. Another Qt
    // rounds gradients and edges differently; there the generator must still
    // draw the same pictures, held to the coarser rule of sameDrawing.
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    for (const QTemporaryDir *dir : {&first, &second}) {
        QProcess generator;
        generator.start(QStringLiteral(MAKE_PICTURES), {dir->path()});
        QVERIFY(generator.waitForFinished(60000));
        QCOMPARE(generator.exitStatus(), QProcess::NormalExit);
        QVERIFY2(generator.exitCode() == 0, generator.readAllStandardError().constData());
    }
    QStringList names {QStringLiteral("background-oem.png"), QStringLiteral("head.png"),
        QStringLiteral("setting-icon.png"), QStringLiteral("velmoclient.ico"),
        QStringLiteral("velmoclient.svg")};
    for (const int size : themeIconSizes)
        names << QStringLiteral("velmoclient-%1.png").arg(size);
    names.sort();
    QCOMPARE(QDir(first.path()).entryList(QDir::Files, QDir::Name), names);

    const QString drawnBy = QStringLiteral("make-pictures, Qt ") + QLatin1String(qVersion());
    const QString committedBy
        = QImage(QStringLiteral(RESOURCE_SOURCE_DIR "/background-oem.png")).text(QStringLiteral("Software"));
    QVERIFY2(committedBy.startsWith(QLatin1String("make-pictures, Qt ")), qPrintable(committedBy));
    const bool sameQt = committedBy == drawnBy;
    if (!sameQt)
        qInfo("pictures committed by %s, drawn here by %s: compared as drawings", qPrintable(committedBy),
            qPrintable(drawnBy));
    for (const QString &name : names) {
        const QByteArray bytes = readAll(QDir(first.path()).filePath(name));
        QVERIFY2(!bytes.isEmpty(), qPrintable(name));
        QVERIFY2(bytes == readAll(QDir(second.path()).filePath(name)), qPrintable(name));
        const QByteArray committedBytes = readAll(QStringLiteral(RESOURCE_SOURCE_DIR "/") + name);
        const QImage drawn = picture(bytes);
        const QImage committed = picture(committedBytes);
        // One run drew them all.
        if (name.endsWith(QLatin1String(".png"))) {
            QCOMPARE(drawn.text(QStringLiteral("Software")), drawnBy);
            QCOMPARE(committed.text(QStringLiteral("Software")), committedBy);
        } else if (name.endsWith(QLatin1String(".svg"))) {
            QVERIFY(bytes.contains(QByteArray("<desc>" + drawnBy.toLatin1() + "</desc>")));
            QVERIFY(committedBytes.contains(QByteArray("<desc>" + committedBy.toLatin1() + "</desc>")));
        }
        // Pixels rather than bytes: another zlib may pack the same picture
        // differently.
        QString why;
        QVERIFY2(sameQt ? nearlySamePicture(drawn, committed, &why) : sameDrawing(drawn, committed, &why),
            qPrintable(name + QStringLiteral(" is stale (") + why
                + QStringLiteral("): run tools/make-pictures.sh")));
    }
}

namespace {

QImage shifted(const QImage &picture, int dx, int dy)
{
    QImage moved(picture.size(), QImage::Format_ARGB32);
    moved.fill(Qt::transparent);
    QPainter painter(&moved);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(dx, dy, picture);
    return moved;
}

// Adds delta to the red channel of count pixels spread over the picture's
// opaque part, as anti-aliasing on another processor would.
QImage touched(const QImage &picture, int count, int delta)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    int done = 0;
    for (int y = 0; y < result.height() && done < count; y += 3) {
        for (int x = 0; x < result.width() && done < count; x += 7) {
            const QRgb pixel = result.pixel(x, y);
            if (qAlpha(pixel) != 255)
                continue;
            const int red = qRed(pixel) + delta <= 255 ? qRed(pixel) + delta : qRed(pixel) - delta;
            result.setPixel(x, y, qRgba(red, qGreen(pixel), qBlue(pixel), 255));
            ++done;
        }
    }
    return done == count ? result : QImage();
}

QImage recoloured(const QImage &picture, QRgb colour)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            const int alpha = qAlpha(result.pixel(x, y));
            if (alpha)
                result.setPixel(x, y, qRgba(qRed(colour), qGreen(colour), qBlue(colour), alpha));
        }
    }
    return result;
}

} // namespace

void TestResources::pictureRule_data()
{
    QTest::addColumn<QImage>("actual");
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<bool>("same"); // by nearlySamePicture, on one Qt version
    QTest::addColumn<bool>("sameDrawing"); // across Qt versions
    const QImage head = QImage(QStringLiteral(":/resource/head.png")).convertToFormat(QImage::Format_ARGB32);
    const QImage gear
        = QImage(QStringLiteral(":/resource/setting-icon.png")).convertToFormat(QImage::Format_ARGB32);
    QImage square(100, 100, QImage::Format_ARGB32);
    square.fill(qRgba(30, 90, 200, 255));
    const QImage background
        = QImage(QStringLiteral(":/resource/background-oem.png")).convertToFormat(QImage::Format_ARGB32);
    // Another Qt's gradient: nearly every pixel a few levels off, up to 41.
    QImage otherGradient = background;
    for (int y = 0; y < otherGradient.height(); ++y) {
        for (int x = 0; x < otherGradient.width(); ++x) {
            const QRgb p = otherGradient.pixel(x, y);
            const int d = (x * 7 + y * 13) % 83 - 41;
            otherGradient.setPixel(
                x, y, qRgb(qBound(0, qRed(p) + d, 255), qGreen(p), qBound(0, qBlue(p) - d, 255)));
        }
    }
    QImage patched = background;
    {
        QPainter painter(&patched);
        painter.fillRect(600, 300, 100, 100, QColor(20, 40, 90));
    }

    QTest::addRow("head itself") << head << head << true << true;
    QTest::addRow("head, 4 pixels 1 apart") << touched(head, 4, 1) << head << true << true;
    QTest::addRow("head, 16 pixels 48 apart") << touched(head, 16, 48) << head << true << true;
    QTest::addRow("head, 17 pixels 1 apart") << touched(head, 17, 1) << head << false << true;
    QTest::addRow("head, 1 pixel 49 apart") << touched(head, 1, 49) << head << false << true;
    // 10 000 pixels: 0.1 % allows 10, fewer than the 16 of a large picture.
    QTest::addRow("square, 10 pixels 1 apart") << touched(square, 10, 1) << square << true << true;
    QTest::addRow("square, 11 pixels 1 apart") << touched(square, 11, 1) << square << false << true;
    QTest::addRow("background, another gradient") << otherGradient << background << false << true;
    QTest::addRow("background with a patch") << patched << background << false << false;
    QTest::addRow("head moved right") << shifted(head, 1, 0) << head << false << false;
    QTest::addRow("head moved up") << shifted(head, 0, -1) << head << false << false;
    QTest::addRow("gear moved left") << shifted(gear, -1, 0) << gear << false << false;
    QTest::addRow("gear moved down") << shifted(gear, 0, 1) << gear << false << false;
    // Six levels lighter: within what another Qt's rounding may do.
    QTest::addRow("head lighter grey") << recoloured(head, qRgb(80, 80, 80)) << head << false << true;
    QTest::addRow("head light grey") << recoloured(head, qRgb(160, 160, 160)) << head << false << false;
    QTest::addRow("gear in red") << recoloured(gear, qRgb(200, 40, 40)) << gear << false << false;
    QTest::addRow("head one column wider") << head.copy(0, 0, 129, 128) << head << false << false;
    QTest::addRow("nothing drawn") << QImage() << head << false << false;
}

void TestResources::pictureRule()
{
    QFETCH(QImage, actual);
    QFETCH(QImage, expected);
    QFETCH(bool, same);
    QFETCH(bool, sameDrawing);
    QVERIFY(!expected.isNull());
    QString why;
    QVERIFY2(nearlySamePicture(actual, expected, &why) == same, qPrintable(why));
    why.clear();
    QVERIFY2(::sameDrawing(actual, expected, &why) == sameDrawing, qPrintable(why));
}

void TestResources::i18nCopies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("English") << QStringLiteral("lang_English.qm");
    QTest::addRow("Chinese") << QStringLiteral("lang_Chinese.qm");
}

void TestResources::i18nCopies()
{
    QFETCH(QString, name);
    const QByteArray root = readAll(QStringLiteral(":/") + name);
    QVERIFY(!root.isEmpty());
    QCOMPARE(readAll(QStringLiteral(":/i18n/") + name), root);
}

void TestResources::catalogueLanguage_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("language");
    QTest::addRow("English") << QStringLiteral(":/lang_English.qm") << QStringLiteral("en_US");
    QTest::addRow("Chinese") << QStringLiteral(":/lang_Chinese.qm") << QStringLiteral("zh_CN");
}

void TestResources::catalogueLanguage()
{
    QFETCH(QString, path);
    QFETCH(QString, language);
    QTranslator translator;
    QVERIFY(translator.load(path));
    QCOMPARE(translator.language(), language);
}

void TestResources::english_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("expected");
    for (const CatalogueEntry &entry : catalogue) {
        QTest::addRow("%s", entry.name)
            << QByteArray(entry.context) << QByteArray(entry.source) << QString::fromUtf8(entry.english);
    }
    // Texts without an entry come back unchanged.
    QTest::addRow("build line label")
        << QByteArray("UrlDialog") << QByteArray("Builder") << QStringLiteral("Builder");
    QTest::addRow("password placeholder with a plain blank")
        << QByteArray("MainWindow") << QByteArray(u8"密 码\uff1a") << QString::fromUtf8(u8"密 码\uff1a");
    QTest::addRow("user placeholder with an ASCII colon")
        << QByteArray("MainWindow") << QByteArray(u8"用户名:") << QString::fromUtf8(u8"用户名:");
    // Lookups are per context: a text of one class has no entry in another.
    QTest::addRow("config in the dialog's context")
        << QByteArray("UrlDialog") << QByteArray(u8"设置") << QString::fromUtf8(u8"设置");
    QTest::addRow("address label in the window's context")
        << QByteArray("MainWindow") << QByteArray(u8"服务器地址") << QString::fromUtf8(u8"服务器地址");
}

void TestResources::english()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QFETCH(QString, expected);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/lang_English.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(QCoreApplication::translate(context.constData(), source.constData()), expected);
}

void TestResources::chinese_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    for (const CatalogueEntry &entry : catalogue)
        QTest::addRow("%s", entry.name) << QByteArray(entry.context) << QByteArray(entry.source);
}

void TestResources::chinese()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/lang_Chinese.qm")));
    // lrelease leaves out entries without a translation, so this catalogue
    // holds no messages and installTranslator() reports false for it, even
    // though it does install it.
    QCoreApplication::installTranslator(&translator);
    QCOMPARE(QCoreApplication::translate(context.constData(), source.constData()), QString::fromUtf8(source));
}

QTEST_GUILESS_MAIN(TestResources)
#include "TestResources.moc"
