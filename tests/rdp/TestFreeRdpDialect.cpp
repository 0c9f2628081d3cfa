#include "FreeRdpDialect.h"
#include "support/TestFiles.h"

#include <QtTest>

Q_DECLARE_METATYPE(FreeRdpDialect)

class TestFreeRdpDialect : public QObject
{
    Q_OBJECT

private slots:
    void adaptForFreeRdp2_data() { adaptRows(); }
    void adaptForFreeRdp2();
    void adaptForFreeRdp3_data() { adaptRows(); }
    void adaptForFreeRdp3();
    void emptyPassword_data();
    void emptyPassword();
    void gatewayValueRefused_data();
    void gatewayValueRefused();
    void filePassword_data();
    void filePassword();
    void programName_data();
    void programName();
    void versionOutput_data();
    void versionOutput();

private:
    static void adaptRows();
};

void TestFreeRdpDialect::adaptRows()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("freerdp2");
    QTest::addColumn<QStringList>("freerdp3"); // with a password in the connection file

    // Every option the translation can give, by its row, then the lists they form.
    QTest::addRow("nothing") << QStringList() << QStringList() << QStringList();
    QTest::addRow("1 gateway host") << list("/g:gw host") << list("/g:gw host") << list("/gateway:g:gw host");
    QTest::addRow("1 gateway host with port")
        << list("/g:gw:8443") << list("/g:gw:8443") << list("/gateway:g:gw:8443");
    QTest::addRow("2 gateway user") << list("/g:gw|/gu:alice") << list("/g:gw|/gu:alice")
                                    << list("/gateway:g:gw,u:alice");
    QTest::addRow("3 gateway password")
        << list("/g:gw|/gp:pa:ss") << list("/g:gw|/gp:pa:ss") << list("/gateway:g:gw,p:pa:ss");
    QTest::addRow("4 gateway domain")
        << list("/g:gw|/gd:CORP") << list("/g:gw|/gd:CORP") << list("/gateway:g:gw,d:CORP");
    QTest::addRow("1-4 whole gateway, in place")
        << list("/tmp/tmp.rdp|/g:gw|/gu:u|/gp:p w|/gd:d|/multimon")
        << list("/tmp/tmp.rdp|/g:gw|/gu:u|/gp:p w|/gd:d|/multimon")
        << list("/tmp/tmp.rdp|/gateway:g:gw,u:u,p:p w,d:d|/multimon");
    QTest::addRow("5 gstreamer dropped")
        << list("/multimon|/multimedia:decoder:gstreamer|/f") << list("/multimon|/f") << list("/multimon|/f");
    QTest::addRow("other decoder kept")
        << list("/multimedia:decoder:ffmpeg") << list("/multimedia:decoder:ffmpeg")
        << list("/multimedia:decoder:ffmpeg");
    QTest::addRow("6 monitors") << list("/multimon") << list("/multimon") << list("/multimon");
    QTest::addRow("7 full screen") << list("/f") << list("/f") << list("/f");
    QTest::addRow("7 floating bar, one text for both")
        << list("/f|/floatbar:sticky:off,default:hidden,show:fullscreen")
        << list("/f|/floatbar:sticky:off,default:hidden,show:fullscreen")
        << list("/f|/floatbar:sticky:off,default:hidden,show:fullscreen");
    QTest::addRow("8 audio mode") << list("/audio-mode:1") << list("/audio-mode:1") << list("/audio-mode:1");
    QTest::addRow("8 sound latency") << list("/sound:latency:200") << list("/sound:latency:200")
                                     << list("/sound:latency:200");
    QTest::addRow("9 window drag and caches")
        << list("-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|+multitouch")
        << list("-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|+multitouch")
        << list("-window-drag|/cache:bitmap:off,glyph:off,offscreen:off|+multitouch");
    QTest::addRow("9 one cache switch")
        << list("-glyph-cache") << list("-glyph-cache") << list("/cache:glyph:off");
    QTest::addRow("10 touch") << list("+multitouch") << list("+multitouch") << list("+multitouch");
    QTest::addRow("11 graphics pipeline")
        << list("/gfx:avc444") << list("/gfx:avc444") << list("/gfx:avc444");
    QTest::addRow("12 hardware GDI") << list("/gdi:hw") << list("/gdi:hw") << list("/gdi:hw");
    QTest::addRow("13 remote FX") << list("/rfx") << list("/rfx") << list("/rfx");
    QTest::addRow("14 certificate") << list("/cert:ignore") << list("/cert:ignore") << list("/cert:ignore");
    QTest::addRow("15 printer") << list("/printer") << list("/printer") << list("/printer");
    QTest::addRow("16 drives") << list("+drives") << list("+drives") << list("+drives");
    QTest::addRow("17 server to client off")
        << list("+drives|-sc-clipboard|/smartcard") << list("+drives|-clipboard|/smartcard")
        << list("+drives|/clipboard:direction-to:remote|/smartcard");
    QTest::addRow("18 client to server off")
        << list("-cs-clipboard|/usb:auto") << list("-clipboard|/usb:auto")
        << list("/clipboard:direction-to:local|/usb:auto");
    QTest::addRow("19 clipboard off") << list("-clipboard") << list("-clipboard") << list("-clipboard");
    QTest::addRow("17+18 both directions off")
        << list("-sc-clipboard|-cs-clipboard") << list("-clipboard") << list("-clipboard");
    QTest::addRow("17+19 one direction and off")
        << list("-sc-clipboard|-clipboard") << list("-clipboard") << list("-clipboard");
    QTest::addRow("17-19 all three off")
        << list("/printer|-sc-clipboard|-cs-clipboard|-clipboard|/smartcard")
        << list("/printer|-clipboard|/smartcard") << list("/printer|-clipboard|/smartcard");
    QTest::addRow("20 smart card") << list("/smartcard") << list("/smartcard") << list("/smartcard");
    QTest::addRow("21 USB auto") << list("/cert:ignore|/usb:auto") << list("/cert:ignore|/usb:auto")
                                 << list("/cert:ignore|/usb:auto");
    QTest::addRow("21 USB auto and allow list")
        << list("/usb:auto,id:0A1B:2C3D#ABCD:EF01") << list("/usb:auto,id:0A1B:2C3D#ABCD:EF01")
        << list("/usb:auto,id:0A1B:2C3D#ABCD:EF01");
    QTest::addRow("21 USB deny list removes auto")
        << list("/usb:auto,id:A,denyid:B") << list("/usb:id:A") << list("/usb:id:A");
    QTest::addRow("21 USB deny all") << list("/f|/usb:denyid:ffff:ffff") << list("/f") << list("/f");
    QTest::addRow("21 USB deny list only")
        << list("/usb:denyid:0A1B:2C3D#ABCD:EF01") << QStringList() << QStringList();
    QTest::addRow("21 USB class list") << list("/usb:denyclassid:0E") << QStringList() << QStringList();
    QTest::addRow("21 USB empty class list") << list("/usb:denyclassid:") << QStringList() << QStringList();
    QTest::addRow("21 USB auto and class list")
        << list("/usb:auto,denyclassid:0E") << QStringList() << QStringList();
    QTest::addRow("21 USB class and allow list") << list("/usb:auto,denyclassid:0E,id:0A1B:2C3D")
                                                 << list("/usb:id:0A1B:2C3D") << list("/usb:id:0A1B:2C3D");
    QTest::addRow("21 USB allow and deny list")
        << list("/usb:id:0A1B:2C3D,denyid:X") << list("/usb:id:0A1B:2C3D") << list("/usb:id:0A1B:2C3D");
    QTest::addRow("21 USB unknown part removes auto")
        << list("/usb:auto,addr:04:0c") << QStringList() << QStringList();
    QTest::addRow("21 USB empty") << list("/usb:") << QStringList() << QStringList();
    QTest::addRow("whole list")
        << list("/tmp/tmp.rdp|/g:10.0.0.5|/gu:gwuser|/multimedia:decoder:gstreamer|/multimon|/f|"
                "/sound:latency:200|-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|/rfx|"
                "/cert:ignore|/printer|+drives|-sc-clipboard|-cs-clipboard|"
                "/usb:auto,denyclassid:0E,id:0A1B:2C3D,denyid:ABCD:EF01")
        << list("/tmp/tmp.rdp|/g:10.0.0.5|/gu:gwuser|/multimon|/f|/sound:latency:200|"
                "-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache|/rfx|/cert:ignore|/printer|+drives|"
                "-clipboard|/usb:id:0A1B:2C3D")
        << list("/tmp/tmp.rdp|/gateway:g:10.0.0.5,u:gwuser|/multimon|/f|/sound:latency:200|"
                "-window-drag|/cache:bitmap:off,glyph:off,offscreen:off|/rfx|/cert:ignore|/printer|+drives|"
                "-clipboard|/usb:id:0A1B:2C3D");
}

