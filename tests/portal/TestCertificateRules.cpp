#include "CertificateStore.h"
#include "CertificateTrust.h"
#include "ConfigStore.h"
#include "PortalOrigin.h"
#include "ServerCertificate.h"
#include "support/TestHome.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(CertificateCheckMode)
Q_DECLARE_METATYPE(CertificateVerdict)

namespace {

const QString first = fingerprintText(QByteArray(32, '\x1f'));
const QString second = fingerprintText(QByteArray(32, '\x2e'));

bool writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

// Which certificate may receive the password, and where that is read from.
class TestCertificateRules : public QObject
{
    Q_OBJECT

private slots:
    void judge_data();
    void judge();
    void modeText_data();
    void modeText();
    void fingerprintForms_data();
    void fingerprintForms();
    void fingerprintAsOpensslPrintsIt();
    void hostPort_data();
    void hostPort();
    void storedSettings_data();
    void storedSettings();
    void keyForms_data();
    void keyForms();
    void pinWarnings_data();
    void pinWarnings();
    void scope_data();
    void scope();
    void storeAskedWhereItCounts_data();
    void storeAskedWhereItCounts();
};

void TestCertificateRules::judge_data()
{
    using M = CertificateCheckMode;
    using V = CertificateVerdict;
    QTest::addColumn<CertificateCheckMode>("mode");
    QTest::addColumn<bool>("systemTrusted");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("pinned");
    QTest::addColumn<QString>("presented");
    QTest::addColumn<CertificateVerdict>("verdict");

    QTest::addRow("system-trusted, first contact") << M::Remember << true << ""
                                                   << "" << first << V::AcceptAndRemember;
    QTest::addRow("system-trusted, renewed")
        << M::Remember << true << second << "" << first << V::AcceptAndRemember;
    QTest::addRow("system-trusted, same") << M::Remember << true << first << "" << first << V::Accept;
    QTest::addRow("self-signed, first contact") << M::Remember << false << ""
                                                << "" << first << V::AcceptAndRemember;
    QTest::addRow("self-signed, same") << M::Remember << false << first << "" << first << V::Accept;
    QTest::addRow("self-signed, different") << M::Remember << false << first << "" << second << V::Ask;
    QTest::addRow("same, written by hand in lower case without colons")
        << M::Remember << false << first.toLower().remove(QLatin1Char(':')) << "" << first << V::Accept;
    QTest::addRow("same, pasted as openssl prints it")
        << M::Remember << false << "sha256 Fingerprint=" + first << "" << first << V::Accept;
    QTest::addRow("garbled remembered value asks") << M::Remember << false << "xyz"
                                                   << "" << first << V::Ask;
    // Trusted when it was remembered (by the identity check), untrusted now
    // (the web engine's own store).
    QTest::addRow("trusted before, untrusted now, same")
        << M::Remember << false << first << "" << first << V::Accept;
    QTest::addRow("trusted before, untrusted now, another")
        << M::Remember << false << first << "" << second << V::Ask;
    QTest::addRow("pinned, same") << M::Remember << false << second << first << first << V::Accept;
    QTest::addRow("pinned, first contact") << M::Remember << false << "" << first << first << V::Accept;
    QTest::addRow("pinned, different though remembered")
        << M::Remember << false << first << second << first << V::RefusePinned;
    QTest::addRow("pinned, different though system-trusted")
        << M::Remember << true << "" << second << first << V::RefusePinned;
    QTest::addRow("pinned garbage refuses") << M::Remember << false << ""
                                            << "zz" << first << V::RefusePinned;
    QTest::addRow("any, different") << M::Any << false << first << "" << second << V::Accept;
    QTest::addRow("any, pinned different") << M::Any << false << "" << second << first << V::Accept;
    QTest::addRow("any, first contact is not remembered") << M::Any << false << ""
                                                          << "" << first << V::Accept;
    QTest::addRow("strict, unknown self-signed") << M::Strict << false << ""
                                                 << "" << first << V::RefuseUnknown;
    QTest::addRow("strict, written in advance") << M::Strict << false << first << "" << first << V::Accept;
    QTest::addRow("strict, different") << M::Strict << false << first << "" << second << V::RefuseUnknown;
    QTest::addRow("strict, system-trusted") << M::Strict << true << ""
                                            << "" << first << V::AcceptAndRemember;
    QTest::addRow("strict, pinned same") << M::Strict << false << "" << first << first << V::Accept;
    QTest::addRow("strict, pinned different")
        << M::Strict << true << "" << second << first << V::RefusePinned;
}

void TestCertificateRules::judge()
{
    QFETCH(CertificateCheckMode, mode);
    QFETCH(bool, systemTrusted);
    QFETCH(QString, remembered);
    QFETCH(QString, pinned);
    QFETCH(QString, presented);
    QFETCH(CertificateVerdict, verdict);
    QCOMPARE(judgeCertificate(mode, systemTrusted, remembered, pinned, presented), verdict);
}

void TestCertificateRules::modeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<CertificateCheckMode>("mode");
    QTest::addRow("absent") << "" << CertificateCheckMode::Remember;
    QTest::addRow("remember") << "remember" << CertificateCheckMode::Remember;
    QTest::addRow("any") << "any" << CertificateCheckMode::Any;
    QTest::addRow("strict") << "strict" << CertificateCheckMode::Strict;
    QTest::addRow("upper case, blanks") << " STRICT " << CertificateCheckMode::Strict;
    QTest::addRow("typing error") << "anything" << CertificateCheckMode::Remember;
}

