#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "ConfigStore.h"
#include "DesktopEndBoxes.h"
#include "FirstLoadWatch.h"
#include "KioskSession.h"
#include "LogWriter.h"
#include "LoginFlow.h"
#include "MessageBox.h"
#include "PortalModule.h"
#include "PortalView.h"
#include "QProgressIndicator.h"
#include "RememberedPassword.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QScreen>
#include <QStackedLayout>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace {

bool englishSelected()
{
    return readNumber(Setting::language) == 1;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , loginFlow(new LoginFlow(this))
    , desktopEnds(new DesktopEndBoxes(this))
    , remembered(new RememberedPassword(this))
{
    loadTranslators();
    ui->setupUi(this);
    if (readFlag(Setting::kiosk))
        kiosk = new KioskSession(readNumber(Setting::kioskIdleMinutes), desktopEnds, this);
    // The form's central widget is a plain placeholder, not a web view, so
    // the web engine stays out of the program; the form replaces it.
    form.setupUi(this, kiosk);
    fillLoginForm();
    if (kiosk)
        startKiosk();

    connect(form.configButton, &QPushButton::clicked, this, &MainWindow::on_config);
    connect(form.loginButton, SIGNAL(clicked()), this, SLOT(on_Login()));
    connect(form.languageBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &MainWindow::languageIndexChanged);
    // Enter in either field takes the road of a click on the login button.
    connect(form.userEdit, &QLineEdit::returnPressed, form.loginButton, &QPushButton::click);
    connect(form.passwordEdit, &QLineEdit::returnPressed, form.loginButton, &QPushButton::click);

    connect(loginFlow, &LoginFlow::accepted, this, &MainWindow::initWebView);
    connect(loginFlow, &LoginFlow::refused, this,
        [](const QString &title, const QString &message) { MessageBox::about(title, message); });
    connect(loginFlow, &LoginFlow::trustNeeded, this, &MainWindow::askTrust);
    connect(loginFlow, &LoginFlow::signInRefused, this, &MainWindow::doExit);
    connect(loginFlow, &LoginFlow::loginAgain, this, &MainWindow::on_Login);

    // Signs that a login press is near: typing in the password field, and
    // the login button taken by the user (eventFilter).
    connect(form.passwordEdit, &QLineEdit::textEdited, this, &MainWindow::warmUp);
    form.loginButton->installEventFilter(this);
    // A refused login opens no portal: the engine's processes go with the view.
    connect(loginFlow, &LoginFlow::refused, this, &MainWindow::dropPreparedView);

    if (!kiosk && readFlag(Setting::autologin)) {
        // Shift at start is the way back to a form that the automatic logon
        // would cover again at every start; the stored choice stays.
        if (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier)
            qInfo() << "Automatic logon skipped: Shift held at start";
        else if (remembered->isLoading()) {
            autoLogonWaiting = true;
            warmUp();
        } else
            on_Login();
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::fillLoginForm()
{
    if (kiosk) {
        // A shared machine remembers no one.
        form.autoLoginBox->setEnabled(false);
        form.recordPassBox->setEnabled(false);
    } else {
        form.autoLoginBox->setChecked(readFlag(Setting::autologin));
        form.autoLoginBox->setEnabled(!isSettingMandatory(Setting::autologin));
        // A fixed "0" keeps the box unticked, so every login stores the password empty.
        form.recordPassBox->setEnabled(!isSettingMandatory(Setting::recordpass));
        if (readFlag(Setting::recordpass)) {
            form.recordPassBox->setChecked(true);
            form.userEdit->setText(readSetting(Setting::user));
        }
        connect(remembered, &RememberedPassword::loaded, this, [this](const QString &password) {
            // The form showed at once: what the user typed meanwhile stays.
            if (!form.userEdit->isModified() && !form.passwordEdit->isModified())
                form.passwordEdit->setText(password);
            if (!password.isEmpty())
                warmUp();
            if (std::exchange(autoLogonWaiting, false))
                on_Login();
        });
        remembered->load(serverAddress());
    }
    form.languageBox->setCurrentIndex(readNumber(Setting::language));
    form.languageBox->setEnabled(!isSettingMandatory(Setting::language));
    form.focusFirstEmpty();
}

// Language switching

void MainWindow::loadTranslators()
{
    // Both are compiled in; a miss is a broken build, and the form would show
    // its source texts only.
    if (!englishTranslator.load(QStringLiteral(":/lang_English.qm"))
        || !chineseTranslator.load(QStringLiteral(":/lang_Chinese.qm")))
        qWarning() << "a compiled-in catalogue did not load";
    if (englishSelected())
        QApplication::installTranslator(&englishTranslator);
    else
        QApplication::installTranslator(&chineseTranslator);
}

void MainWindow::languageIndexChanged(int index)
{
    if (index == 1) {
        QApplication::removeTranslator(&chineseTranslator);
        QApplication::installTranslator(&englishTranslator);
    } else {
        QApplication::removeTranslator(&englishTranslator);
        QApplication::installTranslator(&chineseTranslator);
    }
    ui->retranslateUi(this);
    if (urlDialog)
        urlDialog->retranslate();
    form.retranslateUi(this);
    writeSetting(Setting::language, index == 1 ? QStringLiteral("1") : QStringLiteral("0"));
}

void MainWindow::on_config()
{
    if (!urlDialog) {
        urlDialog.reset(new UrlDialog);
        urlDialog->retranslate();
    }
    urlDialog->setModal(true);
    urlDialog->show();
}

QString MainWindow::serverAddress() const
{
    return urlDialog ? urlDialog->serverAddress : readSetting(Setting::serviceIP);
}

// Identity check

void MainWindow::on_Login()
{
    autoLogonWaiting = false;
    // A kiosk remembers no one: nothing of the user or the choices is written.
    const auto storeForm
        = [this, server = serverAddress(), user = form.userEdit->text(), password = form.passwordEdit->text(),
              remember = form.recordPassBox->isChecked(), autoLogon = form.autoLoginBox->isChecked()] {
              if (kiosk)
                  return;
              remembered->store(server, user, password, remember);
              writeFlag(Setting::recordpass, remember);
              writeFlag(Setting::autologin, autoLogon);
          };

    const QString address = serverAddress();
    QNetworkAccessManager *manager = address.isEmpty() ? nullptr : loginFlow->sendIdentityCheck(address);
    if (!manager) {
        storeForm();
        if (address.isEmpty())
            MessageBox::about(tr("错误"), tr("服务器地址不能为空"));
        return;
    }
    connect(manager, &QNetworkAccessManager::finished, this, &MainWindow::ResponseUrl);
    // The web engine loads while the server answers, ready for a yes; the
    // settings are written after it, out of the way.
    portalModule.module();
    prepareViewSoon();
    QTimer::singleShot(0, this, storeForm);
}

void MainWindow::warmUp()
{
    if (portalView)
        return;
    loginFlow->prepareIdentityCheck(serverAddress());
    prepareViewSoon();
}

void MainWindow::prepareViewSoon()
{
    if (preparedView || viewComing)
        return;
    viewComing = true;
    // From the constructor too: the window shows first.
    QTimer::singleShot(0, this, &MainWindow::prepareView);
}

void MainWindow::prepareView()
{
    // The form is drawn first. Each part in a turn of its own, so that keys
    // typed meanwhile are taken between them.
    if (preparedView || portalView || !isVisible()) {
        viewComing = false;
        return;
    }
    const QWindow *window = windowHandle();
    if (!window || !window->isExposed()) {
        QTimer::singleShot(20, this, &MainWindow::prepareView);
        return;
    }
    if (!portalModule.isLoaded()) {
        QTimer::singleShot(0, this, [this] {
            portalModule.module();
            QTimer::singleShot(0, this, &MainWindow::prepareView);
        });
        return;
    }
    viewComing = false;
    PortalModule *module = portalModule.module();
    if (!module)
        return;
    // A window of its own that never shows until the portal's layout takes
    // it: made as the window's hidden child, the page then took no clicks.
    preparedView.reset(module->createView(nullptr));
}

void MainWindow::ResponseUrl(QNetworkReply *reply)
{
    loginFlow->takeIdentityReply(reply);
}

void MainWindow::askTrust(const CertificateFinding &finding)
{
    const bool trusted = MessageBox::question(tr("服务器证书已更改"),
        tr("服务器 %1 出示的证书与记住的不同。\n\n记住的指纹：\n%2\n\n新的指纹：\n%3\n\n"
           "只有确知服务器更换了证书时才信任新证书。")
            .arg(finding.hostPort, finding.expected, finding.presented),
        tr("信任新证书"), tr("取消"));
    loginFlow->answerTrust(finding, trusted);
}

// Portal view

void MainWindow::dropPreparedView()
{
    preparedView.reset();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Focus the program moves there, as when the portal goes, is no sign.
    if (watched == form.loginButton && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason
            || reason == Qt::ShortcutFocusReason)
            warmUp();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::initWebView()
{
    // A missing or broken module was logged when it was loaded; the window
    // stays at the login form.
    PortalModule *module = portalModule.module();
    if (!module)
        return;

    // A view left over from an earlier check would answer every download too.
    if (portalView) {
        portalView->disconnect(this);
        portalView->close();
        portalView->deleteLater();
    }

    portalView = preparedView ? preparedView.release() : module->createView(this);
    connect(portalView, SIGNAL(exitFromPage()), this, SLOT(doExit()));
    connect(portalView, &PortalView::loadFinished, this, &MainWindow::finishedWeb);
    connect(portalView, &PortalView::secretInUse, this, [](const QString &value) { maskInLog({value}); });
    connect(portalView, &PortalView::clientEnded, desktopEnds,
        [this, view = portalView](const ClientEnd &end) { desktopEnds->report(view, end); });
    if (kiosk) {
        // After the box, so that a failed desktop's box is up when the
        // session looks whether one is.
        connect(portalView, &PortalView::clientStarted, kiosk, &KioskSession::desktopStarted);
        connect(portalView, &PortalView::clientEnded, kiosk, &KioskSession::desktopEnded);
        kiosk->portalOpened();
    }
    auto *firstLoad = new FirstLoadWatch(portalView);
    connect(portalView, &PortalView::loadStarted, firstLoad, &FirstLoadWatch::loadStarted);
    connect(portalView, &PortalView::loadFinished, firstLoad, &FirstLoadWatch::loadFinished);
    connect(firstLoad, &FirstLoadWatch::failed, this, [this, view = portalView] {
        // A view already replaced or left has nothing to say any more.
        if (view == portalView)
            portalNotOpened();
    });
    portalView->setFloatingBar(readFlag(Setting::floatbar));
    portalView->setAcceptLanguage(
        englishSelected() ? QStringLiteral("en-US,en,*") : QStringLiteral("zh-CN,zh,*"));

    indicator = new QProgressIndicator(this);
    indicator->setColor(Qt::red);
    indicator->startAnimation();

    auto *indicatorRow = new QHBoxLayout;
    indicatorRow->addStretch();
    indicatorRow->addWidget(indicator);
    indicatorRow->addStretch();

    overlayWidget = new QWidget(this);
    overlayWidget->setLayout(indicatorRow);
    overlayWidget->setAttribute(Qt::WA_TranslucentBackground, true);

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 gives the window a new native window when the view first draws in
    // it; a position set by the window itself is one a window manager keeps,
    // where one the user chose would be placed anew.
    move(pos());
#endif
    portalWidget = new QWidget(this);
    // Adding the form to the new stack takes it out of the old central
    // widget before setCentralWidget deletes that one: keep this order.
    stackLayout = new QStackedLayout;
    stackLayout->setStackingMode(QStackedLayout::StackAll);
    stackLayout->addWidget(form.loginWidget);
    stackLayout->addWidget(portalView);
    stackLayout->addWidget(overlayWidget);
    portalWidget->setLayout(stackLayout);
    activeWhenPortalShown = isActiveWindow();
    setCentralWidget(portalWidget);
    setLoginFormReachable(false);

    loginFlow->signIn(portalView, serverAddress(), form.userEdit->text(), form.passwordEdit->text());
}

void MainWindow::removeBusyLayer()
{
    if (!indicator)
        return;
    indicator->stopAnimation();
    overlayWidget->close();
    delete indicator;
    delete overlayWidget;
    indicator = nullptr;
    overlayWidget = nullptr;
}

bool MainWindow::event(QEvent *event)
{
    // Qt 6 gives the window a new native window when the web view first draws
    // in it (the old one goes first, id 0); the new one is not active by
    // itself, so a press of the login button would lose the keyboard.
    if (event->type() == QEvent::WinIdChange && activeWhenPortalShown && internalWinId() != 0) {
        activeWhenPortalShown = false;
        activateWindow();
    }
    return QMainWindow::event(event);
}

void MainWindow::finishedWeb()
{
    activeWhenPortalShown = false;
    removeBusyLayer();
    if (portalView)
        portalView->setFocus(Qt::OtherFocusReason);
}

void MainWindow::doExit()
{
    // Called from inside the page's navigation decision: the view and its
    // page are still on the stack, so they go through the event loop.
    if (portalView) {
        portalView->disconnect(this);
        portalView->close();
        portalView->deleteLater();
        portalView = nullptr;
    }
    // An exit before the first page finished would leave the busy layer over
    // the form and swallow every click.
    removeBusyLayer();
    if (kiosk) {
        kiosk->portalClosed();
        form.userEdit->clear();
        form.passwordEdit->clear();
    }
    setLoginFormReachable(true);
}

void MainWindow::startKiosk()
{
    if (!isSettingMandatory(Setting::serviceIP))
        qWarning()
            << "Kiosk mode without a mandatory serviceIP: the server address can be changed at the form";
    connect(kiosk, &KioskSession::portalToClose, this, &MainWindow::leavePortalForNext);
    // Its own geometry too, so that it covers the screen without a window manager.
    const QScreen *screen = QGuiApplication::screenAt(geometry().center());
    setGeometry((screen ? screen : QGuiApplication::primaryScreen())->geometry());
    setWindowState(Qt::WindowFullScreen);
}

void MainWindow::leavePortalForNext()
{
    qInfo() << "Kiosk: portal closed for the next user";
    doExit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A kiosk ends only with its process.
    if (kiosk) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::portalNotOpened()
{
    // The query holds the password.
    const QUrl failed = portalView->url();
    qWarning().noquote() << "Portal page did not load:"
                         << failed.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    doExit();
    MessageBox::about(tr("错误"), tr("门户页面未能打开，请检查服务器地址后重试"));
}

void MainWindow::setLoginFormReachable(bool reachable)
{
    // Hidden under the portal, the form must not take focus: Tab out of the
    // page would land in the user field, and Enter there would start a new
    // login that rebuilds the portal.
    form.loginWidget->setEnabled(reachable);
    if (reachable)
        form.focusFirstEmpty();
}
