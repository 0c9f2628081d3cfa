#include "SecretMask.h"

#include <QtTest>

class TestSecretMask : public QObject
{
    Q_OBJECT

private slots:
    void argument_data();
    void argument();
    void commandLine();
    void line_data();
    void line();
    void secrets_data();
    void secrets();
};

void TestSecretMask::argument_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("masked");

    QTest::addRow("password") << "/p:Hunter2"
                              << "/p:***";
    QTest::addRow("empty password") << "/p:"
                                    << "/p:***";
    QTest::addRow("password with blank") << "/p:two words"
                                         << "/p:***";
    QTest::addRow("gateway password") << "/gp:Top$ecret"
                                      << "/gp:***";
    QTest::addRow("gateway item") << "/gateway:g:gw:443,u:bob,p:Sec:ret,d:CORP"
                                  << "/gateway:g:gw:443,u:bob,p:***,d:CORP";
    QTest::addRow("gateway item first") << "/gateway:p:x,g:gw"
                                        << "/gateway:p:***,g:gw";
    QTest::addRow("gateway without password") << "/gateway:g:gw,u:bob"
                                              << "/gateway:g:gw,u:bob";
    QTest::addRow("gateway user named p") << "/gateway:g:gw,u:p:x"
                                          << "/gateway:g:gw,u:p:x";
    QTest::addRow("the word password") << "/sec:PassWord=abc"
                                       << "/sec:PassWord***";
    QTest::addRow("word at the very end") << "/x:password"
                                          << "/x:password";
    QTest::addRow("user kept") << "/u:bob"
                               << "/u:bob";
    QTest::addRow("printer kept") << "/printer"
                                  << "/printer";
    QTest::addRow("path kept") << "/tmp/velmoclient-0/tmp.rdp"
                               << "/tmp/velmoclient-0/tmp.rdp";
}

void TestSecretMask::argument()
{
    QFETCH(QString, argument);
    QFETCH(QString, masked);
    QCOMPARE(maskArgument(argument), masked);
}

void TestSecretMask::commandLine()
{
    QCOMPARE(maskedCommandLine({QStringLiteral("/tmp/a b/tmp.rdp"), QStringLiteral("/p:x y"),
                 QStringLiteral("/gp:s"), QStringLiteral("/f")}),
        QStringLiteral("/tmp/a b/tmp.rdp /p:*** /gp:*** /f"));
    // The word hides the rest of the line, later arguments included.
    QCOMPARE(
        maskedCommandLine({QStringLiteral("/f"), QStringLiteral("/x:password=1"), QStringLiteral("/y:2")}),
        QStringLiteral("/f /x:password***"));
}

void TestSecretMask::line_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("masked");

    QTest::addRow("plain") << "ERRCONNECT_CONNECT_FAILED [0x00020006]"
                           << "ERRCONNECT_CONNECT_FAILED [0x00020006]";
    QTest::addRow("option echoed") << "arguments: /u:bob /p:Hunter2 /f"
                                   << "arguments: /u:bob /p:*** /f";
    QTest::addRow("option at start") << "/gp:abc rejected"
                                     << "/gp:*** rejected";
    QTest::addRow("option quoted") << "unknown '/p:abc'"
                                   << "unknown '/p:***'";
    QTest::addRow("not an option") << "see http://host/p:abc"
                                   << "see http://host/p:abc";
    QTest::addRow("gateway") << "bad /gateway:g:gw,p:abc,u:x here"
                             << "bad /gateway:g:gw,p:***,u:x here";
    QTest::addRow("password word") << "Enter PASSWORD for bob: hunter2"
                                   << "Enter PASSWORD***";
    QTest::addRow("lower case") << "invalid password hunter2"
                                << "invalid password***";
}

void TestSecretMask::line()
{
    QFETCH(QString, line);
    QFETCH(QString, masked);
    QCOMPARE(maskLine(line), masked);
}

void TestSecretMask::secrets_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("secrets");
    QTest::addRow("gateway password, FreeRDP 2")
        << QStringList {"/tmp/tmp.rdp", "/g:gw", "/gp:Gw-Pa55", "/f"} << QStringList {"Gw-Pa55"};
    QTest::addRow("gateway password, FreeRDP 3")
        << QStringList {"/gateway:g:gw,u:u,p:Gw-Pa55,d:x", "/p:"} << QStringList {"Gw-Pa55"};
    QTest::addRow("both kinds") << QStringList {"/p:Desk1", "/gp:Gate2"} << QStringList {"Desk1", "Gate2"};
    QTest::addRow("empty values") << QStringList {"/p:", "/gp:", "/gateway:g:gw,p:"} << QStringList();
    QTest::addRow("option names alike") << QStringList {"/port:1", "/printer", "/gu:pam"} << QStringList();
}

void TestSecretMask::secrets()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, secrets);
    QCOMPARE(secretsOf(arguments), secrets);
}

QTEST_GUILESS_MAIN(TestSecretMask)
#include "TestSecretMask.moc"
