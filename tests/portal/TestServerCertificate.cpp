#include "CertificateStore.h"
#include "QProgressIndicator.h"
#include "ServerCertificate.h"
#include "support/MessageBoxRecorder.h"
#include "support/PortalServer.h"
#include "support/PortalWindow.h"

#include <QSslCertificate>
#include <QtTest>

namespace {

const QByteArray passwordPair = QByteArrayLiteral("password=S3cr3t%20pw");

QString fingerprintOf(const QString &name)
{
    const QList<QSslCertificate> found
        = QSslCertificate::fromPath(QStringLiteral(TEST_DATA_DIR "/%1-cert.pem").arg(name));
    return found.isEmpty() ? QString() : certificateFingerprint(found.first());
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

// Whose certificate may receive the password, against a local HTTPS portal
// that changes its certificate, with the real web engine. The web engine
// remembers, per process, every certificate it was once told to accept: the
// impostor's certificate is shown to the portal view first in
// changeSeenOnlyByThePortal, and the second one first in changeOnALaterLoad
// (refused before it is trusted), so the order below matters.
class TestServerCertificate : public QObject, private PortalWindow
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void changeSeenOnlyByThePortal_data();
    void changeSeenOnlyByThePortal();
    void changeOnALaterLoad_data();
    void changeOnALaterLoad();
    void changedCertificate_data();
    void changedCertificate();
    void modes_data();
    void modes();
    void otherServersKeepTheEnginesVerdict_data();
    void otherServersKeepTheEnginesVerdict();

private:
    void login();
    // Logs in against a server now showing the certificate presented, where
    // "test" is remembered: the question comes before any request carrying
    // the password, names both, and the answer is logged.
    void loginMeetsQuestion(const QString &title, const QString &presented, bool trust);
    int passwordRequests() const;
    QString hostPort() const;
    bool logHas(const QStringList &words) const;

    QScopedPointer<PortalServer> server;
    MessageBoxRecorder boxes;
};

void TestServerCertificate::init()
{
    QVERIFY(freshHome());
    server.reset(new PortalServer);
    QVERIFY(server->start());
    boxes.clear();
    boxes.answer = false;
    boxes.onQuestion = nullptr;
}

void TestServerCertificate::cleanup()
{
    window.reset();
    server.reset();
    leaveHome();
}

void TestServerCertificate::login()
{
    QVERIFY(PortalWindow::login(server->address(), QStringLiteral("user"), QStringLiteral("S3cr3t pw")));
}

int TestServerCertificate::passwordRequests() const
{
    int count = 0;
    const QVector<HttpRequest> all = server->requests();
    for (const HttpRequest &request : all)
        count += request.rawQuery.contains(passwordPair) ? 1 : 0;
    return count;
}

QString TestServerCertificate::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(server->port());
}

bool TestServerCertificate::logHas(const QStringList &words) const
{
    QFile log(logFilePath(QDate::currentDate()));
    if (!log.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        bool all = true;
        for (const QString &word : words)
            all = all && line.contains(word);
        if (all)
            return true;
    }
    return false;
}

void TestServerCertificate::loginMeetsQuestion(const QString &title, const QString &presented, bool trust)
{
    boxes.answer = trust;
    int passwordsWhileAsked = -1;
    boxes.onQuestion = [&] { passwordsWhileAsked = passwordRequests(); };
    login();

    QTRY_VERIFY_WITH_TIMEOUT(boxes.questions() > 0 || passwordRequests() > 0, 30000);
    boxes.onQuestion = nullptr;
    QVERIFY2(boxes.questions() == 1,
        qPrintable(
            QStringLiteral("no question, and %1 request(s) carrying the password").arg(passwordRequests())));
    QCOMPARE(passwordsWhileAsked, 0);
    QCOMPARE(boxes.first().title, title);
    QVERIFY(boxes.first().text.contains(hostPort()));
    QVERIFY(boxes.first().text.contains(fingerprintOf(QStringLiteral("test"))));
    QVERIFY(boxes.first().text.contains(fingerprintOf(presented)));
    QTRY_VERIFY(logHas({hostPort(), fingerprintOf(QStringLiteral("test")), fingerprintOf(presented),
        trust ? QStringLiteral("trust") : QStringLiteral("cancel")}));
}

void TestServerCertificate::changeSeenOnlyByThePortal_data()
{
    QTest::addColumn<bool>("trust");
    QTest::addRow("cancel") << false;
    QTest::addRow("trust repeats the login") << true;
}

