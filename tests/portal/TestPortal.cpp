#include "FirstLoadWatch.h"
#include "PrivateDownloadFolder.h"
#include "QProgressIndicator.h"
#include "TerminalIdentity.h"
#include "support/FakeClient.h"
#include "support/MessageBoxRecorder.h"
#include "support/PortalServer.h"
#include "support/PortalWindow.h"
#include "support/WindowManager.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QScreen>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

namespace {

// QTest's window key functions hand their delay on as the repeat count, which
// the web engine takes at its word: here one stroke is one key. The window is
// asked for at each stroke: Qt 6 replaces a window's QWindow when a web view
// first draws in it.
void strike(QWidget *widget, Qt::Key key)
{
    QWindow *window = widget->windowHandle();
    const char ascii = QTest::keyToAscii(key);
    const QString text = ascii ? QString(QChar::fromLatin1(ascii)) : QString();
    QTest::simulateEvent(window, true, key, Qt::NoModifier, text, false, 1);
    QTest::simulateEvent(window, false, key, Qt::NoModifier, text, false, 1);
}

const QString identityPath = QStringLiteral("/public/merolink-identify/is-me.do");
const QString password = QStringLiteral("S3cr3t pw%");

} // namespace

// The login road against a local HTTPS portal, with the real web engine.
class TestPortal : public QObject, private PortalWindow
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void kioskWindow_data();
    void kioskWindow();
    void kioskFormEmpties_data();
    void kioskFormEmpties();
    void cleanup();

    void signedInPortal_data();
    void signedInPortal();
    void refusals_data();
    void refusals();
    void exitBringsLoginBack();
    void exitBeforeFirstPageFinished();
    void portalNotOpened_data();
    void portalNotOpened();
    void signInPageMovesOn_data();
    void signInPageMovesOn();
    void twoQuickPresses();
    void passwordNeverLogged();
    void oddCredentials_data();
    void oddCredentials();
    void oddServerAddress_data();
    void oddServerAddress();
    void hugeIdentityReply_data();
    void hugeIdentityReply();
    void identityReplyThatNeverEnds();
    void portalOwnsKeyboard();
    void windowStaysWhereMoved();
    void signInPageKeepsThePassword();
    void sessionEndsWithThePortal();
    void warmUpOnIntent_data();
    void warmUpOnIntent();

private:
    void login(const QString &address);
    void loginAs(const QString &address, const QString &user, const QString &pass);
    int clientStartsLogged() const;
    static QByteArray logText();
    void askPageFocus();

    PortalServer server;
    QScopedPointer<FakeClient> fake;
    MessageBoxRecorder boxes;
    QString previousDir;
    QString pageFocus; // the page's focused element, '' without the keyboard
};

void TestPortal::initTestCase()
{
    QVERIFY(server.start());
    fake.reset(new FakeClient);
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(fake->workDir()));
}

void TestPortal::cleanupTestCase()
{
    QDir::setCurrent(previousDir);
}

void TestPortal::init()
{
    QVERIFY(freshHome());
    server.clearRequests();
    server.identityReply = QByteArrayLiteral("{\"isMe\":true}");
    server.holdIdentity = false;
    server.exitBeforeLoaded = false;
    server.signInPage = QByteArray();
    server.dropSignIn = false;
    server.signInExtra.clear();
    server.sessionCookie.clear();
    boxes.clear();
    qunsetenv("FAKE_FREERDP_EXIT");
}

void TestPortal::cleanup()
{
    window.reset();
    QTRY_COMPARE(fake->running(), 0);
    fake->clearCalls();
    leaveHome();
}

void TestPortal::login(const QString &address)
{
    loginAs(address, QStringLiteral("a b"), password);
}

void TestPortal::loginAs(const QString &address, const QString &user, const QString &pass)
{
    // Set rather than typed: some have control characters.
    QVERIFY(PortalWindow::login(address, user, pass));
}

int TestPortal::clientStartsLogged() const
{
    return logText().count("/xfreerdp\"\r\n");
}

QByteArray TestPortal::logText()
{
    QFile log(logFilePath(QDate::currentDate()));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

void TestPortal::askPageFocus()
{
    QWebEnginePage *page = livePage();
    if (!page)
        return;
    page->runJavaScript(
        QStringLiteral(
            "var e = document.activeElement; document.hasFocus() && e ? (e.id || e.name || e.tagName) : ''"),
        [this](const QVariant &answer) { pageFocus = answer.toString(); });
}

void TestPortal::signedInPortal_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("withScheme");
    QTest::addColumn<QString>("acceptLanguage");
    QTest::addColumn<QString>("floatbar"); // null: not set
    QTest::addRow("english, address with scheme") << "1" << true << "en-US,en" << QString();
    QTest::addRow("chinese, address without scheme, no floating bar") << "0" << false << "zh-CN,zh"
                                                                      << "0";
}

