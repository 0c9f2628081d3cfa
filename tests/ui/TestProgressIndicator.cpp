#include "QProgressIndicator.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

class TestProgressIndicator : public QObject
{
    Q_OBJECT

private slots:
    void geometry_data();
    void geometry();
    void defaults();
    void drawsOnlyWhenAsked();
    void ringIsCentredOnTheShorterSide();
    void oneTimerAtMost();
    void twelveTicksComeBackToZero();
    void delayChangeKeepsState();
    void tinyWidgetPaints();

private:
    static QImage render(QProgressIndicator &indicator);
    static QRect paintedBounds(const QImage &image);
};

QImage TestProgressIndicator::render(QProgressIndicator &indicator)
{
    QImage image(indicator.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    indicator.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QRect TestProgressIndicator::paintedBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

void TestProgressIndicator::geometry_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("outer");
    QTest::addColumn<int>("inner");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("corner");
    QTest::addColumn<QRect>("capsule");
    QTest::addRow("20") << 20 << 9 << 3 << 6 << 2 << 1 << QRect(-1, -9, 2, 6);
    QTest::addRow("32") << 32 << 15 << 5 << 10 << 3 << 1 << QRect(-1, -15, 3, 10);
    QTest::addRow("33") << 33 << 16 << 6 << 10 << 2 << 1 << QRect(-1, -16, 2, 10);
    QTest::addRow("64") << 64 << 31 << 11 << 20 << 4 << 2 << QRect(-2, -31, 4, 20);
    QTest::addRow("1") << 1 << 0 << 0 << 0 << 0 << 0 << QRect(0, 0, 0, 0);
}

void TestProgressIndicator::geometry()
{
    QFETCH(int, side);
    const QProgressIndicator::Geometry g = QProgressIndicator::geometryFor(side);
    QTEST(g.outerRadius, "outer");
    QTEST(g.innerRadius, "inner");
    QTEST(g.capsuleHeight, "height");
    QTEST(g.capsuleWidth, "width");
    QTEST(g.cornerRadius, "corner");
    QTEST(g.capsule, "capsule");
}

void TestProgressIndicator::defaults()
{
    QProgressIndicator indicator;
    QCOMPARE(indicator.animationDelay(), 40);
    QCOMPARE(indicator.property("delay").toInt(), 40);
    QVERIFY(!indicator.isDisplayedWhenStopped());
    QCOMPARE(indicator.color(), QColor(Qt::black));
    QVERIFY(!indicator.isAnimated());
    QCOMPARE(indicator.sizeHint(), QSize(20, 20));
    QCOMPARE(indicator.heightForWidth(37), 37);
    QCOMPARE(indicator.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(indicator.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(indicator.focusPolicy(), Qt::NoFocus);
    QVERIFY(indicator.setProperty("color", QColor(Qt::red)));
    QCOMPARE(indicator.color(), QColor(Qt::red));
}

void TestProgressIndicator::drawsOnlyWhenAsked()
{
    QProgressIndicator indicator;
    indicator.resize(64, 64);
    indicator.setColor(Qt::red);
    QVERIFY(paintedBounds(render(indicator)).isNull());

    indicator.startAnimation();
    const QImage running = render(indicator);
    QVERIFY(!paintedBounds(running).isNull());
    // The leading capsule is opaque red and points up from the centre.
    const QRgb head = running.pixel(32, 32 - 31 + 10);
    QCOMPARE(qRed(head), 255);
    QCOMPARE(qAlpha(head), 255);

    indicator.stopAnimation();
    QVERIFY(paintedBounds(render(indicator)).isNull());
    indicator.setDisplayedWhenStopped(true);
    QCOMPARE(render(indicator), running); // frozen at its last angle
}

void TestProgressIndicator::ringIsCentredOnTheShorterSide()
{
    QProgressIndicator indicator;
    indicator.resize(64, 20);
    indicator.setDisplayedWhenStopped(true);
    const QRect bounds = paintedBounds(render(indicator));
    // s = 20: a ring of radius 9 around the centre (32, 10).
    QVERIFY(!bounds.isNull());
    QVERIFY(bounds.left() >= 32 - 10 && bounds.right() <= 32 + 10);
    QVERIFY(bounds.top() >= 0 && bounds.bottom() <= 19);
    QVERIFY2(qAbs(bounds.center().x() - 31) <= 1,
        qPrintable(QStringLiteral("%1,%2 %3x%4")
                       .arg(bounds.x())
                       .arg(bounds.y())
                       .arg(bounds.width())
                       .arg(bounds.height())));
}

void TestProgressIndicator::oneTimerAtMost()
{
    QProgressIndicator indicator;
    indicator.setAnimationDelay(5);
    indicator.startAnimation();
    QTRY_VERIFY(indicator.angle() != 0);
    indicator.startAnimation(); // second call: resets the angle, no second timer
    QCOMPARE(indicator.angle(), 0);
    indicator.stopAnimation();
    const int frozen = indicator.angle();
    // A second ring on the same delay turns at least five steps of 30 degrees
    // meanwhile; a leaked timer would have gone on turning the first one.
    QProgressIndicator clock;
    clock.setAnimationDelay(5);
    clock.startAnimation();
    QTRY_VERIFY(clock.angle() >= 150);
    QCOMPARE(indicator.angle(), frozen);
    QVERIFY(!indicator.isAnimated());
}

void TestProgressIndicator::twelveTicksComeBackToZero()
{
    QProgressIndicator indicator;
    QTimerEvent tick(0);
    QList<int> angles;
    for (int i = 0; i < 12; ++i) {
        QCoreApplication::sendEvent(&indicator, &tick);
        angles << indicator.angle();
    }
    QCOMPARE(angles, (QList<int> {30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330, 0}));
}

void TestProgressIndicator::delayChangeKeepsState()
{
    QProgressIndicator indicator;
    indicator.setAnimationDelay(100);
    QVERIFY(!indicator.isAnimated());
    QCOMPARE(indicator.animationDelay(), 100);
    indicator.startAnimation();
    QVERIFY(indicator.isAnimated());
    indicator.setAnimationDelay(5);
    QVERIFY(indicator.isAnimated());
    QTRY_VERIFY(indicator.angle() != 0);
}

void TestProgressIndicator::tinyWidgetPaints()
{
    for (const QSize &size : {QSize(1, 1), QSize(0, 0), QSize(3, 2)}) {
        QProgressIndicator indicator;
        indicator.resize(size);
        indicator.setDisplayedWhenStopped(true);
        if (!size.isEmpty())
            QVERIFY(paintedBounds(render(indicator)).width() <= 1);
    }
}

QTEST_MAIN(TestProgressIndicator)
#include "TestProgressIndicator.moc"
