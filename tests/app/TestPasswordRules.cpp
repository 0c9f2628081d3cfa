#include "PasswordRules.h"

#include <QtTest>

Q_DECLARE_METATYPE(PasswordPlace)
Q_DECLARE_METATYPE(PasswordAtStart)

class TestPasswordRules : public QObject
{
    Q_OBJECT

private slots:
    void placeOfALogin_data();
    void placeOfALogin();
    void atStart_data();
    void atStart();
    void keyringKeys_data();
    void keyringKeys();
};

// fixed, fixedValue: the administrator fixed recordpass, at "1" or "0".
void TestPasswordRules::placeOfALogin_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<bool>("fixedValue");
    QTest::addColumn<bool>("keyringAnswered");
    QTest::addColumn<PasswordPlace>("place");

    QTest::addRow("remembered, keyring answers") << true << false << false << true << PasswordPlace::Keyring;
    QTest::addRow("remembered, no keyring") << true << false << false << false << PasswordPlace::File;
    QTest::addRow("not remembered") << false << false << false << true << PasswordPlace::Nowhere;
    QTest::addRow("not remembered, no keyring") << false << false << false << false << PasswordPlace::Nowhere;
    QTest::addRow("fixed on by the administrator") << true << true << true << true << PasswordPlace::Keyring;
    QTest::addRow("fixed off, not even the file without a keyring")
        << true << true << false << false << PasswordPlace::Nowhere;
    QTest::addRow("fixed off, not the keyring") << true << true << false << true << PasswordPlace::Nowhere;
}

void TestPasswordRules::placeOfALogin()
{
    QFETCH(bool, remember);
    QFETCH(bool, fixed);
    QFETCH(bool, fixedValue);
    QFETCH(bool, keyringAnswered);
    QFETCH(PasswordPlace, place);
    QCOMPARE(passwordPlace(remember, passwordMayBeKept(fixed, fixedValue), keyringAnswered), place);
}

void TestPasswordRules::atStart_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("fixedOff");
    QTest::addColumn<bool>("fileHolds");
    QTest::addColumn<PasswordAtStart>("step");

    QTest::addRow("remembered in the keyring") << true << false << false << PasswordAtStart::ReadKeyring;
    QTest::addRow("left in the file by an older version")
        << true << false << true << PasswordAtStart::MoveToKeyring;
    QTest::addRow("nothing remembered") << false << false << false << PasswordAtStart::Nothing;
    QTest::addRow("a file password without the box") << false << false << true << PasswordAtStart::ClearFile;
    QTest::addRow("fixed off, file holds one") << true << true << true << PasswordAtStart::ClearFile;
    QTest::addRow("fixed off, the keyring is not asked") << true << true << false << PasswordAtStart::Nothing;
}

void TestPasswordRules::atStart()
{
    QFETCH(bool, remember);
    QFETCH(bool, fixedOff);
    QFETCH(bool, fileHolds);
    QFETCH(PasswordAtStart, step);
    QCOMPARE(passwordAtStart(remember, passwordMayBeKept(fixedOff, false), fileHolds), step);
}

void TestPasswordRules::keyringKeys_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("otherServer");
    QTest::addColumn<QString>("otherUser");

    QTest::addRow("another user") << "10.0.0.5"
                                  << "alice"
                                  << "10.0.0.5"
                                  << "bob";
    QTest::addRow("another server") << "10.0.0.5"
                                    << "alice"
                                    << "https://10.0.0.5"
                                    << "alice";
    QTest::addRow("an @ moved between user and server") << "c"
                                                        << "a@b"
                                                        << "b@c"
                                                        << "a";
    QTest::addRow("the user's @ against an encoded one") << "s"
                                                         << "a@b"
                                                         << "s"
                                                         << "a%40b";
    QTest::addRow("letter case") << "s"
                                 << "Alice"
                                 << "s"
                                 << "alice";
}

// Two logins the user tells apart never share a keyring entry.
void TestPasswordRules::keyringKeys()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, otherServer);
    QFETCH(QString, otherUser);
    QCOMPARE(keyringKey(server, user), keyringKey(server, user));
    QVERIFY(keyringKey(server, user) != keyringKey(otherServer, otherUser));
}

QTEST_GUILESS_MAIN(TestPasswordRules)
#include "TestPasswordRules.moc"
