#include "RdpTranslation.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Expected lists are written as one text with "|" between the options.
#define CACHES "-window-drag|-offscreen-cache|-glyph-cache|-bitmap-cache"
#define PLAIN "/f|/sound:latency:200|" CACHES "|/rfx|/cert:ignore"
#define NO_USB "|/usb:denyid:ffff:ffff"

namespace {

QByteArray utf16File(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

} // namespace

class TestRdpTranslation : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void floatingBar_data();
    void floatingBar();
    void usb_data();
    void usb();
    void files_data();
    void files();
    void readHead_data();
    void readHead();
    void readHeadPaths();
};

void TestRdpTranslation::options_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    const QByteArray pad(rdpHeadSize, '#');

    QTest::addRow("empty") << QByteArray() << list(PLAIN NO_USB);
    QTest::addRow("worked example")
        << QByteArray("gatewayhostname:s:10.0.0.5\r\ngatewayusername:s:gwuser\r\n"
                      "videoplaybackmode:i:1\r\nuse multimon:i:1\r\n")
        << list("/g:10.0.0.5|/gu:gwuser|/multimedia:decoder:gstreamer|/multimon|" PLAIN NO_USB);
    QTest::addRow("gateway fields in fixed order") << QByteArray(
        "gatewaydomain:s:dom\r\ngatewaypassword:s:pw\r\ngatewayusername:s:u\r\ngatewayhostname:s:gw\r\n")
                                                   << list("/g:gw|/gu:u|/gp:pw|/gd:dom|" PLAIN NO_USB);
    QTest::addRow("gateway extras without host")
        << QByteArray("gatewayusername:s:u\r\ngatewaypassword:s:pw\r\ngatewaydomain:s:dom\r\n")
        << list(PLAIN NO_USB);
    QTest::addRow("gateway host empty")
        << QByteArray("gatewayhostname:s:\r\ngatewayusername:s:u\r\n") << list(PLAIN NO_USB);
    QTest::addRow("gateway host on unfinished last line")
        << QByteArray("gatewayusername:s:u\r\ngatewayhostname:s:gw") << list(PLAIN NO_USB);
    QTest::addRow("gateway extra empty")
        << QByteArray("gatewayhostname:s:gw\r\ngatewayusername:s:\r\n") << list("/g:gw|" PLAIN NO_USB);
    QTest::addRow("value with blanks")
        << QByteArray("gatewayhostname:s: gate way \r\n") << list("/g: gate way |" PLAIN NO_USB);
    QTest::addRow("LF line ends") << QByteArray("gatewayhostname:s:gw\ngatewayusername:s:u\n")
                                  << list("/g:gw|/gu:u|" PLAIN NO_USB);
    // A later CR LF must not pull the following lines into an LF-ended value.
    QTest::addRow("mixed line ends") << QByteArray("gatewayhostname:s:gw\nuse multimon:i:1\r\n")
                                     << list("/g:gw|/multimon|" PLAIN NO_USB);
    QTest::addRow("CR stays inside a line")
        << QByteArray("gatewayhostname:s:g\rw\r\r\n") << list("/g:g\rw\r|" PLAIN NO_USB);
    QTest::addRow("first occurrence, anywhere in a line")
        << QByteArray("x-gatewayhostname:s:first\r\ngatewayhostname:s:second\r\n")
        << list("/g:first|" PLAIN NO_USB);
    QTest::addRow("UTF-8 value") << QByteArray("gatewayhostname:s:h\xC3\xA9te\r\n")
                                 << list("/g:h\xC3\xA9te|" PLAIN NO_USB);
    QTest::addRow("UTF-16 non-Latin-1 value")
        << utf16File(QStringLiteral("gatewayhostname:s:gw\r\ngatewaypassword:s:p\u00e4\u57df\r\n"))
        << list("/g:gw|/gp:p\xC3\xA4\xE5\x9F\x9F|" PLAIN NO_USB);
    QTest::addRow("audio mode wins over video")
        << QByteArray("videoplaybackmode:i:1\r\naudiomode:i:1\r\n")
        << list("/f|/audio-mode:1|" CACHES "|/rfx|/cert:ignore" NO_USB);
    QTest::addRow("audio mode 2 with video") << QByteArray("audiomode:i:2\r\nvideoplaybackmode:i:1\r\n")
                                             << list("/multimedia:decoder:gstreamer|" PLAIN NO_USB);
    QTest::addRow("switch off") << QByteArray("use multimon:i:0\r\nredirectprinters:i:0\r\n")
                                << list(PLAIN NO_USB);
    QTest::addRow("switch 10 contains 1")
        << QByteArray("use multimon:i:10\r\n") << list("/multimon|" PLAIN NO_USB);
    QTest::addRow("switch case") << QByteArray("Use Multimon:i:1\r\nGDI Rendering:i:1\r\n")
                                 << list(PLAIN NO_USB);
    QTest::addRow("multitouch") << QByteArray("multi touch:i:1\r\n")
                                << list("/f|/sound:latency:200|" CACHES
                                        "|+multitouch|/rfx|/cert:ignore" NO_USB);
    QTest::addRow("gfx with GDI") << QByteArray("GDI rendering:i:1\r\nuse gfx:i:1\r\n")
                                  << list("/f|/sound:latency:200|" CACHES "|/gfx:avc444|/cert:ignore" NO_USB);
    QTest::addRow("GDI without gfx") << QByteArray(
        "GDI rendering:i:1\r\n") << list("/f|/sound:latency:200|" CACHES "|/gdi:hw|/rfx|/cert:ignore" NO_USB);
    QTest::addRow("every redirection")
        << QByteArray("redirectsmartcards:i:1\r\nredirectclipboard:i:0\r\nclienttoserverclipboard:i:0\r\n"
                      "servertoclientclipboard:i:0\r\ndrivestoredirect:s:*\r\nredirectprinters:i:1\r\n")
        << list(PLAIN "|/printer|+drives|-sc-clipboard|-cs-clipboard|-clipboard|/smartcard" NO_USB);
    QTest::addRow("named drives") << QByteArray("drivestoredirect:s:C:\\;D:\\\r\n") << list(PLAIN NO_USB);
    QTest::addRow("clipboard off one way and whole")
        << QByteArray("redirectclipboard:i:0\r\nservertoclientclipboard:i:0\r\n")
        << list(PLAIN "|-sc-clipboard|-clipboard" NO_USB);
    QTest::addRow("USB all") << QByteArray("usbdevicestoredirect:s:*\r\n") << list(PLAIN "|/usb:auto");
    const char nulText[] = "use multimon:i:1\r\n\0redirectprinters:i:1\r\n";
    QTest::addRow("text ends at NUL")
        << QByteArray(nulText, sizeof nulText - 1) << list("/multimon|" PLAIN NO_USB);
    QTest::addRow("key ends at head end")
        << pad.left(rdpHeadSize - 16) + "use multimon:i:1" << list("/multimon|" PLAIN NO_USB);
    QTest::addRow("key crosses head end")
        << pad.left(rdpHeadSize - 15) + "use multimon:i:1" << list(PLAIN NO_USB);
    QTest::addRow("line end past head end") << pad.left(rdpHeadSize - 20) + "gatewayhostname:s:gw\r\n"
                                            << list(PLAIN NO_USB);
    QTest::addRow("UTF-16 key ends at head end")
        << utf16File(QString(rdpHeadSize / 2 - 17, QLatin1Char('#')) + QStringLiteral("use multimon:i:1"))
        << list("/multimon|" PLAIN NO_USB);
    QTest::addRow("UTF-16 key crosses head end")
        << utf16File(QString(rdpHeadSize / 2 - 16, QLatin1Char('#')) + QStringLiteral("use multimon:i:1"))
        << list(PLAIN NO_USB);
    QTest::addRow("UTF-16 NUL") << utf16File(
        QStringLiteral("use multimon:i:1\r\n") + QChar(0) + QStringLiteral("redirectprinters:i:1\r\n"))
                                << list("/multimon|" PLAIN NO_USB);
    QTest::addRow("UTF-16 mark only") << QByteArray("\xFF\xFE") << list(PLAIN NO_USB);
    QTest::addRow("UTF-16 odd last byte")
        << utf16File(QStringLiteral("use multimon:i:1\r\n")) + 'x' << list("/multimon|" PLAIN NO_USB);
}

