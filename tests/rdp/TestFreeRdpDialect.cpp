#include "ClientEnd.h"
#include "FreeRdpDialect.h"
#include "support/TestFiles.h"

#include <QtTest>

Q_DECLARE_METATYPE(FreeRdpDialect)
Q_DECLARE_METATYPE(ClientEndReason)

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
    void endReason_data();
    void endReason();

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

void TestFreeRdpDialect::endReason_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("lastWords");
    QTest::addColumn<ClientEndReason>("reason");
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<QString>("lastLine");

    const QString refused = QStringLiteral(
        "[05:47:29:418] [6792:00001a89] [ERROR][com.freerdp.core] - [transport_default_write]: "
        "ERRCONNECT_CONNECT_TRANSPORT_FAILED [0x0002000D] | [05:47:29:418] [6792:00001a89] "
        "[ERROR][com.freerdp.core] - [freerdp_connect]: freerdp_post_connect failed");
    const QString dropped3 = QStringLiteral(
        "[05:46:45:774] [6271:00001881] [ERROR][com.freerdp.core] - [transport_read_layer]: "
        "ERRCONNECT_CONNECT_TRANSPORT_FAILED [0x0002000D] | [05:46:45:775] [6271:00001881] "
        "[INFO][com.freerdp.client.common] - [client_auto_reconnect_ex]: Network disconnect!");
    const QString dropped2 = QStringLiteral(
        "[05:47:19:870] [6634:6636] [INFO][com.freerdp.client.common] - Network disconnect!");
    using R = ClientEndReason;
    // The user's own ends.
    QTest::addRow("clean end") << true << false << 0 << QString() << R::ChosenByUser << false << QString();
    QTest::addRow("logoff") << true << false << 2 << QString() << R::ChosenByUser << false << QString();
    QTest::addRow("disconnect by user") << true << false << 11 << "x" << R::ChosenByUser << false << "x";
    QTest::addRow("2.11 user disconnect")
        << true << false << 12 << QString() << R::ChosenByUser << false << QString();
    // What a new try may mend.
    QTest::addRow("nothing listens (FreeRDP 3)") << true << false << 147 << refused << R::Unreachable << true
                                                 << "[freerdp_connect]: freerdp_post_connect failed";
    QTest::addRow("DNS name not found")
        << true << false << 140 << QString() << R::Unreachable << true << QString();
    QTest::addRow("TLS failed") << true << false << 143 << QString() << R::Unreachable << true << QString();
    QTest::addRow("dropped mid-session (FreeRDP 3)")
        << true << false << 147 << dropped3 << R::ConnectionBroke << true
        << "[client_auto_reconnect_ex]: Network disconnect!";
    QTest::addRow("dropped mid-session (FreeRDP 2)")
        << true << false << 131 << dropped2 << R::ConnectionBroke << true << "Network disconnect!";
    QTest::addRow("disconnected by the server")
        << true << false << 1 << QString() << R::ConnectionBroke << true << QString();
    QTest::addRow("idle") << true << false << 3 << QString() << R::IdleEnd << true << QString();
    QTest::addRow("taken over") << true << false << 5 << QString() << R::TakenOver << true << QString();
    // What it cannot.
    QTest::addRow("authentication failure")
        << true << false << 132 << QString() << R::LogonRefused << false << QString();
    QTest::addRow("wrong password") << true << false << 154 << QString() << R::LogonRefused << false
                                    << QString();
    QTest::addRow("logon failure, words of a drop")
        << true << false << 134 << dropped2 << R::LogonRefused << false << "Network disconnect!";
    QTest::addRow("locked out") << true << false << 135 << QString() << R::AccountBlocked << false
                                << QString();
    QTest::addRow("password expired")
        << true << false << 148 << QString() << R::AccountBlocked << false << QString();
    QTest::addRow("account disabled")
        << true << false << 151 << QString() << R::AccountBlocked << false << QString();
    QTest::addRow("starter found no client")
        << true << false << 127 << QString() << R::NoClient << false << QString();
    QTest::addRow("program missing") << false << false << 0 << QString() << R::NoClient << false << QString();
    QTest::addRow("license error") << true << false << 20 << QString() << R::Other << false << QString();
    QTest::addRow("unknown") << true << false << 255 << QString() << R::Other << false << QString();
    QTest::addRow("killed by signal 0") << true << true << 0 << QString() << R::Other << false << QString();
    QTest::addRow("line without prefix")
        << true << false << 128 << "a | b | bad argument" << R::Other << false << "bad argument";
}

void TestFreeRdpDialect::endReason()
{
    QFETCH(bool, started);
    QFETCH(bool, crashed);
    QFETCH(int, status);
    QFETCH(QString, lastWords);
    QFETCH(ClientEndReason, reason);
    QFETCH(bool, reconnect);
    QFETCH(QString, lastLine);
    ClientEnd end;
    end.started = started;
    end.crashed = crashed;
    end.exitCode = status;
    end.lastWords = lastWords;
    QCOMPARE(clientEndReason(end), reason);
    QCOMPARE(offersReconnect(reason), reconnect);
    QCOMPARE(lastLineOf(lastWords), lastLine);
}

QTEST_GUILESS_MAIN(TestFreeRdpDialect)
#include "TestFreeRdpDialect.moc"