void TestPortal::signedInPortal()
{
    QFETCH(QString, language);
    QFETCH(bool, withScheme);
    QFETCH(QString, acceptLanguage);
    QFETCH(QString, floatbar);
    writeSetting(QStringLiteral("language"), language);
    if (!floatbar.isNull())
        writeSetting(QStringLiteral("floatbar"), floatbar);
    QString address = server.address();
    if (!withScheme)
        address.remove(QStringLiteral("https://"));
    login(address);

    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), 1, 20000);
    const HttpRequest check = server.requestsTo(identityPath).first();
    QCOMPARE(check.method, QByteArray("GET"));
    QCOMPARE(check.header("Content-Type"), QByteArray("application/json"));
    // These headers and no others, from either Qt. Qt 6 offers zstd and br
    // before gzip and deflate, and Qt 6.7 writes the names in lower case.
    QStringList names;
    for (const auto &header : check.headers)
        names << QString::fromLatin1(header.first).toLower();
    names.sort();
    QCOMPARE(names,
        QStringList({QStringLiteral("accept-encoding"), QStringLiteral("accept-language"),
            QStringLiteral("connection"), QStringLiteral("content-type"), QStringLiteral("host"),
            QStringLiteral("user-agent")}));
    QVERIFY2(check.header("Accept-Encoding").endsWith("gzip, deflate"),
        check.header("Accept-Encoding").constData());
    QCOMPARE(check.header("Connection"), QByteArray("Keep-Alive"));
    QCOMPARE(check.header("User-Agent"), QByteArray("Mozilla/5.0"));

    // The portal is loaded signed in, the spinner turning until the first page is there.
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(QStringLiteral("/")).size(), 1, 30000);
    const HttpRequest signIn = server.requestsTo(QStringLiteral("/")).first();
    const QList<QByteArray> pairs = signIn.rawQuery.split('&');
    QCOMPARE(pairs.size(), 4);
    QCOMPARE(pairs.at(0), QByteArray("username=a%20b"));
    QCOMPARE(pairs.at(1), QByteArray("password=S3cr3t%20pw%25"));
    QCOMPARE(pairs.at(3), withScheme ? QByteArray("a=a") : QByteArray("a=a/"));
    // The portal's view of sid: lower-case hex, every byte XORed with 0x2E.
    QVERIFY(pairs.at(2).startsWith("sid="));
    const QByteArray sid = pairs.at(2).mid(4);
    QCOMPARE(sid, sid.toLower());
    QByteArray serial = QByteArray::fromHex(sid);
    QCOMPARE(serial.toHex(), sid);
    for (char &byte : serial)
        byte = char(byte ^ 0x2E);
    QCOMPARE(QString::fromLatin1(serial), terminalSerialId());
    QVERIFY2(signIn.header("Accept-Language").startsWith(acceptLanguage.toLatin1()),
        signIn.header("Accept-Language").constData());

    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    // Without a window manager the window may never become active, so look
    // at the window's own focus widget rather than the application's.
    QTRY_VERIFY(window->focusWidget() && liveView()->isAncestorOf(window->focusWidget()));
    QVERIFY(boxes.isEmpty());
    // No menu on a right click.
    QCOMPARE(liveView()->findChild<QWebEngineView *>()->contextMenuPolicy(), Qt::CustomContextMenu);

    // A desktop handed out by the portal starts one client.
    livePage()->runJavaScript(QStringLiteral("document.getElementById('rdp').click();"));
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    // tmp.rdp, in a folder of this desktop's own inside the private folder.
    const QFileInfo saved(fake->calls().first().first());
    QCOMPARE(saved.fileName(), QStringLiteral("tmp.rdp"));
    QCOMPARE(QFileInfo(saved.path()).path(), privateDownloadFolder());
    QVERIFY(fake->calls().first().first().startsWith(home->tempDir() + QLatin1Char('/'))
        || !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"));
    QCOMPARE(fake->calls().first().last(), QStringLiteral("/printer"));
    // A way out of full screen, unless the machine must stay there.
    const QStringList options = fake->calls().first();
    QCOMPARE(options.contains(QStringLiteral("/floatbar:sticky:off,default:hidden,show:fullscreen")),
        floatbar.isNull());
    QDir(fake->workDir() + QStringLiteral("/records")).removeRecursively();
    QDir().mkpath(fake->workDir() + QStringLiteral("/records"));
}

void TestPortal::refusals_data()
{
    QTest::addColumn<QByteArray>("reply"); // null: 404 without JSON
    QTest::addColumn<bool>("refusedPort");
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("opens");
    QTest::addRow("false opens too") << QByteArray("{\"isMe\":false}") << false << "0" << true;
    QTest::addRow("string") << QByteArray("{\"isMe\":\"true\"}") << false << "0" << false;
    QTest::addRow("html") << QByteArray() << false << "0" << false;
    QTest::addRow("empty body") << QByteArray("") << false << "1" << false;
    QTest::addRow("refused port") << QByteArray("{\"isMe\":true}") << true << "1" << false;
}

