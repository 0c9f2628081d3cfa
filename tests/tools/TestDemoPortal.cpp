#include "DemoPortal.h"
#include "PortalContent.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

HttpRequest requestFor(const QByteArray &method, const QByteArray &target)
{
    HttpRequest request;
    const int status = HttpRequest::parse(
        method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", &request, 4096, 0);
    if (status != 200)
        qWarning() << "not a request:" << target << status;
    return request;
}

DemoPortal::Options testOptions()
{
    DemoPortal::Options options;
    options.port = 0;
    options.certificatePath = QStringLiteral(TEST_DATA_DIR "/test-cert.pem");
    options.keyPath = QStringLiteral(TEST_DATA_DIR "/test-key.pem");
    options.rdpHost = QStringLiteral("127.0.0.1");
    options.rdpPort = 3390;
    return options;
}

} // namespace

class TestDemoPortal : public QObject
{
    Q_OBJECT

private slots:
    void decodeSerialId_data();
    void decodeSerialId();
    void queryValues_data();
    void queryValues();
    void passwordNeverLogged_data();
    void passwordNeverLogged();
    void connectionFile_data();
    void connectionFile();
    void portalPageEscapes();
    void routes_data();
    void routes();
    void servesOverHttps_data();
    void servesOverHttps();
    void createsMissingCertificate();
    void refusesHalfACertificatePair();
};

void TestDemoPortal::decodeSerialId_data()
{
    QTest::addColumn<QByteArray>("sid");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("serialId");

    QTest::addRow("terminal identity")
        << QByteArray("6a6d1e1e1f6f1c6c1d6d1a6a1b6b") << true << QStringLiteral("DC001A2B3C4D5E");
    QTest::addRow("upper-case digits") << QByteArray("6A6D1E1E") << true << QStringLiteral("DC00");
    QTest::addRow("Latin-1 byte") << QByteArray("c756") << true << QString::fromUtf8("\xC3\xA9x");
    QTest::addRow("empty") << QByteArray() << true << QString();
    QTest::addRow("odd length") << QByteArray("6a6") << false << QString();
    QTest::addRow("not hex") << QByteArray("zz") << false << QString();
    QTest::addRow("blank inside") << QByteArray("6a 6d") << false << QString();
    QTest::addRow("separators") << QByteArray("6a:6d") << false << QString();
}

void TestDemoPortal::decodeSerialId()
{
    QFETCH(QByteArray, sid);
    QFETCH(bool, valid);
    QFETCH(QString, serialId);
    bool ok = !valid;
    QCOMPARE(PortalContent::decodeSerialId(sid, &ok), serialId);
    QCOMPARE(ok, valid);
}

void TestDemoPortal::queryValues_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("value");

    QTest::addRow("launcher query") << QByteArray("username=b%E9a%20x&password=p&sid=6a&a=a/")
                                    << QByteArray("username") << true
                                    << QString::fromUtf8("b\xC3\xA9"
                                                         "a x");
    QTest::addRow("placeholder with slash")
        << QByteArray("username=u&a=a/") << QByteArray("a") << true << QStringLiteral("a/");
    QTest::addRow("plus stays plus") << QByteArray("password=a+b%2B") << QByteArray("password") << true
                                     << QStringLiteral("a+b+");
    QTest::addRow("first occurrence")
        << QByteArray("username=one&username=two") << QByteArray("username") << true << QStringLiteral("one");
    QTest::addRow("encoded key") << QByteArray("user%6Eame=x") << QByteArray("username") << true
                                 << QStringLiteral("x");
    QTest::addRow("key without value")
        << QByteArray("a=1&username") << QByteArray("username") << true << QString();
    QTest::addRow("prefix is not the key")
        << QByteArray("usernamex=1") << QByteArray("username") << false << QString();
    QTest::addRow("empty query") << QByteArray() << QByteArray("username") << false << QString();
    QTest::addRow("encoded separators") << QByteArray("username=a%26b%3Dc%23&sid=1") << QByteArray("username")
                                        << true << QStringLiteral("a&b=c#");
    QTest::addRow("UTF-8 pair read as Latin-1") << QByteArray("username=%C3%A9%e9") << QByteArray("username")
                                                << true << QString::fromLatin1("\xC3\xA9\xE9");
    QTest::addRow("percent of a percent")
        << QByteArray("password=%2525") << QByteArray("password") << true << QStringLiteral("%25");
    QTest::addRow("empty value") << QByteArray("username=&a=a") << QByteArray("username") << true
                                 << QString();
}

