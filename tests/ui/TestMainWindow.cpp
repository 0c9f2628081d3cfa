#include "ConfigStore.h"
#include "MainWindow.h"
#include "support/MessageBoxRecorder.h"
#include "support/MessageRecorder.h"
#include "support/PortalServer.h"
#include "support/TestFiles.h"
#include "support/TestHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSettings>
#include <QVersionNumber>
#include <QtTest>

namespace {

// The title names major.minor of project()'s version, handed over by CMake
// apart from the program's own header: the source the Windows version
// resource is checked against too.
QString titleOfThisVersion()
{
    const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(PROJECT_VERSION));
    return QStringLiteral("VelmoClient_V%1.%2").arg(version.majorVersion()).arg(version.minorVersion());
}

enum class Stroke {
    Once,
    Twice,
    Held,
};

const QString identityPath = QStringLiteral("/public/merolink-identify/is-me.do");

// Identity checks under way: each held request is a reply that stays. A
// connection opened ahead of a login is no check.
int checksStarted(const QObject *window)
{
    int checks = 0;
    const QList<QNetworkReply *> replies = window->findChildren<QNetworkReply *>();
    for (const QNetworkReply *reply : replies)
        checks += reply->url().path() == identityPath && reply->isRunning();
    return checks;
}

// Through the window, as the platform delivers keys: to whatever has the
// focus. A held key is one press, then pairs of repeated release and press,
// then the real release. QTest's own window functions hand their delay on as
// the repeat count; here one key is one key.
void strike(QWindow *target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
    Stroke stroke = Stroke::Once)
{
    const char ascii = QTest::keyToAscii(key);
    const QString text = ascii ? QString(QChar::fromLatin1(ascii)) : QString();
    const auto send = [&](bool press, bool repeat) {
        QTest::simulateEvent(target, press, key, modifiers, text, repeat, 1);
    };
    const int repeats = stroke == Stroke::Held ? 5 : 0;
    for (int press = 0; press < (stroke == Stroke::Twice ? 2 : 1); ++press) {
        send(true, false);
        for (int i = 0; i < repeats; ++i) {
            send(false, true);
            send(true, true);
        }
        send(false, false);
    }
}

void typeInto(QWindow *target, const QString &text)
{
    for (const QChar c : text)
        strike(target, Qt::Key(QTest::asciiToKey(c.toLatin1())));
}

} // namespace

Q_DECLARE_METATYPE(Stroke)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formFromSettings_data();
    void formFromSettings();
    void windowAndLayout();
    void switchLanguage();
    void unknownLanguageShowsChinese();
    void sameEntryStoresNothing();
    void loginStoresForm_data();
    void loginStoresForm();
    void refusedBeforeAnyRequest_data();
    void refusedBeforeAnyRequest();
    void autoLogonRunsInConstructor();
    void redirectIsARefusal_data();
    void redirectIsARefusal();
    void shiftSkipsAutoLogon_data();
    void shiftSkipsAutoLogon();
    void configOpensDialogWithoutBlocking();
    void keysThatLogIn_data();
    void keysThatLogIn();
    void startFocus_data();
    void startFocus();
    void tabOrder_data();
    void tabOrder();
    void keyboardAlone();
    void fixedByAdministrator_data();
    void fixedByAdministrator();

private:
    MainWindow *makeWindow();
    void showAndFocus(const QString &name);
    template <typename T> T *child(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qWarning() << "no child" << name;
        return widget;
    }

    QScopedPointer<TestHome> home;
    QScopedPointer<MainWindow> window;
    MessageBoxRecorder boxes;
};

void TestMainWindow::init()
{
    home.reset(new TestHome);
    QVERIFY(home->isValid());
    boxes.clear();
}

void TestMainWindow::cleanup()
{
    window.reset();
    home.reset();
}

MainWindow *TestMainWindow::makeWindow()
{
    window.reset(new MainWindow);
    return window.data();
}

void TestMainWindow::formFromSettings_data()
{
    QTest::addColumn<QString>("recordpass");
    QTest::addColumn<QString>("autologin");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("filled"); // also: the remember box is ticked
    QTest::addColumn<bool>("autoLogon");

    QTest::addRow("remembered") << "1"
                                << "0"
                                << "alice"
                                << "pw" << true << false;
    QTest::addRow("not remembered") << "0"
                                    << "0"
                                    << "alice"
                                    << "pw" << false << false;
    QTest::addRow("true is not a flag") << "true"
                                        << "true"
                                        << "alice"
                                        << "pw" << false << false;
    QTest::addRow("cut to twenty") << "1"
                                   << "0"
                                   << "abcdefghijklmnopqrstuvwxyz"
                                   << "0123456789012345678901234" << true << false;
    QTest::addRow("automatic logon") << "0"
                                     << "1"
                                     << "alice"
                                     << "pw" << false << true;
}

