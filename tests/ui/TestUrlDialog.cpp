#include "ConfigStore.h"
#include "UrlDialog.h"
#include "support/TestHome.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

class TestUrlDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void startsFromStoredAddress_data();
    void startsFromStoredAddress();
    void closing_data();
    void closing();
    void cancelKeepsTypedTextForNextTime();
    void buildLine_data();
    void buildLine();
    void opensInAddressField_data();
    void opensInAddressField();
    void addressForAllAccounts_data();
    void addressForAllAccounts();
    void plainHttpWarning_data();
    void plainHttpWarning();

private:
    QScopedPointer<TestHome> home;
};

void TestUrlDialog::init()
{
    home.reset(new TestHome);
    QVERIFY(home->isValid());
}

void TestUrlDialog::cleanup()
{
    home.reset();
}

void TestUrlDialog::layout()
{
    UrlDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("UrlDialog"));
    QCOMPARE(dialog.size(), QSize(424, 117));
    QCOMPARE(dialog.windowType(), Qt::Dialog);
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("设置服务器地址"));
    QCOMPARE(dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->geometry(),
        QRect(60, 80, 341, 32));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->geometry(), QRect(10, 20, 91, 16));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("服务器地址"));
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"))->geometry(), QRect(110, 20, 291, 21));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_2"))->geometry(), QRect(10, 90, 121, 16));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_2"))->text(), QStringLiteral("Builder"));
}

void TestUrlDialog::startsFromStoredAddress_data()
{
    QTest::addColumn<QString>("stored"); // null: no key
    QTest::addRow("none") << QString();
    QTest::addRow("host") << "10.0.0.5";
    QTest::addRow("with blanks and scheme") << " https://portal:8443/ ";
}

void TestUrlDialog::startsFromStoredAddress()
{
    QFETCH(QString, stored);
    if (!stored.isNull())
        writeSetting(QStringLiteral("serviceIP"), stored);
    UrlDialog dialog;
    QCOMPARE(dialog.serverAddress, stored.isNull() ? QString() : stored);
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"))->text(), dialog.serverAddress);
}

void TestUrlDialog::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("stored");
    QTest::addRow("ok") << "ok"
                        << " 10.0.0.9 " << true;
    QTest::addRow("enter") << "enter"
                           << "portal.local" << true;
    QTest::addRow("ok with empty field") << "ok" << QString() << true;
    QTest::addRow("cancel") << "cancel"
                            << "10.0.0.9" << false;
    QTest::addRow("escape") << "escape"
                            << "10.0.0.9" << false;
}

void TestUrlDialog::closing()
{
    QFETCH(QString, how);
    QFETCH(QString, typed);
    QFETCH(bool, stored);
    writeSetting(QStringLiteral("serviceIP"), QStringLiteral("old.host"));
    UrlDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    field->clear();
    QTest::keyClicks(field, typed);

    auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (how == QLatin1String("ok"))
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    else if (how == QLatin1String("enter"))
        QTest::keyClick(field, Qt::Key_Return);
    else if (how == QLatin1String("cancel"))
        QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    else
        QTest::keyClick(field, Qt::Key_Escape);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(stored ? QDialog::Accepted : QDialog::Rejected));
    const QString expected = stored ? typed : QStringLiteral("old.host");
    QCOMPARE(dialog.serverAddress, expected);
    QCOMPARE(readSetting(QStringLiteral("serviceIP"), QStringLiteral("<none>")), expected);
}

void TestUrlDialog::cancelKeepsTypedTextForNextTime()
{
    UrlDialog dialog;
    dialog.show();
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QTest::keyClicks(field, QStringLiteral("typed.host"));
    dialog.reject();
    QCOMPARE(dialog.serverAddress, QString());

    dialog.show();
    QCOMPARE(field->text(), QStringLiteral("typed.host"));
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.serverAddress, QStringLiteral("typed.host"));
    QCOMPARE(readSetting(QStringLiteral("serviceIP"), QString()), QStringLiteral("typed.host"));
}

void TestUrlDialog::addressForAllAccounts_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("fixed");
    QTest::addRow("default, user's own wins")
        << QByteArray("[General]\nserviceIP=portal.corp\n") << "mine" << false;
    QTest::addRow("mandatory") << QByteArray("[Mandatory]\nserviceIP=portal.corp\n") << "portal.corp" << true;
}