void TestDemoPortal::queryValues()
{
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, key);
    QFETCH(bool, present);
    QFETCH(QString, value);
    const QByteArray raw = PortalContent::rawQueryValue(query, key);
    QCOMPARE(!raw.isNull(), present);
    QCOMPARE(PortalContent::decodeLatin1Value(raw), value);
}

void TestDemoPortal::passwordNeverLogged_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("logged");

    QTest::addRow("sign-in address") << QByteArray("/?username=bob&password=s3cret&sid=6a6d&a=a/")
                                     << QByteArray("GET /?username=bob&password=***&sid=6a6d&a=a/");
    QTest::addRow("upper-case key") << QByteArray("/?PASSWORD=s3cret") << QByteArray("GET /?PASSWORD=***");
    QTest::addRow("encoded key") << QByteArray("/?pass%77ord=s3cret&x=1")
                                 << QByteArray("GET /?pass%77ord=***&x=1");
    QTest::addRow("key without value")
        << QByteArray("/?password&a=a") << QByteArray("GET /?password=***&a=a");
    QTest::addRow("encoded upper-case key")
        << QByteArray("/?%50ASSWORD=s3cret") << QByteArray("GET /?%50ASSWORD=***");
    QTest::addRow("twice") << QByteArray("/p?password=s3cret&password=s3cret")
                           << QByteArray("GET /p?password=***&password=***");
    QTest::addRow("similar key kept") << QByteArray("/?passwords=1") << QByteArray("GET /?passwords=1");
    QTest::addRow("no query") << QByteArray("/desktops/lab.rdp") << QByteArray("GET /desktops/lab.rdp");
    QTest::addRow("line break made visible")
        << QByteArray("/a\r\nforged") << QByteArray("GET /a%0D%0Aforged");
}

void TestDemoPortal::passwordNeverLogged()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, logged);
    const QDateTime time(QDate(2024, 5, 6), QTime(7, 8, 9, 10));
    const QByteArray line = PortalContent::requestLogLine(time, "GET", target);
    QCOMPARE(line, "2024-05-06 07:08:09.010 " + logged);
    QVERIFY(!line.contains("s3cret"));
}

void TestDemoPortal::connectionFile_data()
{
    QTest::addColumn<QByteArray>("desktop");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray common
        = "screen mode id:i:1\r\nuse multimon:i:0\r\naudiomode:i:0\r\nredirectclipboard:i:1\r\n"
          "authentication level:i:0\r\nprompt for credentials:i:0\r\n";
    QTest::addRow("plain desktop") << QByteArray("lab") << QStringLiteral("127.0.0.1") << 3389 << QString()
                                   << "full address:s:127.0.0.1:3389\r\n" + common;
    QTest::addRow("with user") << QByteArray("lab") << QStringLiteral("rdp.example") << 13389
                               << QStringLiteral("alice")
                               << "full address:s:rdp.example:13389\r\nusername:s:alice\r\n" + common;
    QTest::addRow("office extras") << QByteArray("office") << QStringLiteral("127.0.0.1") << 3389 << QString()
                                   << "full address:s:127.0.0.1:3389\r\n" + common
            + "usbdevicestoredirect:s:*;-USB\\VID_0A1B&PID_2C3D;USB\\VID_ABCD&PID_EF01\r\n"
              "servertoclientclipboard:i:0\r\nvideoplaybackmode:i:1\r\n";
    QTest::addRow("IPv6 host") << QByteArray("lab") << QStringLiteral("::1") << 3389 << QString()
                               << "full address:s:[::1]:3389\r\n" + common;
    QTest::addRow("line break in user")
        << QByteArray("lab") << QStringLiteral("h") << 1 << QStringLiteral("eve\r\npassword 51:b:AAAA")
        << "full address:s:h:1\r\nusername:s:evepassword 51:b:AAAA\r\n" + common;
}