void TestServerCertificate::changeSeenOnlyByThePortal()
{
    QFETCH(bool, trust);
    // The identity check meets the portal's certificate, the sign-in someone else's.
    server->certificateAfterIdentity = QStringLiteral("impostor");
    loginMeetsQuestion(QStringLiteral("服务器证书已更改"), QStringLiteral("impostor"), trust);
    if (QTest::currentTestFailed())
        return;

    if (trust) {
        // The same login once more, now with the new certificate remembered.
        QTRY_COMPARE_WITH_TIMEOUT(passwordRequests(), 1, 30000);
        QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())),
            fingerprintOf(QStringLiteral("impostor")));
        QCOMPARE(boxes.questions(), 1);
        return;
    }
    // The view that met the certificate is gone and the form is back.
    QTRY_VERIFY(portalPages(window.data()).isEmpty());
    QTRY_VERIFY(window->findChild<QWidget *>(QStringLiteral("loginWidget"))->isEnabled());
    QCOMPARE(passwordRequests(), 0);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())), fingerprintOf(QStringLiteral("test")));
}

void TestServerCertificate::changeOnALaterLoad_data()
{
    QTest::addColumn<bool>("trust");
    QTest::addRow("cancel") << false;
    QTest::addRow("trust reloads") << true;
}

void TestServerCertificate::changeOnALaterLoad()
{
    QFETCH(bool, trust);
    login();
    QTRY_COMPARE_WITH_TIMEOUT(passwordRequests(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    const QList<QWebEnginePage *> pages = portalPages(window.data());
    QCOMPARE(pages.size(), 1);

    // The page's icon is the last thing it fetches by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!server->requestsTo(QStringLiteral("/favicon.ico")).isEmpty(), 30000);
    // The portal is open when its server turns up with another certificate.
    QVERIFY(server->restart(QStringLiteral("second")));
    boxes.answer = trust;
    int loadsWhileAsked = -1;
    boxes.onQuestion = [&] { loadsWhileAsked = server->requestsTo(QStringLiteral("/page2")).size(); };
    pages.first()->runJavaScript(QStringLiteral("location.href = '/page2';"));
    QTRY_VERIFY_WITH_TIMEOUT(
        boxes.questions() > 0 || !server->requestsTo(QStringLiteral("/page2")).isEmpty(), 30000);
    QVERIFY2(boxes.questions() == 1, "the load went on without a question");
    QCOMPARE(loadsWhileAsked, 0);
    QTRY_VERIFY(logHas({hostPort(), fingerprintOf(QStringLiteral("second")),
        trust ? QStringLiteral("trust") : QStringLiteral("cancel")}));

    if (trust)
        QTRY_COMPARE_WITH_TIMEOUT(server->requestsTo(QStringLiteral("/page2")).size(), 1, 30000);
    // The portal stays open either way, the form under it out of reach.
    QCOMPARE(portalPages(window.data()), pages);
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("loginWidget"))->isEnabled());
    QCOMPARE(passwordRequests(), 1);
    QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())),
        fingerprintOf(trust ? QStringLiteral("second") : QStringLiteral("test")));
}

void TestServerCertificate::changedCertificate_data()
{
    QTest::addColumn<bool>("trust");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addRow("trust, English") << true << 1 << "Server certificate changed";
    QTest::addRow("cancel, Chinese") << false << 0 << "服务器证书已更改";
}

void TestServerCertificate::changedCertificate()
{
    QFETCH(bool, trust);
    QFETCH(int, language);
    QFETCH(QString, title);
    writeSetting(QStringLiteral("language"), QString::number(language));

    // First contact: remembered without a word, and the portal opens.
    login();
    QTRY_COMPARE_WITH_TIMEOUT(passwordRequests(), 1, 30000);
    QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())), fingerprintOf(QStringLiteral("test")));
    QVERIFY(boxes.isEmpty());

    // The same address with a new certificate.
    window.reset();
    QVERIFY(server->restart(QStringLiteral("second")));
    server->clearRequests();
    loginMeetsQuestion(title, QStringLiteral("second"), trust);
    if (QTest::currentTestFailed())
        return;

    if (trust) {
        QTRY_COMPARE_WITH_TIMEOUT(passwordRequests(), 1, 30000);
        QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())),
            fingerprintOf(QStringLiteral("second")));
        return;
    }
    // The log line above came after the answer: the login has ended.
    QVERIFY(portalPages(window.data()).isEmpty());
    QVERIFY(window->findChild<QWidget *>(QStringLiteral("loginWidget"))->isEnabled());
    QCOMPARE(passwordRequests(), 0);
    QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())), fingerprintOf(QStringLiteral("test")));
}

