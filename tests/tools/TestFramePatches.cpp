#include "FramePatches.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>

// The rule the time-to-desktop benchmark uses to decide that a screen grab
// shows the remote desktop's picture.
class TestFramePatches : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recognition_data();
    void recognition();
    void distinctive_data();
    void distinctive();

private:
    static std::vector<Patch> patches(const QImage &screen);
    QImage picture;
};

using Change = std::function<QImage(const QImage &)>;
Q_DECLARE_METATYPE(Change)

std::vector<Patch> TestFramePatches::patches(const QImage &screen)
{
    std::vector<Patch> result;
    for (const PatchRect &rect : patchGrid(screen.width(), screen.height())) {
        const QImage piece
            = screen.copy(rect.x, rect.y, patchSize, patchSize).convertToFormat(QImage::Format_RGB32);
        std::vector<uint8_t> packed;
        for (int y = 0; y < patchSize; ++y) {
            const auto *row = piece.constScanLine(y);
            packed.insert(packed.end(), row, row + 4 * patchSize);
        }
        result.push_back(patchFromBgrx(packed.data()));
    }
    return result;
}

void TestFramePatches::initTestCase()
{
    // The remote desktop's wallpaper in the benchmark.
    QVERIFY(picture.load(QStringLiteral(":/resource/background-oem.png")));
    picture = picture.convertToFormat(QImage::Format_RGB32);
}

void TestFramePatches::recognition_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("shown");

    QTest::addRow("the picture itself") << Change([](const QImage &p) { return p; }) << true;
    QTest::addRow("through a lossy codec") << Change([](const QImage &p) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        p.save(&buffer, "JPEG", 40);
        return QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
    }) << true;
    QTest::addRow("noise of a few steps") << Change([](const QImage &p) {
        QImage noisy = p;
        QRandomGenerator random(7);
        for (int y = 0; y < noisy.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(noisy.scanLine(y));
            for (int x = 0; x < noisy.width(); ++x) {
                const int d = random.bounded(-6, 7);
                row[x] = qRgb(qBound(0, qRed(row[x]) + d, 255), qBound(0, qGreen(row[x]) - d, 255),
                    qBound(0, qBlue(row[x]) + d, 255));
            }
        }
        return noisy;
    }) << true;
    QTest::addRow("a pointer over one patch") << Change([](const QImage &p) {
        QImage covered = p;
        QPainter painter(&covered);
        const PatchRect first = patchGrid(p.width(), p.height()).front();
        painter.fillRect(first.x, first.y, 20, 20, Qt::white);
        return covered;
    }) << true;
    QTest::addRow("a black screen") << Change([](const QImage &p) {
        QImage black(p.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        return black;
    }) << false;
    QTest::addRow("a login window over the top left") << Change([](const QImage &p) {
        QImage covered = p;
        QPainter painter(&covered);
        painter.fillRect(0, 0, 636, 331, QColor(240, 240, 240));
        return covered;
    }) << false;
    QTest::addRow("brighter by 30 steps") << Change([](const QImage &p) {
        QImage bright = p;
        for (int y = 0; y < bright.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(bright.scanLine(y));
            for (int x = 0; x < bright.width(); ++x)
                row[x] = qRgb(qMin(qRed(row[x]) + 30, 255), qMin(qGreen(row[x]) + 30, 255),
                    qMin(qBlue(row[x]) + 30, 255));
        }
        return bright;
    }) << false;
    QTest::addRow("bluer by 20 steps") << Change([](const QImage &p) {
        QImage blue = p;
        for (int y = 0; y < blue.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(blue.scanLine(y));
            for (int x = 0; x < blue.width(); ++x)
                row[x] = qRgb(qRed(row[x]), qGreen(row[x]), qMin(qBlue(row[x]) + 20, 255));
        }
        return blue;
    }) << false;
    QTest::addRow("mirrored") << Change([](const QImage &p) { return p.mirrored(true, false); }) << false;
    QTest::addRow("scaled into a smaller window") << Change([](const QImage &p) {
        QImage screen(p.size(), QImage::Format_RGB32);
        screen.fill(Qt::black);
        QPainter(&screen).drawImage(QRect(100, 80, 1024, 576), p);
        return screen;
    }) << false;
}

void TestFramePatches::recognition()
{
    QFETCH(Change, change);
    QFETCH(bool, shown);
    const QImage screen = change(picture);
    QCOMPARE(showsPicture(patches(picture), patches(screen)), shown);
}

void TestFramePatches::distinctive_data()
{
    QTest::addColumn<QImage>("reference");
    QTest::addColumn<bool>("distinctive");

    QTest::addRow("the wave picture") << picture << true;
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(QColor(30, 100, 180));
    QTest::addRow("one colour") << flat << false;
    QImage faint = flat;
    QPainter(&faint).fillRect(0, 0, faint.width() / 2, faint.height(), QColor(60, 120, 200));
    QTest::addRow("two close colours") << faint << false;
    QImage black(picture.size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    QTest::addRow("a black screen") << black << false;
}

void TestFramePatches::distinctive()
{
    QFETCH(QImage, reference);
    QFETCH(bool, distinctive);
    QCOMPARE(isDistinctive(patches(reference)), distinctive);
}

QTEST_MAIN(TestFramePatches)
#include "TestFramePatches.moc"