void TestDemoPortal::connectionFile()
{
    QFETCH(QByteArray, desktop);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, user);
    QFETCH(QByteArray, expected);
    const QList<DemoDesktop> desktops = demoDesktops();
    const DemoDesktop *d = findDemoDesktop(desktops, desktop);
    QVERIFY(d);
    QCOMPARE(PortalContent::connectionFile(*d, host, quint16(port), user), expected);
}

void TestDemoPortal::portalPageEscapes()
{
    const QString user = QStringLiteral("<script>alert(\"x\")</script>&amp;");
    const QString serial = QStringLiteral("<b>\x01");
    const QString page
        = QString::fromUtf8(PortalContent::portalPage(user, true, serial, true, demoDesktops()));
    QVERIFY(page.contains(QStringLiteral("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&amp;amp;")));
    QVERIFY(!page.contains(QStringLiteral("<script>")));
    QVERIFY(page.contains(QStringLiteral("&lt;b&gt;\uFFFD")));
    QVERIFY(!page.contains(QChar(0x01)));
    QVERIFY(page.contains(QStringLiteral("href=\"/logout/abouttarsen\"")));
    for (const DemoDesktop &d : demoDesktops())
        QVERIFY(page.contains(QStringLiteral("href=\"/desktops/%1.rdp\"").arg(QString::fromLatin1(d.name))));

    const QString invalid
        = QString::fromUtf8(PortalContent::portalPage(QStringLiteral("u"), false, {}, false, {}));
    QVERIFY(invalid.contains(QStringLiteral(">invalid</code>")));
    QVERIFY(invalid.contains(QStringLiteral(">missing</span>")));

    const QString message
        = QString::fromUtf8(PortalContent::messagePage(QStringLiteral("<t>"), QStringLiteral("<m>")));
    QVERIFY(message.contains(QStringLiteral("&lt;t&gt;")));
    QVERIFY(message.contains(QStringLiteral("&lt;m&gt;")));
    QVERIFY(!message.contains(QStringLiteral("<m>")));
}

void TestDemoPortal::routes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("bodyContains");

    const QByteArray html = "text/html; charset=utf-8";
    QTest::addRow("identity check") << QByteArray("GET") << QByteArray("/public/merolink-identify/is-me.do")
                                    << 200 << QByteArray("application/json") << QByteArray("{\"isMe\":true}");
    QTest::addRow("sign-in, scheme given")
        << QByteArray("GET") << QByteArray("/?username=bob&password=pw&sid=6a6d1e1e&a=a") << 200 << html
        << QByteArray("<code id=\"serial\">DC00</code>");
    QTest::addRow("sign-in, no scheme")
        << QByteArray("GET") << QByteArray("/?username=bob&password=pw&sid=&a=a/") << 200 << html
        << QByteArray("<strong id=\"user\">bob</strong>");
    QTest::addRow("sign-in under a path") << QByteArray("GET") << QByteArray("/portal/?username=b%20b&sid=6a")
                                          << 200 << html << QByteArray("<strong id=\"user\">b b</strong>");
    QTest::addRow("sid not hex") << QByteArray("GET") << QByteArray("/?username=bob&sid=xyz&a=a") << 200
                                 << html << QByteArray(">invalid</code>");
    QTest::addRow("not signed in") << QByteArray("GET") << QByteArray("/") << 200 << html
                                   << QByteArray("Not signed in");
    QTest::addRow("empty user name") << QByteArray("GET") << QByteArray("/?username=&a=a") << 200 << html
                                     << QByteArray("Not signed in");
    QTest::addRow("exit address") << QByteArray("GET") << QByteArray("/logout/abouttarsen") << 200 << html
                                  << QByteArray("Signed out");
    QTest::addRow("connection file") << QByteArray("GET") << QByteArray("/desktops/lab.rdp") << 200
                                     << QByteArray("application/x-rdp")
                                     << QByteArray("full address:s:127.0.0.1:3390\r\n");
    QTest::addRow("unknown desktop") << QByteArray("GET") << QByteArray("/desktops/nope.rdp") << 404 << html
                                     << QByteArray("No such desktop");
    QTest::addRow("unknown path") << QByteArray("GET") << QByteArray("/etc/passwd") << 404 << html
                                  << QByteArray("nothing at this address");
    QTest::addRow("bad escape in query") << QByteArray("GET") << QByteArray("/?username=a%zz&a=a") << 400
                                         << html << QByteArray("malformed percent-encoding");
    QTest::addRow("truncated escape") << QByteArray("GET") << QByteArray("/?username=a%4") << 400 << html
                                      << QByteArray("malformed percent-encoding");
    QTest::addRow("post") << QByteArray("POST") << QByteArray("/") << 405
                          << QByteArray("text/plain; charset=utf-8") << QByteArray("GET and HEAD");
}