void TestPortal::refusals()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, refusedPort);
    QFETCH(QString, language);
    QFETCH(bool, opens);
    writeSetting(QStringLiteral("language"), language);
    server.identityReply = reply;
    QString address = server.address();
    if (refusedPort) {
        HttpsServer closed;
        QVERIFY(closed.listen());
        address = QStringLiteral("https://127.0.0.1:%1").arg(closed.port());
        closed.close();
    }
    login(address);
    if (opens) {
        QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
        QVERIFY(boxes.isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 20000);
    QCOMPARE(boxes.first().title, QStringLiteral("错误"));
    QCOMPARE(boxes.first().text,
        language == QLatin1String("1") ? QStringLiteral("Please check server address")
                                       : QStringLiteral("请检查服务器地址"));
    QVERIFY(!livePage());
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("loginWidget"));
}

namespace {

// Counts the close requests a window gets.
class CloseCounter : public QObject
{
public:
    int closes = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++closes;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void TestPortal::kioskWindow_data()
{
    QTest::addColumn<bool>("windowManager");
    QTest::addRow("by its own geometry") << false;
    QTest::addRow("under a window manager") << true;
}

void TestPortal::kioskWindow()
{
    QFETCH(bool, windowManager);
    WindowManager manager;
    if (windowManager)
        QVERIFY2(manager.start(), "openbox did not take the display");
    QVERIFY(home->writeSystemConfig("[Mandatory]\nkiosk=1\n"));
    QVERIFY(open(server.address()));
    const QRect screen = window->screen()->geometry();
    QTRY_COMPARE(WindowManager::geometryOf(window->winId()), screen);
    // The form keeps its size, in the middle.
    QWidget *form = child<QPushButton>("configButton")->parentWidget();
    QCOMPARE(form->size(), QSize(636, 331));
    QCOMPARE(QRect(form->mapToGlobal(QPoint()), form->size()).center(), screen.center());

    // A close is refused: still there after it came.
    CloseCounter counter;
    window->installEventFilter(&counter);
    // Asked again until one has come: Qt now and then misses the first.
    int asked = 0;
    do {
        ++asked;
        if (windowManager)
            QVERIFY(WindowManager::closeThroughManager(window->winId()));
        else
            window->close();
    } while (!QTest::qWaitFor([&counter] { return counter.closes > 0; }, 1000) && asked < 10);
    QVERIFY(counter.closes > 0);
    QVERIFY(window->isVisible());
    QCOMPARE(WindowManager::geometryOf(window->winId()), screen);
    QCOMPARE(logText().count("Kiosk mode without a mandatory serviceIP"), 1);
}

void TestPortal::kioskFormEmpties_data()
{
    QTest::addColumn<QString>("click"); // the page's link
    QTest::addColumn<QByteArray>("clientExit"); // the desktop's end, if one starts
    QTest::addColumn<bool>("box");
    QTest::addRow("exit address") << "exit" << QByteArray() << false;
    QTest::addRow("the desktop closed") << "rdp" << QByteArray("0") << false;
    QTest::addRow("the desktop refused, box answered") << "rdp" << QByteArray("154") << true;
}

void TestPortal::kioskFormEmpties()
{
    QFETCH(QString, click);
    QFETCH(QByteArray, clientExit);
    QFETCH(bool, box);
    QVERIFY(home->writeSystemConfig("[Mandatory]\nkiosk=1\nserviceIP=" + server.address().toUtf8() + "\n"));
    QVERIFY(open(server.address()));
    auto *recordPass = child<QCheckBox>("recordPassBox");
    auto *autoLogin = child<QCheckBox>("autoLoginBox");
    QVERIFY(!recordPass->isEnabled() && !recordPass->isChecked());
    QVERIFY(!autoLogin->isEnabled() && !autoLogin->isChecked());
    child<QLineEdit>("userEdit")->setText(QStringLiteral("kate"));
    child<QLineEdit>("passwordEdit")->setText(password);
    QTest::mouseClick(child<QPushButton>("loginButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);

    if (!clientExit.isEmpty())
        qputenv("FAKE_FREERDP_EXIT", clientExit);
    livePage()->runJavaScript(QStringLiteral("document.getElementById('%1').click();").arg(click));
    if (box) {
        QMessageBox *shown = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((shown = window->findChild<QMessageBox *>()), 20000);
        // The box is answered first; the portal waits for it.
        QVERIFY(liveView());
        QTest::keyClick(shown, Qt::Key_Return);
    }
    QTRY_VERIFY_WITH_TIMEOUT(portalPages(window.data()).isEmpty(), 20000);
    QVERIFY(child<QLineEdit>("userEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>("passwordEdit")->text().isEmpty());
    QCOMPARE(window->focusWidget(), child<QLineEdit>("userEdit"));
    QCOMPARE(logText().count("Kiosk mode without a mandatory serviceIP"), 0);
    // Nothing of the user was kept.
    for (const QString &key : userSettingKeys(QStringLiteral("General")))
        QVERIFY2(key != QLatin1String("user") && key != QLatin1String("password"), qPrintable(key));
}

void TestPortal::exitBringsLoginBack()
{
    login(server.address());
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    livePage()->runJavaScript(QStringLiteral("document.getElementById('exit').click();"));
    QTRY_VERIFY_WITH_TIMEOUT(portalPages(window.data()).isEmpty(), 20000);
    QTRY_VERIFY(window->findChildren<QWebEngineView *>().isEmpty());
    QVERIFY(!server.sawPathEndingWith(QStringLiteral("abouttarsen")));

    // The form is back and usable: the user name typed before is still there.
    auto *userEdit = window->findChild<QLineEdit *>(QStringLiteral("userEdit"));
    QVERIFY(userEdit->isVisible());
    QCOMPARE(userEdit->text(), QStringLiteral("a b"));
    QTest::keyClicks(userEdit, QStringLiteral("c"));
    QCOMPARE(userEdit->text(), QStringLiteral("a bc"));

    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(QStringLiteral("/")).size(), 2, 30000);
    QVERIFY(server.requestsTo(QStringLiteral("/")).last().rawQuery.startsWith("username=a%20bc&"));
}

void TestPortal::exitBeforeFirstPageFinished()
{
    server.exitBeforeLoaded = true;
    login(server.address());
    QTRY_VERIFY_WITH_TIMEOUT(server.sawPathEndingWith(QStringLiteral("/held.png")), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(portalPages(window.data()).isEmpty(), 20000);

    // The busy layer went with the view: nothing covers the form any more.
    QVERIFY(!window->findChild<QProgressIndicator *>());
    auto *loginButton = window->findChild<QPushButton *>(QStringLiteral("loginButton"));
    QVERIFY(loginButton->isVisible());
    QCOMPARE(window->childAt(loginButton->mapTo(window.data(), loginButton->rect().center())), loginButton);
    auto *userEdit = window->findChild<QLineEdit *>(QStringLiteral("userEdit"));
    QTest::keyClicks(userEdit, QStringLiteral("c"));
    QCOMPARE(userEdit->text(), QStringLiteral("a bc"));
}

void TestPortal::portalNotOpened_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addRow("chinese") << "0" << QStringLiteral("错误")
                             << QStringLiteral("门户页面未能打开\uff0c请检查服务器地址后重试");
    QTest::addRow("english") << "1"
                             << "Error"
                             << "The portal did not open. Check the server address and try again.";
}

void TestPortal::portalNotOpened()
{
    // The server passes the identity check, then drops the sign-in page; the
    // automatic logon took the user there at start.
    QFETCH(QString, language);
    QFETCH(QString, title);
    QFETCH(QString, text);
    server.dropSignIn = true;
    writeSetting(QStringLiteral("language"), language);
    writeSetting(QStringLiteral("serviceIP"), server.address());
    writeSetting(QStringLiteral("autologin"), QStringLiteral("1"));
    writeSetting(QStringLiteral("recordpass"), QStringLiteral("1"));
    writeSetting(QStringLiteral("user"), QStringLiteral("a b"));
    writeSetting(QStringLiteral("password"), password);
    QVERIFY(open(server.address()));

    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 30000);
    QCOMPARE(boxes.first().title, title);
    QCOMPARE(boxes.first().text, text);
    QVERIFY(!server.requestsTo(QStringLiteral("/")).isEmpty());
    QTRY_VERIFY(portalPages(window.data()).isEmpty());
    QTRY_VERIFY(window->findChildren<QWebEngineView *>().isEmpty());
    QVERIFY(!window->findChild<QProgressIndicator *>());
    // Back at the form as after the exit address, and no new attempt by itself.
    QCOMPARE(window->focusWidget(), window->findChild<QWidget *>(QStringLiteral("passwordEdit")));
    QCOMPARE(server.requestsTo(identityPath).size(), 1);
    QFile log(logFilePath(QDate::currentDate()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> said = log.readAll().split('\n');
    QByteArray failure;
    for (const QByteArray &line : said)
        if (line.contains("did not load"))
            failure += line;
    // The address that failed, without the query that holds the password.
    QVERIFY2(
        failure.trimmed().endsWith(QByteArray(" " + server.address().toLatin1() + "/")), failure.constData());

    // The form works: Enter in the password field opens the portal, now that it loads.
    server.dropSignIn = false;
    strike(window.data(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), 2, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(liveView() && liveView()->findChild<FirstLoadWatch *>()->settled(), 30000);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("loginWidget"))->isEnabled());
}

void TestPortal::signInPageMovesOn_data()
{
    QTest::addColumn<QByteArray>("signInPage");
    QTest::addRow("at once") << QByteArray(
        "<html><head><script>location.replace('/page2');</script></head></html>");
    // The engine reports the stopped load as failed; the next one starts soon after.
    QTest::addRow("stopped first") << QByteArray(
        "<html><body><img src='/held.png'><script>window.stop();"
        "setTimeout(function() { location.replace('/page2'); }, 200);</script></body></html>");
}

void TestPortal::signInPageMovesOn()
{
    QFETCH(QByteArray, signInPage);
    server.signInPage = signInPage;
    login(server.address());
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    const QPointer<FirstLoadWatch> watch = liveView()->findChild<FirstLoadWatch *>();
    QVERIFY(watch);
    // Settled, or gone with a view taken down.
    QTRY_VERIFY_WITH_TIMEOUT(!watch || watch->settled(), 30000);
    QVERIFY(boxes.isEmpty());
    QVERIFY(watch);
    QCOMPARE(server.requestsTo(QStringLiteral("/page2")).size(), 1);
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("loginWidget"))->isEnabled());
}

void TestPortal::twoQuickPresses()
{
    login(server.address());
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), 2, 20000);
    // The second answer replaces the first portal, possibly before its
    // sign-in request left: one page is left, and the checks' access
    // managers are gone.
    QTRY_VERIFY_WITH_TIMEOUT(livePage(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!server.requestsTo(QStringLiteral("/")).isEmpty(), 30000);
    QTRY_COMPARE(window->findChildren<QWebEngineView *>().size(), 1);
    QTRY_VERIFY(window->findChildren<QNetworkAccessManager *>().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);

    livePage()->runJavaScript(QStringLiteral("document.getElementById('rdp').click();"));
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    // A second live page would have started its client in the same turn, and
    // every start is logged before the client runs.
    QCOMPARE(clientStartsLogged(), 1);
    QCOMPARE(fake->calls().size(), 1);
    QDir(fake->workDir() + QStringLiteral("/records")).removeRecursively();
    QDir().mkpath(fake->workDir() + QStringLiteral("/records"));
}

void TestPortal::passwordNeverLogged()
{
    // An address without scheme logs the whole sign-in address; the gateway
    // password of a connection file is logged with the client's arguments.
    // A page script and the client name the passwords under other names.
    server.connectionFile = QByteArrayLiteral("gatewayhostname:s:gw\r\ngatewaypassword:s:Gw-Pa55\r\n");
    server.signInExtra = "<script>var q = new URLSearchParams(location.search);"
                         "console.error('value: ' + q.get('password'));"
                         "console.error('query: ' + location.search.replace('password=', 'pw='));</script>";
    qputenv("FAKE_FREERDP_OUTPUT", "the gateway refused Gw-Pa55\n");
    qputenv("FAKE_FREERDP_EXIT", "1");
    QString address = server.address();
    login(address.remove(QStringLiteral("https://")));
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    livePage()->runJavaScript(QStringLiteral("document.getElementById('rdp').click();"));
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    const auto logged = [] {
        QFile log(logFilePath(QDate::currentDate()));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(logged().contains("FreeRDP client ended"), 20000);
    qunsetenv("FAKE_FREERDP_OUTPUT");
    qunsetenv("FAKE_FREERDP_EXIT");
    window.reset();
    qInstallMessageHandler(nullptr);

    QFile log(logFilePath(QDate::currentDate()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray session = log.readAll();
    QVERIFY(session.contains("password=***"));
    QVERIFY(session.contains("/gp:***"));
    QVERIFY(session.contains("value: ***"));
    QVERIFY(session.contains("&pw=***&sid="));
    QVERIFY(session.contains("the gateway refused ***"));
    for (const QByteArray &secret : {password.toUtf8(), QByteArray("S3cr3t%20pw"), QByteArray("Gw-Pa55")})
        QVERIFY2(!session.contains(secret), secret.constData());
    QDir(fake->workDir() + QStringLiteral("/records")).removeRecursively();
    QDir().mkpath(fake->workDir() + QStringLiteral("/records"));
}

void TestPortal::oddCredentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addRow("outside Latin-1") << QStringLiteral("\u7528\u6237")
                                     << QStringLiteral("\u5bc6\u7801\u00e9");
    QTest::addRow("control characters") << QStringLiteral("a\tb\x01&c=d") << QStringLiteral("p\r\nq#\x7f");
    QTest::addRow("10,000 characters")
        << QString(10000, QLatin1Char('u')) << QString(10000, QLatin1Char('p'));
}

void TestPortal::oddCredentials()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    loginAs(server.address(), user, pass);
    QTRY_VERIFY_WITH_TIMEOUT(!server.requestsTo(QStringLiteral("/")).isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    QVERIFY(boxes.isEmpty());

    // Whatever was typed, the query keeps its four values in order, with
    // nothing raw that could split or end it.
    const QByteArray query = server.requestsTo(QStringLiteral("/")).first().rawQuery;
    const QList<QByteArray> pairs = query.split('&');
    QCOMPARE(pairs.size(), 4);
    QVERIFY(pairs.at(0).startsWith("username="));
    QVERIFY(pairs.at(1).startsWith("password="));
    QVERIFY(pairs.at(2).startsWith("sid="));
    QCOMPARE(pairs.at(3), QByteArray("a=a"));
    for (const char c : query)
        QVERIFY2(c > 0x20 && c < 0x7f, query.left(200).constData());
    // The field may cut a long entry; what it holds is what is sent.
    const QString typed = window->findChild<QLineEdit *>(QStringLiteral("userEdit"))->text();
    QVERIFY(user.startsWith(typed));
    QCOMPARE(QString::fromLatin1(QByteArray::fromPercentEncoding(pairs.at(0).mid(9))),
        QString::fromLatin1(typed.toLatin1()));

    // The form is stored as typed and the window still answers.
    QCOMPARE(readSetting(QStringLiteral("user"), QString()), QString());
    QVERIFY(livePage());
}

void TestPortal::oddServerAddress_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addRow("10,000 characters") << QLatin1Char('/') + QString(10000, QLatin1Char('x'));
    QTest::addRow("outside Latin-1") << QStringLiteral("/\u95e8\u6237");
    QTest::addRow("control characters") << QStringLiteral("/\x01\r\nHost: evil");
    QTest::addRow("blank and percent") << QStringLiteral("/a b%zz");
}

void TestPortal::oddServerAddress()
{
    // None of these is the identity path any more: the server's answer is
    // not the identity reply, and the launcher says so and goes on working.
    QFETCH(QString, suffix);
    writeSetting(QStringLiteral("language"), QStringLiteral("1"));
    login(server.address() + suffix);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 20000);
    QCOMPARE(boxes.first().text, QStringLiteral("Please check server address"));
    QVERIFY(!livePage());
    for (const HttpRequest &request : server.requests())
        QVERIFY2(request.header("Host").startsWith("127.0.0.1:"), request.header("Host").constData());

    // The window goes on answering: the next press gets its own answer.
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 2, 20000);
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("loginWidget"));
}