void TestMainWindow::formFromSettings()
{
    QFETCH(QString, recordpass);
    QFETCH(QString, autologin);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, filled);
    QFETCH(bool, autoLogon);
    writeSetting(QStringLiteral("recordpass"), recordpass);
    writeSetting(QStringLiteral("autologin"), autologin);
    writeSetting(QStringLiteral("user"), user);
    writeSetting(QStringLiteral("password"), password);

    makeWindow();
    auto *userEdit = child<QLineEdit>(QStringLiteral("userEdit"));
    auto *passwordEdit = child<QLineEdit>(QStringLiteral("passwordEdit"));
    QVERIFY(userEdit && passwordEdit);
    QCOMPARE(userEdit->text(), filled ? user.left(20) : QString());
    QCOMPARE(passwordEdit->text(), filled ? password.left(20) : QString());
    QCOMPARE(passwordEdit->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QCheckBox>(QStringLiteral("recordPassBox"))->isChecked(), filled);
    QCOMPARE(child<QCheckBox>(QStringLiteral("autoLoginBox"))->isChecked(), autoLogon);
}

void TestMainWindow::windowAndLayout()
{
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QCOMPARE(window->size(), QSize(636, 331));
    QCOMPARE(window->windowTitle(), titleOfThisVersion());
    QVERIFY(window->styleSheet().contains(QLatin1String(":/resource/background-oem.png")));

    auto *config = child<QPushButton>(QStringLiteral("configButton"));
    auto *language = child<QComboBox>(QStringLiteral("languageBox"));
    auto *login = child<QPushButton>(QStringLiteral("loginButton"));
    QVERIFY(config && language && login);
    const QRect area = window->centralWidget()->rect();
    const auto inWindow = [this](QWidget *w) { return QRect(w->mapTo(window.data(), QPoint()), w->size()); };
    // Top right, the language box last, 20 pixels of spacer before the margin.
    QVERIFY(inWindow(config).top() < 40);
    QVERIFY(inWindow(config).right() < inWindow(language).left());
    QVERIFY(area.right() - inWindow(language).right() >= 20);
    QVERIFY(area.right() - inWindow(language).right() < 50);
    // The form is centred horizontally.
    const int formCentre = inWindow(login).center().x();
    QVERIFY(qAbs(formCentre - area.center().x()) <= 2);
    QCOMPARE(language->count(), 2);
    QCOMPARE(language->itemText(0), QStringLiteral("中文"));
    QCOMPARE(language->itemText(1), QStringLiteral("English"));
}

void TestMainWindow::switchLanguage()
{
    writeSetting(QStringLiteral("language"), QStringLiteral("0"));
    makeWindow();
    auto *language = child<QComboBox>(QStringLiteral("languageBox"));
    auto *userEdit = child<QLineEdit>(QStringLiteral("userEdit"));
    auto *recordPass = child<QCheckBox>(QStringLiteral("recordPassBox"));
    QCOMPARE(language->currentIndex(), 0);
    QCOMPARE(userEdit->placeholderText(), QStringLiteral("用户名："));
    QTest::keyClicks(userEdit, QStringLiteral("bob"));
    recordPass->setChecked(true);

    language->setCurrentIndex(1);
    QCOMPARE(readSetting(QStringLiteral("language"), QString()), QStringLiteral("1"));
    QCOMPARE(userEdit->placeholderText(), QStringLiteral("Username"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->placeholderText(), QStringLiteral("Password"));
    QCOMPARE(child<QCheckBox>(QStringLiteral("autoLoginBox"))->text(), QStringLiteral("Automatic logon"));
    QCOMPARE(recordPass->text(), QStringLiteral("Record password"));
    QCOMPARE(child<QPushButton>(QStringLiteral("loginButton"))->text(), QStringLiteral("Login"));
    QCOMPARE(child<QPushButton>(QStringLiteral("configButton"))->text(), QStringLiteral("Config"));
    QCOMPARE(window->windowTitle(), titleOfThisVersion());
    QCOMPARE(language->itemText(0), QStringLiteral("中文"));
    QTest::mouseClick(child<QPushButton>(QStringLiteral("configButton")), Qt::LeftButton);
    QWidget *shown = QApplication::activeModalWidget();
    QVERIFY(shown);
    QCOMPARE(shown->windowTitle(), QStringLiteral("Config server address"));
    QCOMPARE(shown->findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("Server address"));
    shown->hide();

    // Typed text and ticks survive the switch.
    QCOMPARE(userEdit->text(), QStringLiteral("bob"));
    QVERIFY(recordPass->isChecked());

    language->setCurrentIndex(0);
    QCOMPARE(readSetting(QStringLiteral("language"), QString()), QStringLiteral("0"));
    QCOMPARE(userEdit->placeholderText(), QStringLiteral("用户名："));
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->placeholderText(), QStringLiteral("密　码："));
    QCOMPARE(child<QPushButton>(QStringLiteral("loginButton"))->text(), QStringLiteral("登录"));
    QCOMPARE(shown->windowTitle(), QStringLiteral("设置服务器地址"));
}