void TestRdpTranslation::options()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QCOMPARE(rdpOptions(text), expected);
}

void TestRdpTranslation::floatingBar_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    const QString bar = QStringLiteral("/floatbar:sticky:off,default:hidden,show:fullscreen");
    QTest::addRow("right after /f") << QStringList {"/multimon", "/f", "/rfx"}
                                    << QStringList {"/multimon", "/f", bar, "/rfx"};
    QTest::addRow("/f last") << QStringList {"/f"} << QStringList {"/f", bar};
    QTest::addRow("no full screen, no bar")
        << QStringList {"/multimon", "/rfx"} << QStringList {"/multimon", "/rfx"};
    QTest::addRow("an option that merely starts with /f") << QStringList {"/fonts"} << QStringList {"/fonts"};
}

void TestRdpTranslation::floatingBar()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QCOMPARE(withFloatingBar(options), expected);
}

void TestRdpTranslation::usb_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");

    QTest::addRow("empty value") << QByteArray() << "/usb:denyid:ffff:ffff";
    QTest::addRow("all") << QByteArray("*") << "/usb:auto";
    QTest::addRow("one item after star") << QByteArray("*x") << "/usb:auto";
    QTest::addRow("one device") << QByteArray("USB\\VID_0A1B&PID_2C3D") << "/usb:denyid:ffff:ffff";
    QTest::addRow("one deny device") << QByteArray("-USB\\VID_0A1B&PID_2C3D") << "/usb:denyid:ffff:ffff";
    QTest::addRow("one class item") << QByteArray("denyclassid:0E") << "/usb:denyid:ffff:ffff";
    QTest::addRow("auto, allow and deny") << QByteArray("*;-USB\\VID_0A1B&PID_2C3D;USB\\VID_ABCD&PID_EF01")
                                          << "/usb:auto,id:ABCD:EF01,denyid:0A1B:2C3D";
    QTest::addRow("deny list") << QByteArray("-USB\\VID_0A1B&PID_2C3D;-USB\\VID_ABCD&PID_EF01")
                               << "/usb:denyid:0A1B:2C3D#ABCD:EF01";
    QTest::addRow("allow list") << QByteArray("USB\\VID_0A1B&PID_2C3D;USB\\VID_ABCD&PID_EF01;")
                                << "/usb:id:0A1B:2C3D#ABCD:EF01";
    QTest::addRow("auto and class") << QByteArray("*;denyclassid:0E") << "/usb:auto,denyclassid:0E";
    QTest::addRow("class, auto, device")
        << QByteArray("denyclassid:0E;*;USB\\VID_0A1B&PID_2C3D") << "/usb:auto,denyclassid:0E,id:0A1B:2C3D";
    QTest::addRow("class and device, no auto")
        << QByteArray("denyclassid:0E;-USB\\VID_0A1B&PID_2C3D") << "/usb:denyclassid:0E,denyid:0A1B:2C3D";
    QTest::addRow("later class wins")
        << QByteArray("denyclassid:01;denyclassid:0E;*") << "/usb:auto,denyclassid:0E";
    QTest::addRow("class, no device")
        << QByteArray("denyclassid:0E;USB\\VID_XYZW&PID_2C3D") << "/usb:denyclassid:0E";
    QTest::addRow("nothing usable") << QByteArray("a;b") << "/usb:denyclassid:";
    QTest::addRow("empty items") << QByteArray(";;") << "/usb:denyclassid:";
    QTest::addRow("five-digit vendor") << QByteArray("USB\\VID_0A1B2&PID_2C3D;") << "/usb:id:A1B2:2C3D";
    QTest::addRow("instance path") << QByteArray("USB\\VID_0A1B&PID_2C3D\\6;*") << "/usb:auto";
    QTest::addRow("three-digit product") << QByteArray("USB\\VID_0A1B&PID_2C3;*") << "/usb:auto";
    QTest::addRow("lower-case markers") << QByteArray("usb\\vid_0a1b&pid_2c3d;*") << "/usb:auto";
    QTest::addRow("letter case kept") << QByteArray("USB\\VID_0a1b&PID_2c3d;") << "/usb:id:0a1b:2c3d";
    QTest::addRow("later part wins") << QByteArray("USB\\VID_0A1B&PID_2C3D&PID_FFFF;") << "/usb:id:0A1B:FFFF";
    QTest::addRow("product marker not at start")
        << QByteArray("USB\\VID_0A1B&xPID_2C3D;") << "/usb:denyclassid:";
    QTest::addRow("deny mark not first") << QByteArray(" -USB\\VID_0A1B&PID_2C3D;") << "/usb:id:0A1B:2C3D";
    QTest::addRow("long class list") << QByteArray("*;denyclassid:" + QByteArray(100, 'C'))
                                     << "/usb:auto,denyclassid:" + QString(100, QLatin1Char('C'));
    QTest::addRow("many devices") << QByteArray("USB\\VID_0000&PID_0000;").repeated(25)
                                  << "/usb:id:" + QStringLiteral("#0000:0000").repeated(25).mid(1);
}