void TestFreeRdpDialect::adaptForFreeRdp2()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, freerdp2);
    QCOMPARE(::adaptForFreeRdp2(options), freerdp2);
}

void TestFreeRdpDialect::adaptForFreeRdp3()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, freerdp3);
    const FreeRdp3Adaptation adapted = ::adaptForFreeRdp3(options, true);
    QCOMPARE(adapted.options, freerdp3);
    QCOMPARE(adapted.refusedField, QString());
}

void TestFreeRdpDialect::emptyPassword_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("fileHasPassword");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("no password anywhere") << list("/f|/cert:ignore") << false << list("/p:|/f|/cert:ignore");
    QTest::addRow("nothing else") << QStringList() << false << list("/p:");
    QTest::addRow("password in the file") << list("/f") << true << list("/f");
    QTest::addRow("password among the options") << list("/p:x|/f") << false << list("/p:x|/f");
    // A gateway password is not the session's.
    QTest::addRow("gateway password only")
        << list("/g:gw|/gp:x|/f") << false << list("/p:|/gateway:g:gw,p:x|/f");
}

void TestFreeRdpDialect::emptyPassword()
{
    QFETCH(QStringList, options);
    QFETCH(bool, fileHasPassword);
    QFETCH(QStringList, expected);
    QCOMPARE(::adaptForFreeRdp3(options, fileHasPassword).options, expected);
    // FreeRDP 2 keeps its own way of asking.
    QVERIFY(!::adaptForFreeRdp2(options).contains(QStringLiteral("/p:")));
}