void TestMainWindow::unknownLanguageShowsChinese()
{
    writeSetting(QStringLiteral("language"), QStringLiteral("7"));
    makeWindow();
    auto *language = child<QComboBox>(QStringLiteral("languageBox"));
    QCOMPARE(language->currentIndex(), -1);
    QCOMPARE(child<QPushButton>(QStringLiteral("configButton"))->text(), QStringLiteral("设置"));
    language->setCurrentIndex(1);
    QCOMPARE(child<QPushButton>(QStringLiteral("configButton"))->text(), QStringLiteral("Config"));
    QCOMPARE(readSetting(QStringLiteral("language"), QString()), QStringLiteral("1"));
}

void TestMainWindow::sameEntryStoresNothing()
{
    makeWindow();
    // Building the form selects an entry without storing a choice.
    QVERIFY(!QSettings(home->configFile(), QSettings::IniFormat).contains(QStringLiteral("language")));
    child<QComboBox>(QStringLiteral("languageBox"))->setCurrentIndex(0);
    QVERIFY(!QSettings(home->configFile(), QSettings::IniFormat).contains(QStringLiteral("language")));
}

void TestMainWindow::loginStoresForm_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("autoLogon");
    QTest::addRow("remember, auto") << true << true;
    QTest::addRow("forget, manual") << false << false;
}

void TestMainWindow::loginStoresForm()
{
    QFETCH(bool, remember);
    QFETCH(bool, autoLogon);
    writeSetting(QStringLiteral("user"), QStringLiteral("old"));
    writeSetting(QStringLiteral("password"), QStringLiteral("oldpw"));
    makeWindow();
    QTest::keyClicks(child<QLineEdit>(QStringLiteral("userEdit")), QStringLiteral(" carol "));
    QTest::keyClicks(child<QLineEdit>(QStringLiteral("passwordEdit")), QStringLiteral("pa ss"));
    child<QCheckBox>(QStringLiteral("recordPassBox"))->setChecked(remember);
    child<QCheckBox>(QStringLiteral("autoLoginBox"))->setChecked(autoLogon);

    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);

    const QSettings stored(home->configFile(), QSettings::IniFormat);
    QCOMPARE(
        stored.value(QStringLiteral("user")).toString(), remember ? QStringLiteral(" carol ") : QString());
    // No keyring answers here (the tests have no session bus): the file
    // takes the password once the keyring has failed.
    QTRY_COMPARE(readSetting(Setting::password), remember ? QStringLiteral("pa ss") : QString());
    QVERIFY(stored.contains(QStringLiteral("user")));
    QCOMPARE(stored.value(QStringLiteral("recordpass")).toString(),
        remember ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(stored.value(QStringLiteral("autologin")).toString(),
        autoLogon ? QStringLiteral("1") : QStringLiteral("0"));
    // No address configured: the settings are stored all the same, then the message.
    QCOMPARE(boxes.size(), 1);
}

void TestMainWindow::refusedBeforeAnyRequest_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("certificateCheck");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addRow("empty address, chinese")
        << "0"
        << ""
        << "remember" << QStringLiteral("错误") << QStringLiteral("服务器地址不能为空");
    QTest::addRow("empty address, english") << "1"
                                            << ""
                                            << "remember"
                                            << "Error"
                                            << "Server address can't be empty";
    QTest::addRow("plain http under strict checking") << "1"
                                                      << "http://127.0.0.1:9"
                                                      << "strict"
                                                      << "Error"
                                                      << "The server address is not encrypted (http://); "
                                                         "strict certificate checking does not allow a login "
                                                         "to it.";
}