void TestDemoPortal::routes()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, bodyContains);

    DemoPortal portal(testOptions());
    const HttpResponse response = portal.respond(requestFor(method, target));
    QCOMPARE(response.status, status);
    QCOMPARE(response.header("Content-Type"), contentType);
    QVERIFY2(response.body.contains(bodyContains), response.body.constData());
    if (contentType == "application/x-rdp")
        QCOMPARE(response.header("Content-Disposition"), QByteArray("attachment; filename=\"lab.rdp\""));
}

void TestDemoPortal::servesOverHttps_data()
{
    QTest::addColumn<bool>("plainHttp");
    QTest::addRow("https") << false;
    QTest::addRow("http") << true;
}

void TestDemoPortal::servesOverHttps()
{
    QFETCH(bool, plainHttp);
    DemoPortal::Options options = testOptions();
    options.plainHttp = plainHttp;
    DemoPortal portal(options);
    QSignalSpy started(&portal, &DemoPortal::started);
    portal.start();
    QTRY_COMPARE(started.count(), 1);
    const QUrl url = started.first().first().toUrl();
    QCOMPARE(url.scheme(), plainHttp ? QStringLiteral("http") : QStringLiteral("https"));
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    QVERIFY(url.port() > 0);

    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(url.toString() + QStringLiteral("?username=al%E9&password=x&sid=6a6d&a=a")));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    request.setSslConfiguration(tls);
    request.setRawHeader("Accept-Language", "en-US,en,*");
    QScopedPointer<QNetworkReply> reply(manager.get(request));
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    const QString page = QString::fromUtf8(reply->readAll());
    QVERIFY(page.contains(QString::fromUtf8("<strong id=\"user\">al\xC3\xA9</strong>")));
    QVERIFY(page.contains(QStringLiteral("<code id=\"serial\">DC</code>")));
}

void TestDemoPortal::createsMissingCertificate()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DemoPortal::Options options = testOptions();
    options.certificatePath = dir.filePath(QStringLiteral("new/cert.pem"));
    options.keyPath = dir.filePath(QStringLiteral("new/key.pem"));
    DemoPortal portal(options);
    QSignalSpy started(&portal, &DemoPortal::started);
    QSignalSpy failed(&portal, &DemoPortal::failed);
    portal.start();
    QTRY_VERIFY_WITH_TIMEOUT(started.count() + failed.count() > 0, 30000);
    QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));

    QFile cert(options.certificatePath);
    QVERIFY(cert.open(QIODevice::ReadOnly));
    const QList<QSslCertificate> certificates = QSslCertificate::fromDevice(&cert);
    QCOMPARE(certificates.size(), 1);
    QCOMPARE(certificates.first().subjectInfo(QSslCertificate::CommonName),
        QStringList {QStringLiteral("localhost")});

    // A second start uses the pair it finds.
    QFile again(options.certificatePath);
    QVERIFY(again.open(QIODevice::ReadOnly));
    const QByteArray pem = again.readAll();
    DemoPortal second(options);
    QSignalSpy secondStarted(&second, &DemoPortal::started);
    second.start();
    QTRY_COMPARE(secondStarted.count(), 1);
    QFile after(options.certificatePath);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), pem);
}

void TestDemoPortal::refusesHalfACertificatePair()
{
    QTemporaryDir dir;
    DemoPortal::Options options = testOptions();
    options.keyPath = dir.filePath(QStringLiteral("missing-key.pem"));
    DemoPortal portal(options);
    QSignalSpy failed(&portal, &DemoPortal::failed);
    QSignalSpy started(&portal, &DemoPortal::started);
    portal.start();
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(started.count(), 0);
    QVERIFY(!QFile::exists(options.keyPath));
}

QTEST_GUILESS_MAIN(TestDemoPortal)
#include "TestDemoPortal.moc"