void TestRdpTranslation::usb()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    QCOMPARE(usbOption("usbdevicestoredirect:s:" + value + "\r\n"), expected);
}

void TestRdpTranslation::files_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");
    const QStringList example = list("/g:10.0.0.5|/gu:gwuser|/multimedia:decoder:gstreamer|/multimon|" PLAIN
                                     "|/printer|+drives|/usb:auto");
    const QString host127 = QString(120, QLatin1Char('h')) + QStringLiteral(".test12");

    QTest::addRow("CR LF") << "crlf.rdp" << example;
    QTest::addRow("LF") << "lf.rdp" << example;
    QTest::addRow("UTF-16LE") << "utf16.rdp" << example;
    QTest::addRow("mixed line ends") << "mixed.rdp"
                                     << list(
                                            "/g:gw.example.test|/gu:gwuser|/multimon|/f|/audio-mode:1|" CACHES
                                            "|/rfx|/cert:ignore|/usb:auto,id:0A1B:2C3D");
    QTest::addRow("missing") << "no-such-file.rdp" << list(PLAIN NO_USB);
    QTest::addRow("empty") << "empty.rdp" << list(PLAIN NO_USB);
    QTest::addRow("mark only") << "bom-only.rdp" << list(PLAIN NO_USB);
    QTest::addRow("NUL byte") << "nul.rdp" << list("/multimon|" PLAIN NO_USB);
    QTest::addRow("127-byte values") << "value127.rdp"
                                     << QStringList {"/g:" + host127, "/gp:" + QString(127, QLatin1Char('p'))}
            + list(PLAIN NO_USB);
    QTest::addRow("128-byte values") << "value128.rdp"
                                     << QStringList {"/g:h" + host127,
                                            "/gp:" + QString(128, QLatin1Char('p'))}
            + list(PLAIN NO_USB);
}