void TestMainWindow::refusedBeforeAnyRequest()
{
    QFETCH(QString, language);
    QFETCH(QString, address);
    QFETCH(QString, certificateCheck);
    QFETCH(QString, title);
    QFETCH(QString, text);
    writeSetting(QStringLiteral("language"), language);
    writeSetting(QStringLiteral("serviceIP"), address);
    writeSetting(QStringLiteral("certificateCheck"), certificateCheck);
    makeWindow();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);
    // Said at once: nothing was sent that could answer later.
    QVERIFY(window->findChildren<QNetworkAccessManager *>().isEmpty());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, title);
    QCOMPARE(boxes.first().text, text);
}

void TestMainWindow::autoLogonRunsInConstructor()
{
    writeSetting(QStringLiteral("autologin"), QStringLiteral("1"));
    writeSetting(QStringLiteral("recordpass"), QStringLiteral("0"));
    writeSetting(QStringLiteral("user"), QStringLiteral("alice"));
    makeWindow();
    // Before the window is ever shown, the attempt has run with empty fields.
    QVERIFY(!window->isVisible());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text, QStringLiteral("服务器地址不能为空"));
    QCOMPARE(readSetting(QStringLiteral("user"), QStringLiteral("x")), QString());
}

void TestMainWindow::redirectIsARefusal_data()
{
    QTest::addColumn<int>("status");
    QTest::addRow("302") << 302;
    QTest::addRow("308") << 308;
}

void TestMainWindow::redirectIsARefusal()
{
    QFETCH(int, status);
    // A yes from another server does not count for the address asked.
    PortalServer elsewhere;
    QVERIFY(elsewhere.start());
    HttpsServer asked;
    asked.setHandler([&elsewhere, status](const HttpRequest &) {
        HttpResponse moved(status, "<html><body>moved</body></html>", "text/html");
        moved.setHeader("Location", elsewhere.url(identityPath).toEncoded());
        return moved;
    });
    QVERIFY(asked.listen(
        QStringLiteral(TEST_DATA_DIR "/test-cert.pem"), QStringLiteral(TEST_DATA_DIR "/test-key.pem")));
    writeSetting(QStringLiteral("serviceIP"), asked.url(QStringLiteral("/")).toString());
    makeWindow();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 20000);
    QCOMPARE(boxes.first().text, QStringLiteral("请检查服务器地址"));
    QCOMPARE(asked.requests().size(), 1);
    QCOMPARE(elsewhere.requests().size(), 0);
}

void TestMainWindow::shiftSkipsAutoLogon_data()
{
    QTest::addColumn<int>("held"); // key held while the window is built
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("autoLogon");
    QTest::addRow("Shift") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << false;
    QTest::addRow("Control") << int(Qt::Key_Control) << int(Qt::ControlModifier) << true;
    QTest::addRow("nothing") << 0 << int(Qt::NoModifier) << true;
}