void TestFreeRdpDialect::gatewayValueRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("field");

    QTest::addRow("host") << list("/g:a,b|/f") << "gateway host name";
    QTest::addRow("user") << list("/g:gw|/gu:smith, john") << "gateway user name";
    QTest::addRow("password") << list("/g:gw|/gu:u|/gp:se,cret") << "gateway password";
    QTest::addRow("domain") << list("/g:gw|/gd:,") << "gateway domain";
    QTest::addRow("comma elsewhere is fine") << list("/g:gw|/usb:auto,id:0A1B:2C3D") << QString();
}

void TestFreeRdpDialect::gatewayValueRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, field);
    const FreeRdp3Adaptation adapted = ::adaptForFreeRdp3(options, true);
    QCOMPARE(adapted.refusedField, field);
    if (!field.isEmpty()) {
        QVERIFY(adapted.options.isEmpty());
        QVERIFY(!adapted.refusedField.contains(QLatin1Char(',')));
    } else {
        QVERIFY(!adapted.options.isEmpty());
    }
}

void TestFreeRdpDialect::filePassword_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("hasPassword");

    QTest::addRow("none") << QByteArray("full address:s:host\r\nusername:s:bob\r\n") << false;
    QTest::addRow("empty") << QByteArray("") << false;
    QTest::addRow("encrypted blob") << QByteArray("username:s:bob\r\npassword 51:b:01000000D08C\r\n") << true;
    QTest::addRow("clear text") << QByteArray("ClearTextPassword:s:pw\r\n") << true;
    QTest::addRow("first line, LF") << QByteArray("password:s:pw\nx:i:1\n") << true;
    QTest::addRow("empty value") << QByteArray("password 51:b:\r\nClearTextPassword:s: \r\n") << false;
    QTest::addRow("gateway password only") << QByteArray("gatewaypassword:s:gw\r\n") << false;
    QTest::addRow("key inside another line") << QByteArray("remark:s:password:s:pw\r\n") << false;
    static const char utf16[] = "\xFF\xFEp\0a\0s\0s\0w\0o\0r\0d\0 \0\x35\0\x31\0:\0b\0:\0A\0\r\0\n\0";
    QTest::addRow("UTF-16LE") << QByteArray(utf16, sizeof utf16 - 1) << true;
}