void TestCertificateRules::modeText()
{
    QFETCH(QString, text);
    QFETCH(CertificateCheckMode, mode);
    QCOMPARE(certificateCheckModeFrom(text), mode);
}

void TestCertificateRules::fingerprintForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normal");
    QTest::addRow("as printed") << "AB:0C:FF"
                                << "AB:0C:FF";
    QTest::addRow("lower case") << "ab:0c:ff"
                                << "AB:0C:FF";
    QTest::addRow("no colons") << "ab0cff"
                               << "AB:0C:FF";
    QTest::addRow("openssl line") << "sha256 Fingerprint=AB:0C:FF"
                                  << "AB:0C:FF";
    QTest::addRow("blanks around") << "  AB:0C:FF "
                                   << "AB:0C:FF";
    QTest::addRow("empty") << ""
                           << "";
}

void TestCertificateRules::fingerprintForms()
{
    QFETCH(QString, text);
    QFETCH(QString, normal);
    QCOMPARE(normalizedFingerprint(text), normal);
    QCOMPARE(fingerprintText(QByteArray::fromHex("ab0cff")), QStringLiteral("AB:0C:FF"));
}

void TestCertificateRules::fingerprintAsOpensslPrintsIt()
{
    const QString pem = QStringLiteral(TEST_DATA_DIR "/test-cert.pem");
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(pem);
    QCOMPARE(certificates.size(), 1);
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        QSKIP("openssl is not installed");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
        {QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
            QStringLiteral("-sha256"), QStringLiteral("-in"), pem});
    QVERIFY(openssl.waitForFinished(30000));
    const QString printed = QString::fromLatin1(openssl.readAllStandardOutput()).trimmed();
    QVERIFY2(printed.contains(QLatin1Char('=')), qPrintable(printed));
    QCOMPARE(certificateFingerprint(certificates.first()), printed.section(QLatin1Char('='), 1));
    QVERIFY(!systemTrustsChain(certificates, QStringLiteral("127.0.0.1")));
}

void TestCertificateRules::hostPort_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("hostPort");
    QTest::addRow("https default port") << "https://portal.example"
                                        << "portal.example:443";
    QTest::addRow("http default port") << "http://portal.example/"
                                       << "portal.example:80";
    QTest::addRow("own port and path") << "https://10.0.0.5:8443/public/x.do"
                                       << "10.0.0.5:8443";
    QTest::addRow("sign-in address") << "https://10.0.0.5?username=a&password=b&sid=&a=a/"
                                     << "10.0.0.5:443";
    QTest::addRow("host in capitals") << "https://Portal.Example:443"
                                      << "portal.example:443";
    QTest::addRow("IPv6") << "https://[::1]:9443/"
                          << "[::1]:9443";
    QTest::addRow("full name with trailing dot") << "https://Portal.Example.:8443/"
                                                 << "portal.example:8443";
    QTest::addRow("no host") << "file:///tmp/x"
                             << "";
}