void TestMainWindow::shiftSkipsAutoLogon()
{
    QFETCH(int, held);
    QFETCH(int, modifiers);
    QFETCH(bool, autoLogon);
    PortalServer server;
    QVERIFY(server.start());
    server.holdIdentity = true; // every check stays outstanding, and countable
    // Written by hand: a comment does not survive the program's next write.
    QVERIFY(home->makeAppConfigDir());
    const QByteArray stored = "; by hand\n[General]\nautologin=1\nrecordpass=1\nuser=carol\npassword=pw\n"
                              "serviceIP="
        + server.address().toLatin1() + "\n";
    QVERIFY(writeFile(home->configFile(), stored));
    const auto storedNow = [this] {
        QFile file(home->configFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    // Pressed as the platform reports it, before the launcher's window exists.
    QWindow keyboard;
    if (held)
        QTest::simulateEvent(&keyboard, true, held, Qt::KeyboardModifiers(modifiers), QString(), false, 1);
    MessageRecorder log;
    makeWindow();
    if (held)
        QTest::simulateEvent(&keyboard, false, held, Qt::NoModifier, QString(), false, 1);
    QCOMPARE(checksStarted(window.data()), autoLogon ? 1 : 0);
    QCOMPARE(log.count(QStringLiteral("Automatic logon skipped")), autoLogon ? 0 : 1);
    if (!autoLogon)
        QCOMPARE(storedNow(), stored);
    QVERIFY(child<QCheckBox>(QStringLiteral("autoLoginBox"))->isChecked());
    QCOMPARE(child<QLineEdit>(QStringLiteral("userEdit"))->text(), QStringLiteral("carol"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(), QStringLiteral("pw"));

    // The window is up and a login from the keyboard reaches the server:
    // beside it, only the automatic one, if it ran.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QCOMPARE(window->focusWidget(), child<QWidget>(QStringLiteral("passwordEdit")));
    strike(window->windowHandle(), Qt::Key_Return);
    QCOMPARE(checksStarted(window.data()), autoLogon ? 2 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), checksStarted(window.data()), 20000);
    QVERIFY(boxes.isEmpty());
}

void TestMainWindow::configOpensDialogWithoutBlocking()
{
    makeWindow();
    window->show();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("configButton")), Qt::LeftButton);
    // The click returned: the dialog is open, application-modal.
    QWidget *dialog = QApplication::activeModalWidget();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QTest::keyClicks(field, QStringLiteral("127.0.0.1:9"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!dialog->isVisible());

    // The login now asks that server: no empty-address message.
    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);
    QVERIFY(boxes.isEmpty());
}

void TestMainWindow::showAndFocus(const QString &name)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    auto *target = child<QWidget>(name);
    QVERIFY(target);
    target->setFocus(Qt::OtherFocusReason);
    QCOMPARE(window->focusWidget(), target);
}

void TestMainWindow::keysThatLogIn_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<Stroke>("stroke");
    QTest::addColumn<int>("logins");

    const int none = Qt::NoModifier;
    const int keypad = Qt::KeypadModifier;
    struct Target
    {
        const char *name;
        const char *label;
    };
    for (const Target &target : {Target {"userEdit", "user field"}, Target {"passwordEdit", "password field"},
             Target {"loginButton", "login button"}}) {
        QTest::addRow("Return, %s, once", target.label)
            << target.name << int(Qt::Key_Return) << none << Stroke::Once << 1;
        QTest::addRow("Return, %s, twice", target.label)
            << target.name << int(Qt::Key_Return) << none << Stroke::Twice << 2;
        QTest::addRow("Return, %s, held", target.label)
            << target.name << int(Qt::Key_Return) << none << Stroke::Held << 1;
        QTest::addRow("keypad Enter, %s, held", target.label)
            << target.name << int(Qt::Key_Enter) << keypad << Stroke::Held << 1;
    }
    QTest::addRow("keypad Enter on login button, twice")
        << "loginButton" << int(Qt::Key_Enter) << keypad << Stroke::Twice << 2;
    QTest::addRow("Space on login button, once")
        << "loginButton" << int(Qt::Key_Space) << none << Stroke::Once << 1;
    QTest::addRow("Space on login button, twice")
        << "loginButton" << int(Qt::Key_Space) << none << Stroke::Twice << 2;
    QTest::addRow("Space on login button, held")
        << "loginButton" << int(Qt::Key_Space) << none << Stroke::Held << 1;
    for (const char *name : {"autoLoginBox", "recordPassBox", "configButton", "languageBox"}) {
        QTest::addRow("Return on %s", name) << name << int(Qt::Key_Return) << none << Stroke::Once << 0;
        QTest::addRow("keypad Enter on %s, held", name)
            << name << int(Qt::Key_Enter) << keypad << Stroke::Held << 0;
    }
    QTest::addRow("Space in user field") << "userEdit" << int(Qt::Key_Space) << none << Stroke::Once << 0;
}