void TestFreeRdpDialect::filePassword()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, hasPassword);
    QCOMPARE(connectionFileHasPassword(text), hasPassword);
}

void TestFreeRdpDialect::programName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<FreeRdpDialect>("dialect");

    QTest::addRow("xfreerdp3") << "xfreerdp3" << FreeRdpDialect::FreeRdp3;
    QTest::addRow("sdl-freerdp3") << "sdl-freerdp3" << FreeRdpDialect::FreeRdp3;
    QTest::addRow("wfreerdp3.exe") << "WFreeRDP3.EXE" << FreeRdpDialect::FreeRdp3;
    QTest::addRow("xfreerdp2") << "xfreerdp2" << FreeRdpDialect::FreeRdp2;
    QTest::addRow("xfreerdp") << "xfreerdp" << FreeRdpDialect::Unknown;
    QTest::addRow("wfreerdp.exe") << "wfreerdp.exe" << FreeRdpDialect::Unknown;
    QTest::addRow("wrapper") << "run-client3" << FreeRdpDialect::Unknown;
    QTest::addRow("empty") << "" << FreeRdpDialect::Unknown;
}

void TestFreeRdpDialect::programName()
{
    QFETCH(QString, name);
    QFETCH(FreeRdpDialect, dialect);
    QCOMPARE(dialectFromProgramName(name), dialect);
}

void TestFreeRdpDialect::versionOutput_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<FreeRdpDialect>("dialect");

    QTest::addRow("3.10.3") << QByteArray("This is FreeRDP version 3.10.3 (n/a)\n")
                            << FreeRdpDialect::FreeRdp3;
    QTest::addRow("2.11.2 among log lines") << QByteArray(
        "[12:00:00:000] [1:1] [WARN][com.freerdp] - x\nThis is FreeRDP version 2.11.2 (2.11.2)\n")
                                            << FreeRdpDialect::FreeRdp2;
    QTest::addRow("4.0.0") << QByteArray("This is FreeRDP version 4.0.0\n") << FreeRdpDialect::FreeRdp3;
    QTest::addRow("1.1.0") << QByteArray("This is FreeRDP version 1.1.0\n") << FreeRdpDialect::Unknown;
    QTest::addRow("display error") << QByteArray(
        "[ERROR][com.freerdp.client.x11] - failed to open display: \n")
                                   << FreeRdpDialect::Unknown;
    QTest::addRow("nothing") << QByteArray() << FreeRdpDialect::Unknown;
}

void TestFreeRdpDialect::versionOutput()
{
    QFETCH(QByteArray, output);
    QFETCH(FreeRdpDialect, dialect);
    QCOMPARE(dialectFromVersionOutput(output), dialect);
}

QTEST_GUILESS_MAIN(TestFreeRdpDialect)
#include "TestFreeRdpDialect.moc"
