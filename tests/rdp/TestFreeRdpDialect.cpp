#include "FreeRdpDialect.h"
#include "support/TestFiles.h"

#include <QtTest>

class TestFreeRdpDialect : public QObject
{
    Q_OBJECT

private slots:
    void adapt_data();
    void adapt();
};

void TestFreeRdpDialect::adapt_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("nothing") << QStringList() << QStringList();
    QTest::addRow("understood options unchanged")
        << list("/tmp/my dir/tmp.rdp|/g:gw host|/gu:u|/gp:-clipboard|/gd:d|/multimon|/f|/audio-mode:1|"
                "-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|+multitouch|/gfx:avc444|/gdi:hw|/"
                "rfx|"
                "/cert:ignore|/printer|+drives|/smartcard|/multimedia:decoder:ffmpeg|/usb")
        << list("/tmp/my dir/tmp.rdp|/g:gw host|/gu:u|/gp:-clipboard|/gd:d|/multimon|/f|/audio-mode:1|"
                "-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|+multitouch|/gfx:avc444|/gdi:hw|/"
                "rfx|"
                "/cert:ignore|/printer|+drives|/smartcard|/multimedia:decoder:ffmpeg|/usb");
    QTest::addRow("gstreamer dropped")
        << list("/multimon|/multimedia:decoder:gstreamer|/f") << list("/multimon|/f");
    QTest::addRow("server to client off")
        << list("+drives|-sc-clipboard|/smartcard") << list("+drives|-clipboard|/smartcard");
    QTest::addRow("client to server off") << list("-cs-clipboard|/usb:auto") << list("-clipboard|/usb:auto");
    QTest::addRow("clipboard off") << list("-clipboard") << list("-clipboard");
    QTest::addRow("all three off") << list("/printer|-sc-clipboard|-cs-clipboard|-clipboard|/smartcard")
                                   << list("/printer|-clipboard|/smartcard");
    QTest::addRow("both directions off") << list("-sc-clipboard|-cs-clipboard") << list("-clipboard");
    QTest::addRow("USB auto") << list("/cert:ignore|/usb:auto") << list("/cert:ignore|/usb:auto");
    QTest::addRow("USB auto and allow list")
        << list("/usb:auto,id:0A1B:2C3D#ABCD:EF01") << list("/usb:auto,id:0A1B:2C3D#ABCD:EF01");
    QTest::addRow("USB deny list removes auto") << list("/usb:auto,id:A,denyid:B") << list("/usb:id:A");
    QTest::addRow("USB deny all") << list("/f|/usb:denyid:ffff:ffff") << list("/f");
    QTest::addRow("USB deny list only") << list("/usb:denyid:0A1B:2C3D#ABCD:EF01") << QStringList();
    QTest::addRow("USB class list") << list("/usb:denyclassid:0E") << QStringList();
    QTest::addRow("USB empty class list") << list("/usb:denyclassid:") << QStringList();
    QTest::addRow("USB auto and class list") << list("/usb:auto,denyclassid:0E") << QStringList();
    QTest::addRow("USB class and allow list")
        << list("/usb:auto,denyclassid:0E,id:0A1B:2C3D") << list("/usb:id:0A1B:2C3D");
    QTest::addRow("USB allow and deny list")
        << list("/usb:id:0A1B:2C3D,denyid:X") << list("/usb:id:0A1B:2C3D");
    QTest::addRow("USB unknown part removes auto") << list("/usb:auto,addr:04:0c") << QStringList();
    QTest::addRow("USB empty") << list("/usb:") << QStringList();
    QTest::addRow("whole list") << list(
        "/tmp/tmp.rdp|/g:10.0.0.5|/gu:gwuser|/multimedia:decoder:gstreamer|/multimon|/f|/sound:latency:200|"
        "-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|/rfx|/cert:ignore|/printer|+drives|"
        "-sc-clipboard|-cs-clipboard|/usb:auto,denyclassid:0E,id:0A1B:2C3D,denyid:ABCD:EF01")
                                << list("/tmp/tmp.rdp|/g:10.0.0.5|/gu:gwuser|/multimon|/f|/sound:latency:200|"
                                        "-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|/rfx|/"
                                        "cert:ignore|/printer|+drives|"
                                        "-clipboard|/usb:id:0A1B:2C3D");
}

void TestFreeRdpDialect::adapt()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QCOMPARE(adaptForUpstreamFreeRdp(options), expected);
}

QTEST_GUILESS_MAIN(TestFreeRdpDialect)
#include "TestFreeRdpDialect.moc"