void TestUrlDialog::addressForAllAccounts()
{
    QFETCH(QByteArray, system);
    QFETCH(QString, shown);
    QFETCH(bool, fixed);
    QVERIFY(home->writeSystemConfig(system));
    writeSetting(QStringLiteral("serviceIP"), QStringLiteral("mine"));
    UrlDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QCOMPARE(field->text(), shown);
    QCOMPARE(dialog.serverAddress, shown);
    QCOMPARE(field->isReadOnly(), fixed);

    field->end(false);
    QTest::keyClicks(field, QStringLiteral(".typed"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    const QString taken = fixed ? shown : shown + QStringLiteral(".typed");
    QCOMPARE(dialog.serverAddress, taken);
    // A fixed address is never written into the user's file.
    QCOMPARE(
        QSettings(home->configFile(), QSettings::IniFormat).value(QStringLiteral("serviceIP")).toString(),
        fixed ? QStringLiteral("mine") : taken);
}

void TestUrlDialog::buildLine_data()
{
    QTest::addColumn<QByteArray>("versionIni"); // null: no file
    QTest::addColumn<QString>("line");
    QTest::addRow("no Version.ini") << QByteArray() << "Builder:";
    QTest::addRow("date") << QByteArray("[General]\nPublish_Date=2026-12-01\n") << "Builder:2026-12-01";
    QTest::addRow("no key") << QByteArray("[General]\nOther=1\n") << "Builder:";
}

void TestUrlDialog::buildLine()
{
    QFETCH(QByteArray, versionIni);
    QFETCH(QString, line);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home->root()));
    if (!versionIni.isNull()) {
        QFile file(QStringLiteral("Version.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(versionIni);
    }
    UrlDialog dialog;
    dialog.retranslate();
    const QString shown = dialog.findChild<QLabel *>(QStringLiteral("label_2"))->text();
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(shown, line);
}

void TestUrlDialog::opensInAddressField_data()
{
    QTest::addColumn<QList<int>>("closingKeys"); // through the dialog's window
    QTest::addRow("Return in the field") << QList<int> {Qt::Key_Return};
    QTest::addRow("Space on the first button") << QList<int> {Qt::Key_Tab, Qt::Key_Space};
    QTest::addRow("Space on the second button") << QList<int> {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space};
    QTest::addRow("Escape on a button") << QList<int> {Qt::Key_Tab, Qt::Key_Escape};
}

void TestUrlDialog::opensInAddressField()
{
    QFETCH(QList<int>, closingKeys);
    UrlDialog dialog;
    dialog.retranslate();
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    for (const char letter : {'a', 'b'}) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.focusWidget(), field);
        QTest::keyClick(dialog.windowHandle(), letter);
        QVERIFY2(field->text().endsWith(QLatin1Char(letter)), qPrintable(field->text()));
        for (const int key : std::as_const(closingKeys))
            QTest::keyClick(dialog.windowHandle(), Qt::Key(key));
        QVERIFY(!dialog.isVisible());
    }
}

void TestUrlDialog::plainHttpWarning_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed"); // appended to what is stored
    QTest::addColumn<bool>("warned");
    QTest::addRow("https") << "https://portal:8443"
                           << "" << false;
    QTest::addRow("no scheme is https") << "10.0.0.5"
                                        << "" << false;
    QTest::addRow("stored http") << "http://10.0.0.5:8080"
                                 << "" << true;
    QTest::addRow("typed http") << ""
                                << "http://10.0.0.5" << true;
    QTest::addRow("http typed away") << "http://10.0.0.5"
                                     << "\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b10.0.0.5" << false;
}

void TestUrlDialog::plainHttpWarning()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, warned);
    writeSetting(QStringLiteral("serviceIP"), stored);
    UrlDialog dialog;
    dialog.show();
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    edit->end(false);
    for (const QChar c : typed) {
        if (c == QLatin1Char('\b'))
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, QString(c));
    }
    auto *warning = dialog.findChild<QLabel *>(QStringLiteral("httpWarning"));
    QVERIFY(warning);
    QCOMPARE(warning->isVisible(), warned);
    QCOMPARE(warning->text(), QStringLiteral("未加密：密码以明文发送"));
}

QTEST_MAIN(TestUrlDialog)
#include "TestUrlDialog.moc"