void TestMainWindow::keysThatLogIn()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(Stroke, stroke);
    QFETCH(int, logins);
    PortalServer server;
    QVERIFY(server.start());
    // Unanswered checks stay outstanding, so every login is counted the moment its key has been handled.
    server.holdIdentity = true;
    writeSetting(QStringLiteral("serviceIP"), server.address());
    makeWindow();
    child<QLineEdit>(QStringLiteral("userEdit"))->setText(QStringLiteral("dave"));
    child<QLineEdit>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("pw"));
    child<QCheckBox>(QStringLiteral("recordPassBox"))->setChecked(true);
    showAndFocus(focus);

    strike(window->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers), stroke);

    QCOMPARE(checksStarted(window.data()), logins);
    const QSettings stored(home->configFile(), QSettings::IniFormat);
    QCOMPARE(stored.contains(QStringLiteral("recordpass")), logins > 0);
    if (logins > 0) {
        QCOMPARE(stored.value(QStringLiteral("user")).toString(), QStringLiteral("dave"));
        QTRY_COMPARE(readSetting(Setting::password), QStringLiteral("pw"));
        QCOMPARE(stored.value(QStringLiteral("recordpass")).toString(), QStringLiteral("1"));
        QCOMPARE(stored.value(QStringLiteral("autologin")).toString(), QStringLiteral("0"));
    }
    // A click after the keys is one check more, and the server sees them all.
    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(checksStarted(window.data()), logins + 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), logins + 1, 20000);
    QVERIFY(boxes.isEmpty());
}

void TestMainWindow::startFocus_data()
{
    QTest::addColumn<QString>("recordpass");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("focus");
    QTest::addRow("nothing remembered") << "0"
                                        << "alice"
                                        << "userEdit";
    QTest::addRow("user remembered") << "1"
                                     << "alice"
                                     << "passwordEdit";
    QTest::addRow("remembered, but no user") << "1" << QString() << "userEdit";
}

void TestMainWindow::startFocus()
{
    QFETCH(QString, recordpass);
    QFETCH(QString, user);
    QFETCH(QString, focus);
    writeSetting(QStringLiteral("recordpass"), recordpass);
    writeSetting(QStringLiteral("user"), user);
    writeSetting(QStringLiteral("password"), QStringLiteral("pw"));
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QVERIFY(window->focusWidget());
    QCOMPARE(window->focusWidget()->objectName(), focus);

    // Typing goes straight into that field.
    auto *field = child<QLineEdit>(focus);
    const QString before = field->text();
    typeInto(window->windowHandle(), QStringLiteral("x"));
    QCOMPARE(field->text(), before + QLatin1Char('x'));
}

void TestMainWindow::tabOrder_data()
{
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QStringList>("visits"); // from the user field, round to it again
    QTest::addRow("Tab") << true
                         << QStringList {"passwordEdit", "loginButton", "autoLoginBox", "recordPassBox",
                                "configButton", "languageBox", "userEdit"};
    QTest::addRow("Shift+Tab") << false
                               << QStringList {"languageBox", "configButton", "recordPassBox", "autoLoginBox",
                                      "loginButton", "passwordEdit", "userEdit"};
}