void TestPortal::hugeIdentityReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("opens");
    const QByteArray padding(6 * 1024 * 1024, ' ');
    QTest::addRow("6 MB of JSON") << QByteArray("{\"isMe\":true," + padding + "\"x\":1}") << true;
    QTest::addRow("6 MB of text") << QByteArray("isMe" + padding) << false;
}

void TestPortal::hugeIdentityReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, opens);
    server.identityReply = reply;
    login(server.address());
    if (opens)
        QTRY_VERIFY_WITH_TIMEOUT(livePage(), 30000);
    else
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 30000);
    QCOMPARE(boxes.isEmpty(), opens);
}

void TestPortal::identityReplyThatNeverEnds()
{
    server.holdIdentity = true;
    login(server.address());
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), 1, 20000);
    QVERIFY(!livePage());

    // The form stays usable, and a press once the server answers opens the portal.
    auto *userEdit = window->findChild<QLineEdit *>(QStringLiteral("userEdit"));
    QTest::keyClicks(userEdit, QStringLiteral("x"));
    QCOMPARE(userEdit->text(), QStringLiteral("a bx"));
    server.holdIdentity = false;
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(livePage(), 20000);
    // The later answer has been handled; the held one still has raised nothing.
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(window->findChildren<QWebEngineView *>().size(), 1);
}