void TestCertificateRules::hostPort()
{
    QFETCH(QString, url);
    QFETCH(QString, hostPort);
    QCOMPARE(hostPortOf(QUrl(url, QUrl::TolerantMode)), hostPort);
}

void TestCertificateRules::storedSettings_data()
{
    QTest::addColumn<QByteArray>("userFile");
    QTest::addColumn<QByteArray>("systemFile"); // null: none
    QTest::addColumn<CertificateCheckMode>("mode");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("pinned");
    const QByteArray fp = first.toLatin1();
    const QByteArray other = second.toLatin1();
    QTest::addRow("nothing anywhere") << QByteArray() << QByteArray() << CertificateCheckMode::Remember << ""
                                      << "";
    QTest::addRow("user's, written with ':' by hand")
        << "[General]\ncertificateCheck=strict\n[Certificates]\nportal.example:443=" + fp + "\n"
        << QByteArray() << CertificateCheckMode::Strict << first << "";
    QTest::newRow("user's, written with %3A")
        << "[Certificates]\nportal.example%3A443=" + fp + "\n"
        << QByteArray() << CertificateCheckMode::Remember << first << "";
    QTest::addRow("another port is another server") << "[Certificates]\nportal.example:8443=" + fp + "\n"
                                                    << QByteArray() << CertificateCheckMode::Remember << ""
                                                    << "";
    QTest::addRow("system's pinned beside the user's") << "[Certificates]\nportal.example:443=" + fp + "\n"
                                                       << "[Certificates]\nportal.example:443=" + other + "\n"
                                                       << CertificateCheckMode::Remember << first << second;
    QTest::addRow("system default gives way to the user's")
        << QByteArray("[General]\ncertificateCheck=any\n")
        << QByteArray("[General]\ncertificateCheck=strict\n") << CertificateCheckMode::Any << ""
        << "";
    QTest::addRow("system default without the user's")
        << QByteArray() << QByteArray("[General]\ncertificateCheck=strict\n") << CertificateCheckMode::Strict
        << ""
        << "";
    QTest::addRow("pin written in capitals")
        << QByteArray() << "[Certificates]\nPortal.Example:443=" + other + "\n"
        << CertificateCheckMode::Remember << "" << second;
    QTest::addRow("pin without its port") << QByteArray() << "[Certificates]\nportal.example=" + other + "\n"
                                          << CertificateCheckMode::Remember << "" << second;
    QTest::addRow("pin with a trailing dot")
        << QByteArray() << "[Certificates]\nportal.example.:443=" + other + "\n"
        << CertificateCheckMode::Remember << "" << second;
    QTest::addRow("pin for another port")
        << QByteArray() << "[Certificates]\nportal.example:8443=" + other + "\n"
        << CertificateCheckMode::Remember << ""
        << "";
    QTest::addRow("user's in another form") << "[Certificates]\nPORTAL.example.=" + fp + "\n"
                                            << QByteArray() << CertificateCheckMode::Remember << first << "";
    QTest::addRow("system mandatory beats the user's")
        << QByteArray("[General]\ncertificateCheck=any\n")
        << QByteArray("[Mandatory]\ncertificateCheck=strict\n") << CertificateCheckMode::Strict << ""
        << "";
}