void TestServerCertificate::modes_data()
{
    QTest::addColumn<QString>("mode"); // the user's certificateCheck
    QTest::addColumn<QString>("mandatory"); // the system file's, "" for none
    QTest::addColumn<QString>("written"); // certificate remembered in advance by hand
    QTest::addColumn<QString>("pinned"); // in the system file
    QTest::addColumn<QString>("served");
    QTest::addColumn<QString>("refusal"); // the box's title, "" when the portal opens
    QTest::addColumn<QString>("rememberedAfter");

    QTest::addRow("any: a changed certificate opens as before") << "any"
                                                                << ""
                                                                << "test"
                                                                << ""
                                                                << "second"
                                                                << ""
                                                                << "test";
    QTest::addRow("any: first contact opens, nothing remembered") << "any"
                                                                  << ""
                                                                  << ""
                                                                  << ""
                                                                  << "test"
                                                                  << ""
                                                                  << "";
    QTest::addRow("strict: an unknown self-signed certificate is refused") << "strict"
                                                                           << ""
                                                                           << ""
                                                                           << ""
                                                                           << "test"
                                                                           << "错误"
                                                                           << "";
    QTest::addRow("strict: one written in advance opens") << "strict"
                                                          << ""
                                                          << "test"
                                                          << ""
                                                          << "test"
                                                          << ""
                                                          << "test";
    QTest::addRow("strict: mandatory beats the user's any") << "any"
                                                            << "strict"
                                                            << ""
                                                            << ""
                                                            << "test"
                                                            << "错误"
                                                            << "";
    QTest::addRow("pinned: first contact checked and opens") << ""
                                                             << ""
                                                             << ""
                                                             << "test"
                                                             << "test"
                                                             << ""
                                                             << "";
    QTest::addRow("pinned: another certificate refused without a choice") << ""
                                                                          << ""
                                                                          << "second"
                                                                          << "test"
                                                                          << "second"
                                                                          << "服务器证书已更改"
                                                                          << "second";
}

void TestServerCertificate::modes()
{
    QFETCH(QString, mode);
    QFETCH(QString, mandatory);
    QFETCH(QString, written);
    QFETCH(QString, pinned);
    QFETCH(QString, served);
    QFETCH(QString, refusal);
    QFETCH(QString, rememberedAfter);
    if (served != QLatin1String("test"))
        QVERIFY(server->restart(served));

    // Written as an administrator would, the key with a plain ':'.
    QByteArray user = "[General]\ncertificateCheck=" + mode.toLatin1() + "\n";
    if (!written.isEmpty())
        user += "[Certificates]\n" + hostPort().toLatin1() + "=" + fingerprintOf(written).toLatin1() + "\n";
    QVERIFY(writeFile(home->configFile(), user));
    QByteArray system;
    if (!mandatory.isEmpty())
        system += "[Mandatory]\ncertificateCheck=" + mandatory.toLatin1() + "\n";
    if (!pinned.isEmpty())
        system += "[Certificates]\n" + hostPort().toLatin1() + "=" + fingerprintOf(pinned).toLatin1() + "\n";
    if (!system.isEmpty())
        QVERIFY(home->writeSystemConfig(system));

    login();
    if (refusal.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(passwordRequests(), 1, 30000);
        QVERIFY(boxes.isEmpty());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!boxes.isEmpty() || passwordRequests() > 0, 30000);
        QCOMPARE(passwordRequests(), 0);
        QCOMPARE(boxes.questions(), 0);
        QCOMPARE(boxes.first().title, refusal);
        QVERIFY(boxes.first().text.contains(hostPort()));
        QVERIFY(boxes.first().text.contains(fingerprintOf(served)));
        QVERIFY(portalPages(window.data()).isEmpty());
    }
    QCOMPARE(normalizedFingerprint(rememberedFingerprint(hostPort())),
        rememberedAfter.isEmpty() ? QString() : fingerprintOf(rememberedAfter));
}

void TestServerCertificate::otherServersKeepTheEnginesVerdict_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addRow("remember") << "remember";
    QTest::addRow("strict") << "strict";
}

void TestServerCertificate::otherServersKeepTheEnginesVerdict()
{
    QFETCH(QString, mode);
    // A frame of another host (localhost beside 127.0.0.1) with a certificate
    // of its own making: neither taken, stored nor asked about.
    PortalServer other;
    QVERIFY(other.start(QStringLiteral("second")));
    const QString frame = QStringLiteral("https://localhost:%1").arg(other.port());
    server->signInExtra = "<iframe src='" + frame.toLatin1() + "/page1'></iframe>";
    if (mode == QLatin1String("strict"))
        QVERIFY(writeSetting(QStringLiteral("certificateCheck"), mode));
    // The portal's own, remembered: the only certificate strict mode takes.
    QVERIFY(rememberFingerprint(hostPort(), fingerprintOf(QStringLiteral("test"))));
    login();
    QTRY_VERIFY_WITH_TIMEOUT(logHas({QStringLiteral("certificate of %1 not trusted").arg(frame)}), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    QCOMPARE(passwordRequests(), 1);
    QVERIFY(boxes.isEmpty());
    QVERIFY(other.requests().isEmpty());
    QVERIFY(rememberedFingerprint(QStringLiteral("localhost:%1").arg(other.port())).isEmpty());
    QCOMPARE(portalPages(window.data()).size(), 1);
}

QTEST_MAIN(TestServerCertificate)
#include "TestServerCertificate.moc"