void TestPortal::windowStaysWhereMoved()
{
    WindowManager manager;
    QVERIFY2(manager.start(), "openbox did not take the display");
    QVERIFY(open(server.address()));
    // Placed by the manager, not where the window first showed.
    QTRY_VERIFY(WindowManager::isFramed(window->winId()));
    const QRect placed = WindowManager::geometryOf(window->winId());
    QVERIFY(placed.isValid());
    const QRect seenPlaced = window->geometry();
    // Moved by the user, somewhere the manager would never place it itself.
    QVERIFY(WindowManager::move(window->winId(), placed.topLeft() + QPoint(37, 29)));
    const QRect moved = WindowManager::geometryOf(window->winId());
    QCOMPARE(moved.size(), placed.size());
    QVERIFY(moved.topLeft() != placed.topLeft());
    // What Qt makes of it, which under a frame need not be what X says.
    QTRY_VERIFY(window->geometry() != seenPlaced);
    const QRect seenMoved = window->geometry();
    const WId before = window->internalWinId();

    window->findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(password);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // The sign that the view has drawn: Qt 6 has given the window a new native window.
    QTRY_VERIFY(window->internalWinId() != 0 && window->internalWinId() != before);
#else
    QCOMPARE(window->internalWinId(), before);
#endif
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QTRY_COMPARE(WindowManager::geometryOf(window->winId()), moved);
    QCOMPARE(window->geometry(), seenMoved);
}