void TestMainWindow::tabOrder()
{
    QFETCH(bool, forward);
    QFETCH(QStringList, visits);
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QCOMPARE(window->focusWidget(), child<QWidget>(QStringLiteral("userEdit")));
    QStringList visited;
    for (int i = 0; i < visits.size(); ++i) {
        if (forward)
            strike(window->windowHandle(), Qt::Key_Tab);
        else
            strike(window->windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
        visited << (window->focusWidget() ? window->focusWidget()->objectName() : QStringLiteral("<none>"));
    }
    QCOMPARE(visited, visits);
}

void TestMainWindow::keyboardAlone()
{
    PortalServer server;
    QVERIFY(server.start());
    server.identityReply = QByteArrayLiteral("{}");
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QWindow *main = window->windowHandle();
    auto *login = child<QPushButton>(QStringLiteral("loginButton"));
    QVERIFY(login->isDefault());

    // Tab to the config button, Space: the dialog, typing into its address.
    for (int i = 0; i < 5; ++i)
        strike(main, Qt::Key_Tab);
    strike(main, Qt::Key_Space);
    QWidget *dialog = QApplication::activeModalWidget();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->focusWidget(), dialog->findChild<QWidget *>(QStringLiteral("lineEdit")));
    typeInto(dialog->windowHandle(), server.address());
    strike(dialog->windowHandle(), Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(readSetting(QStringLiteral("serviceIP"), QString()), server.address());

    // On to the language box, down to English.
    QTRY_COMPARE(window->focusWidget(), child<QWidget>(QStringLiteral("configButton")));
    strike(main, Qt::Key_Tab);
    strike(main, Qt::Key_Down);
    QCOMPARE(login->text(), QStringLiteral("Login"));
    QCOMPARE(readSetting(QStringLiteral("language"), QString()), QStringLiteral("1"));

    // Back to the user field, a name, Tab, a password, Enter.
    for (int i = 0; i < 6; ++i)
        strike(main, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(window->focusWidget(), child<QWidget>(QStringLiteral("userEdit")));
    typeInto(main, QStringLiteral("erin"));
    strike(main, Qt::Key_Tab);
    typeInto(main, QStringLiteral("pw"));
    strike(main, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 20000);
    QCOMPARE(boxes.first().text, QStringLiteral("Please check server address"));
    QCOMPARE(server.requestsTo(identityPath).size(), 1);
    QCOMPARE(child<QLineEdit>(QStringLiteral("userEdit"))->text(), QStringLiteral("erin"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(), QStringLiteral("pw"));
}

void TestMainWindow::fixedByAdministrator_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QString>("userAutologin");
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("languageFixed");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("rememberFixed");
    QTest::addColumn<bool>("autoLogon");
    QTest::addColumn<bool>("autoLogonFixed");
    // The user's file: language 0, remember ticked with alice and pw.
    QTest::addRow("defaults only: the user's values win")
        << QByteArray("[General]\nlanguage=1\nrecordpass=0\nautologin=1\n") << "0" << 0 << false << true
        << false << false << false;
    QTest::addRow("language") << QByteArray("[Mandatory]\nlanguage=1\n") << "0" << 1 << true << true << false
                              << false << false;
    QTest::addRow("remember password off")
        << QByteArray("[Mandatory]\nrecordpass=0\n") << "0" << 0 << false << false << true << false << false;
    QTest::addRow("remember password on")
        << QByteArray("[Mandatory]\nrecordpass=1\n") << "0" << 0 << false << true << true << false << false;
    QTest::addRow("automatic logon off")
        << QByteArray("[Mandatory]\nautologin=0\n") << "1" << 0 << false << true << false << false << true;
    QTest::addRow("automatic logon on")
        << QByteArray("[Mandatory]\nautologin=1\n") << "0" << 0 << false << true << false << true << true;
}

void TestMainWindow::fixedByAdministrator()
{
    QFETCH(QByteArray, system);
    QFETCH(QString, userAutologin);
    QFETCH(int, language);
    QFETCH(bool, languageFixed);
    QFETCH(bool, remember);
    QFETCH(bool, rememberFixed);
    QFETCH(bool, autoLogon);
    QFETCH(bool, autoLogonFixed);
    QVERIFY(home->writeSystemConfig(system));
    writeSetting(QStringLiteral("language"), QStringLiteral("0"));
    writeSetting(QStringLiteral("recordpass"), QStringLiteral("1"));
    writeSetting(QStringLiteral("user"), QStringLiteral("alice"));
    writeSetting(QStringLiteral("password"), QStringLiteral("pw"));
    writeSetting(QStringLiteral("autologin"), userAutologin);

    makeWindow();
    auto *languageBox = child<QComboBox>(QStringLiteral("languageBox"));
    auto *recordPass = child<QCheckBox>(QStringLiteral("recordPassBox"));
    auto *autoLogin = child<QCheckBox>(QStringLiteral("autoLoginBox"));
    QCOMPARE(languageBox->currentIndex(), language);
    QCOMPARE(child<QPushButton>(QStringLiteral("loginButton"))->text(),
        language == 1 ? QStringLiteral("Login") : QStringLiteral("登录"));
    QCOMPARE(languageBox->isEnabled(), !languageFixed);
    QCOMPARE(recordPass->isChecked(), remember);
    QCOMPARE(recordPass->isEnabled(), !rememberFixed);
    QCOMPARE(autoLogin->isChecked(), autoLogon);
    QCOMPARE(autoLogin->isEnabled(), !autoLogonFixed);
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(),
        remember ? QStringLiteral("pw") : QString());
    // An automatic logon has run in the constructor: no address, one message.
    QCOMPARE(boxes.size(), autoLogon ? 1 : 0);

    // Clicking a fixed box changes nothing; the login stores what the window shows.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QTest::mouseClick(recordPass, Qt::LeftButton);
    QCOMPARE(recordPass->isChecked(), rememberFixed ? remember : !remember);
    recordPass->setChecked(remember);
    child<QLineEdit>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("typed"));
    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);
    const QSettings stored(home->configFile(), QSettings::IniFormat);
    QTRY_COMPARE(readSetting(Setting::password), remember ? QStringLiteral("typed") : QString());
    QCOMPARE(stored.value(QStringLiteral("recordpass")).toString(),
        remember ? QStringLiteral("1") : QStringLiteral("0"));
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