void TestRdpTranslation::files()
{
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    const QString path = QStringLiteral(TEST_DATA_DIR "/rdp/") + name;
    QCOMPARE(rdpOptions(readRdpHead(path.toLatin1())), expected);
}

void TestRdpTranslation::readHead_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::addRow("empty") << QByteArray();
    QTest::addRow("short") << QByteArray("use multimon:i:1\r\n");
    QTest::addRow("binary") << QByteArray("\xFF\xFE\0\0\r\n\0", 7);
    QTest::addRow("head size") << QByteArray(rdpHeadSize, 'a');
    QTest::addRow("key past head") << QByteArray(rdpHeadSize, '#') + "\r\nuse multimon:i:1\r\n";
    QByteArray megabyte;
    while (megabyte.size() < 1024 * 1024)
        megabyte += QByteArray("x:s:", 4) + QByteArray(60, '\0') + "\r\n";
    megabyte += "use multimon:i:1\r\n";
    QTest::addRow("1 MB with NUL bytes, key only past the head") << megabyte;
}

void TestRdpTranslation::readHead()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("tmp.rdp"));
    QVERIFY(writeFile(path, content));

    const QByteArray head = readRdpHead(QFile::encodeName(path));
    QCOMPARE(head, content.left(rdpHeadSize));
    if (content.size() > rdpHeadSize)
        QCOMPARE(rdpOptions(head), list(PLAIN NO_USB));
}

void TestRdpTranslation::readHeadPaths()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The page hands the path over in the file system's 8-bit form.
    const QString accented = dir.filePath(QStringLiteral("caf\u00e9 \u4e34\u65f6 tmp.rdp"));
    QVERIFY(writeFile(accented, "use multimon:i:1\r\n"));
    QCOMPARE(readRdpHead(QFile::encodeName(accented)), QByteArray("use multimon:i:1\r\n"));

    QCOMPARE(readRdpHead(QFile::encodeName(dir.path())), QByteArray());
    QCOMPARE(readRdpHead(QFile::encodeName(dir.filePath(QStringLiteral("missing.rdp")))), QByteArray());
    QCOMPARE(readRdpHead(QByteArray()), QByteArray());
}

QTEST_GUILESS_MAIN(TestRdpTranslation)
#include "TestRdpTranslation.moc"