void TestPortal::portalOwnsKeyboard()
{
    writeSetting(QStringLiteral("serviceIP"), server.address());
    window.reset(new MainWindow);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.data()));
    QWidget *main = window.data();
    auto *form = window->findChild<QWidget *>(QStringLiteral("loginWidget"));
    QCOMPARE(QApplication::focusWidget(), window->findChild<QWidget *>(QStringLiteral("userEdit")));
    for (const char c : QByteArray("kate"))
        strike(main, Qt::Key(QTest::asciiToKey(c)));
    strike(main, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    QTRY_VERIFY(liveView()->isAncestorOf(QApplication::focusWidget()));

    QStringList formVisits;
    QObject watching; // goes before the list it fills
    connect(qApp, &QApplication::focusChanged, &watching, [&formVisits, form](QWidget *, QWidget *now) {
        if (now && form->isAncestorOf(now))
            formVisits << now->objectName();
    });
    // Once round the page's four stops; past the last one the page lets go
    // of the focus, and the next Tab finds the first stop again, never the
    // form hidden under the page.
    const QString first = QStringLiteral("rdp");
    const QString last = QStringLiteral("x");
    // Keys reach the page once its document has the keyboard, which on Qt 6
    // can come a moment after the view has the widget focus.
    QTRY_COMPARE_WITH_TIMEOUT((askPageFocus(), pageFocus), QStringLiteral("BODY"), 10000);
    for (const QString &stop : {first, QStringLiteral("exit"), QStringLiteral("near"), last}) {
        strike(main, Qt::Key_Tab);
        QTRY_COMPARE_WITH_TIMEOUT((askPageFocus(), pageFocus), stop, 10000);
    }
    strike(main, Qt::Key_Tab);
    QTRY_VERIFY_WITH_TIMEOUT((askPageFocus(), pageFocus != last), 10000);
    if (pageFocus != first) {
        strike(main, Qt::Key_Tab);
        QTRY_COMPARE_WITH_TIMEOUT((askPageFocus(), pageFocus), first, 10000);
    }
    QCOMPARE(formVisits, QStringList());
    QVERIFY(liveView()->isAncestorOf(QApplication::focusWidget()));

    // Enter in the page's form sends that form, to the exit address here.
    for (int i = 0; i < 3; ++i)
        strike(main, Qt::Key_Tab);
    QTRY_COMPARE_WITH_TIMEOUT((askPageFocus(), pageFocus), last, 10000);
    strike(main, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(portalPages(window.data()).isEmpty(), 20000);
    QCOMPARE(server.requestsTo(identityPath).size(), 1);

    // The form is back in the keyboard's reach: the name is there, so the
    // password is next; Enter logs in again.
    QTRY_COMPARE(QApplication::focusWidget(), window->findChild<QWidget *>(QStringLiteral("passwordEdit")));
    strike(main, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window->findChild<QWidget *>(QStringLiteral("loginButton")));
    strike(main, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(identityPath).size(), 2, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(QStringLiteral("/")).size(), 2, 30000);
    QVERIFY(server.requestsTo(QStringLiteral("/")).last().rawQuery.startsWith("username=kate&"));
}

void TestPortal::signInPageKeepsThePassword()
{
    // The sign-in address holds the password: a page that logs it or raises a
    // dialog titled with it must leave neither in the log nor on screen.
    server.signInExtra = "<script>console.error(location.href); alert('signed in');</script>";
    QStringList titles;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&titles] {
        const QWidgetList all = QApplication::topLevelWidgets();
        for (QWidget *widget : all) {
            if (!widget->isVisible())
                continue;
            titles << widget->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(widget))
                box->done(QMessageBox::Ok);
        }
    });
    watcher.start(50);
    login(server.address());
    const QString alertTitle = QStringLiteral("Javascript Alert - %1").arg(server.address());
    QTRY_VERIFY_WITH_TIMEOUT(titles.contains(alertTitle), 30000);
    const QString logPath = logFilePath(QDate::currentDate());
    const auto log = [&logPath] {
        QFile file(logPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(log().contains("Critical: https://127.0.0.1:"), 20000);
    window.reset();
    watcher.stop();
    qInstallMessageHandler(nullptr);

    const QByteArray session = log();
    QVERIFY2(session.contains("username=a%20b&password***"), session.constData());
    for (const QString &secret : {password, QStringLiteral("S3cr3t%20pw")}) {
        QVERIFY2(!session.contains(secret.toUtf8()), qPrintable(secret));
        for (const QString &title : std::as_const(titles))
            QVERIFY2(!title.contains(secret), qPrintable(title));
    }
}

void TestPortal::sessionEndsWithThePortal()
{
    server.sessionCookie = "portal_session=c00k1e; Path=/; Secure; HttpOnly";
    login(server.address());
    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    // The portal's cookie is there while the portal is.
    livePage()->runJavaScript(QStringLiteral("fetch('/still-signed-in');"));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(QStringLiteral("/still-signed-in")).size(), 1, 20000);
    QCOMPARE(server.requestsTo(QStringLiteral("/still-signed-in")).first().header("Cookie"),
        QByteArray("portal_session=c00k1e"));
    QPointer<QWebEngineProfile> profile = livePage()->profile();

    livePage()->runJavaScript(QStringLiteral("document.getElementById('exit').click();"));
    QTRY_VERIFY_WITH_TIMEOUT(portalPages(window.data()).isEmpty(), 20000);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(QStringLiteral("/")).size(), 2, 30000);
    QCOMPARE(server.requestsTo(QStringLiteral("/")).last().header("Cookie"), QByteArray());
    // Kept in memory only, and gone with the portal it served.
    QVERIFY(!profile);
    QTRY_VERIFY_WITH_TIMEOUT(livePage(), 20000);
    QVERIFY(livePage()->profile()->isOffTheRecord());
}