void TestCertificateRules::storedSettings()
{
    QFETCH(QByteArray, userFile);
    QFETCH(QByteArray, systemFile);
    QFETCH(CertificateCheckMode, mode);
    QFETCH(QString, remembered);
    QFETCH(QString, pinned);
    TestHome home;
    QVERIFY(home.isValid());
    if (!userFile.isNull())
        QVERIFY(writeFile(home.configFile(), userFile));
    if (!systemFile.isNull())
        QVERIFY(home.writeSystemConfig(systemFile));

    QCOMPARE(certificateCheckMode(), mode);
    const QString key = QStringLiteral("portal.example:443");
    QCOMPARE(normalizedFingerprint(rememberedFingerprint(key)), remembered);
    QCOMPARE(normalizedFingerprint(pinnedFingerprint(key)), pinned);

    // What the launcher remembers reads back under the same key, beside the
    // other settings, and the file stays its owner's.
    writeSetting(QStringLiteral("user"), QStringLiteral("someone"));
    rememberFingerprint(key, second);
    QCOMPARE(rememberedFingerprint(key), second);
    QCOMPARE(readSetting(QStringLiteral("user"), QString()), QStringLiteral("someone"));
    QCOMPARE(normalizedFingerprint(pinnedFingerprint(key)), pinned);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(home.configFile()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
}

void TestCertificateRules::keyForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key"); // "": no host and port
    QTest::addRow("as written") << "portal.example:443"
                                << "portal.example:443";
    QTest::addRow("capitals") << "Portal.EXAMPLE:8443"
                              << "portal.example:8443";
    QTest::addRow("port left out") << "portal.example"
                                   << "portal.example:443";
    QTest::addRow("trailing dot") << "portal.example.:443"
                                  << "portal.example:443";
    QTest::addRow("blanks around") << " 10.0.0.5:443 "
                                   << "10.0.0.5:443";
    QTest::addRow("leading zero in the port") << "10.0.0.5:0443"
                                              << "10.0.0.5:443";
    QTest::addRow("IPv6") << "[::1]:9443"
                          << "[::1]:9443";
    QTest::addRow("IPv6 without port") << "[::1]"
                                       << "[::1]:443";
    QTest::addRow("empty port") << "portal.example:"
                                << "";
    QTest::addRow("port not a number") << "portal.example:https"
                                       << "";
    QTest::addRow("port too large") << "portal.example:70000"
                                    << "";
    QTest::addRow("blank inside") << "portal example:443"
                                  << "";
    QTest::addRow("nothing") << ""
                             << "";
    QTest::addRow("IPv6 unclosed") << "[::1:443"
                                   << "";
}

void TestCertificateRules::keyForms()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(normalizedHostPort(text), key);
}

void TestCertificateRules::pinWarnings_data()
{
    QTest::addColumn<QByteArray>("systemFile");
    QTest::addColumn<QStringList>("warnings"); // words of each warning
    const QByteArray fp = first.toLatin1();
    QTest::addRow("good pins") << "[Certificates]\nportal.example=" + fp + "\nb.example:8443=" + fp + "\n"
                               << QStringList();
    QTest::addRow("key without host and port") << "[Certificates]\nportal.example:x=" + fp + "\n"
                                               << QStringList {"\"portal.example:x\" names no host and port"};
    QTest::addRow("value no fingerprint") << QByteArray("[Certificates]\nportal.example=12:34\n")
                                          << QStringList {"portal.example:443 is no SHA-256 fingerprint"};
    QTest::addRow("no file") << QByteArray() << QStringList();
}

void TestCertificateRules::pinWarnings()
{
    QFETCH(QByteArray, systemFile);
    QFETCH(QStringList, warnings);
    TestHome home;
    QVERIFY(home.isValid());
    if (!systemFile.isNull())
        QVERIFY(home.writeSystemConfig(systemFile));
    const QStringList said = ::pinWarnings();
    QCOMPARE(said.size(), warnings.size());
    for (int i = 0; i < said.size(); ++i)
        QVERIFY2(said.at(i).contains(warnings.at(i)), qPrintable(said.at(i)));
}