void TestPortal::warmUpOnIntent_data()
{
    QTest::addColumn<QString>("intent"); // empty: none before the press

    QTest::addRow("none") << QString();
    QTest::addRow("typing the password") << "typing";
    QTest::addRow("Tab to the login button") << "tab";
    QTest::addRow("a remembered password") << "remembered";
}

// A likely login opens the identity check's connection and sends nothing on
// it; the press then sends the same requests as without it. (Whether the
// check then takes that connection is Qt's to decide, and the benchmark's
// to show.)
void TestPortal::warmUpOnIntent()
{
    QFETCH(QString, intent);
    if (intent == QLatin1String("remembered")) {
        writeSetting(QStringLiteral("recordpass"), QStringLiteral("1"));
        writeSetting(QStringLiteral("user"), QStringLiteral("a b"));
        writeSetting(QStringLiteral("password"), password);
    }
    const int handshakesBefore = server.handshakes();
    const int connectionsBefore = server.connections();
    // This window's requests: a page of the row before may still ask for its icon.
    const auto requestsOfThisWindow = [&] {
        QVector<HttpRequest> ours;
        const QVector<HttpRequest> requests = server.requests();
        for (const HttpRequest &request : requests) {
            if (request.connection > connectionsBefore && request.path != QLatin1String("/favicon.ico"))
                ours << request;
        }
        return ours;
    };
    QVERIFY(open(server.address()));
    auto *passwordEdit = child<QLineEdit>("passwordEdit");
    if (intent != QLatin1String("remembered"))
        child<QLineEdit>("userEdit")->setText(QStringLiteral("a b"));
    if (intent == QLatin1String("typing")) {
        QTest::keyClicks(passwordEdit, password);
    } else if (intent != QLatin1String("remembered")) {
        passwordEdit->setText(password);
    }
    if (intent == QLatin1String("tab")) {
        // Focus events come only to the active window.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.data()));
        passwordEdit->setFocus();
        QTest::keyClick(passwordEdit, Qt::Key_Tab);
        QCOMPARE(window->focusWidget(), child<QWidget>("loginButton"));
    }
    QCOMPARE(passwordEdit->text(), password);

    if (!intent.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(server.handshakes(), handshakesBefore + 1, 20000);
        // And the launcher's side of it has ended.
        QTRY_VERIFY(window->findChildren<QNetworkReply *>().isEmpty());
        QVERIFY(requestsOfThisWindow().isEmpty());
    }
    // Enter, which moves no focus.
    QTest::keyClick(window->focusWidget(), Qt::Key_Return);

    QTRY_VERIFY_WITH_TIMEOUT(liveView(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);
    QStringList paths;
    const QVector<HttpRequest> requests = requestsOfThisWindow();
    for (const HttpRequest &request : requests)
        paths << QString::fromLatin1(request.method) + QLatin1Char(' ') + request.path;
    QCOMPARE(paths, QStringList({QStringLiteral("GET ") + identityPath, QStringLiteral("GET /")}));
}

QTEST_MAIN(TestPortal)
#include "TestPortal.moc"