void TestCertificateRules::scope_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("server"); // as configured
    QTest::addColumn<QStringList>("pins");
    QTest::addColumn<bool>("inScope");
    QTest::addRow("the server") << "https://portal.example:8443/x"
                                << "https://portal.example:8443" << QStringList() << true;
    QTest::addRow("the server on another port") << "https://portal.example:9443/x"
                                                << "https://portal.example:8443" << QStringList() << true;
    QTest::addRow("server configured without scheme") << "https://Portal.Example/x"
                                                      << "portal.example" << QStringList() << true;
    QTest::addRow("server configured with a trailing dot")
        << "https://portal.example/x"
        << "https://portal.example./" << QStringList() << true;
    QTest::addRow("another host") << "https://cdn.example/lib.js"
                                  << "https://portal.example" << QStringList() << false;
    QTest::addRow("a host whose name holds the server's")
        << "https://portal.example.cdn.example/"
        << "https://portal.example" << QStringList() << false;
    QTest::addRow("a pinned host") << "https://cdn.example/lib.js"
                                   << "https://portal.example" << QStringList {"cdn.example:443"} << true;
    QTest::addRow("a pinned host on another port")
        << "https://cdn.example:8443/"
        << "https://portal.example" << QStringList {"cdn.example:443"} << false;
    QTest::addRow("no host") << "data:,x"
                             << "https://portal.example" << QStringList() << false;
}

void TestCertificateRules::scope()
{
    QFETCH(QString, url);
    QFETCH(QString, server);
    QFETCH(QStringList, pins);
    QFETCH(bool, inScope);
    QCOMPARE(isInCertificateScope(QUrl(url), server, pins), inScope);
}

void TestCertificateRules::storeAskedWhereItCounts_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("remembered"); // "same", "other" or nothing
    QTest::addColumn<bool>("storeTrusts");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<CertificateVerdict>("verdict");

    const auto add = [](const char *name, const char *mode, const char *remembered, bool storeTrusts,
                         bool asked, CertificateVerdict verdict) {
        QTest::addRow("%s", name) << QString::fromLatin1(mode) << QString::fromLatin1(remembered)
                                  << storeTrusts << asked << verdict;
    };
    add("first use", "remember", "", false, false, CertificateVerdict::AcceptAndRemember);
    add("first use, trusted anyway", "remember", "", true, false, CertificateVerdict::AcceptAndRemember);
    add("the one remembered", "remember", "same", false, false, CertificateVerdict::Accept);
    add("changed, untrusted", "remember", "other", false, true, CertificateVerdict::Ask);
    add("changed, trusted by the store", "remember", "other", true, true,
        CertificateVerdict::AcceptAndRemember);
    add("strict, unknown", "strict", "", false, true, CertificateVerdict::RefuseUnknown);
    add("strict, trusted by the store", "strict", "", true, true, CertificateVerdict::AcceptAndRemember);
    add("strict, the one remembered", "strict", "same", false, false, CertificateVerdict::Accept);
    add("any", "any", "other", false, false, CertificateVerdict::Accept);
}

// Reading the system's store is slow: it is asked only where its answer
// changes the verdict, and the verdict is the one it would be anyway.
void TestCertificateRules::storeAskedWhereItCounts()
{
    QFETCH(QString, mode);
    QFETCH(QString, remembered);
    QFETCH(bool, storeTrusts);
    QFETCH(bool, asked);
    QFETCH(CertificateVerdict, verdict);
    TestHome home;
    QVERIFY(home.isValid());
    const QList<QSslCertificate> chain
        = QSslCertificate::fromPath(QStringLiteral(TEST_DATA_DIR "/test-cert.pem"));
    QCOMPARE(chain.size(), 1);
    const QUrl url(QStringLiteral("https://portal.example:8443/public/x.do"));
    writeSetting(QStringLiteral("certificateCheck"), mode);
    if (!remembered.isEmpty())
        rememberFingerprint(QStringLiteral("portal.example:8443"),
            remembered == QLatin1String("same") ? certificateFingerprint(chain.first()) : first);

    int asks = 0;
    const CertificateFinding finding = examineServerCertificate(url, chain, [&] {
        ++asks;
        return storeTrusts;
    });
    QCOMPARE(finding.verdict, verdict);
    QCOMPARE(asks, asked ? 1 : 0);
    QCOMPARE(systemVerdictMatters(url, chain), asked);
    QCOMPARE(finding.verdict, examineServerCertificate(url, chain, storeTrusts).verdict);
}

QTEST_GUILESS_MAIN(TestCertificateRules)
#include "TestCertificateRules.moc"
