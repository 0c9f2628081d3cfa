#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "CertificateStore.h"
#include "ConfigStore.h"
#include "ControlData.h"
#include "EnterRepeatFilter.h"
#include "FirstLoadWatch.h"
#include "IdentityCheck.h"
#include "MessageBox.h"
#include "PortalModule.h"
#include "PortalSignIn.h"
#include "QProgressIndicator.h"
#include "ServerCertificate.h"
#include "TerminalIdentity.h"
#include "Version.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

QString windowTitleText()
{
    return QStringLiteral("VelmoClient_V" VELMO_VERSION_SHORT);
}

bool englishSelected()
{
    return settingToInt(readSetting(Setting::language)) == 1;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    loadTranslators();
    ui->setupUi(this);
    setWindowTitle(windowTitleText());
    setObjectName(QStringLiteral("mainWindow"));
    setStyleSheet(QStringLiteral("#mainWindow{border-image:url(:/resource/background-oem.png);}"));
    // The form's central widget is a plain placeholder, not a web view, so
    // the web engine stays out of the program; buildLoginForm replaces it.
    buildLoginForm();

    connect(configButton, SIGNAL(clicked()), this, SLOT(on_config()));
    connect(loginButton, SIGNAL(clicked()), this, SLOT(on_Login()));
    connect(languageBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &MainWindow::languageIndexChanged);
    // Enter in either field takes the road of a click on the login button.
    connect(userEdit, &QLineEdit::returnPressed, loginButton, &QPushButton::click);
    connect(passwordEdit, &QLineEdit::returnPressed, loginButton, &QPushButton::click);

    if (isFlagSet(readSetting(Setting::autologin))) {
        // Shift at start is the way back to a form that the automatic logon
        // would cover again at every start; the stored choice stays.
        if (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier)
            qInfo() << "Automatic logon skipped: Shift held at start";
        else
            on_Login();
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::buildLoginForm()
{
    userEdit = new QLineEdit;
    userEdit->setObjectName(QStringLiteral("userEdit"));
    userEdit->setMaxLength(20);
    userEdit->setPlaceholderText(tr("用户名："));

    passwordEdit = new QLineEdit;
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setMaxLength(20);
    passwordEdit->setPlaceholderText(tr("密　码："));

    autoLoginBox = new QCheckBox(tr("自动登录"));
    autoLoginBox->setObjectName(QStringLiteral("autoLoginBox"));
    autoLoginBox->setChecked(isFlagSet(readSetting(Setting::autologin)));
    autoLoginBox->setEnabled(!isSettingMandatory(Setting::autologin));

    recordPassBox = new QCheckBox(tr("记住密码"));
    recordPassBox->setObjectName(QStringLiteral("recordPassBox"));
    // A fixed "0" keeps the box unticked, so every login stores the password empty.
    recordPassBox->setEnabled(!isSettingMandatory(Setting::recordpass));
    if (isFlagSet(readSetting(Setting::recordpass))) {
        recordPassBox->setChecked(true);
        userEdit->setText(readSetting(Setting::user));
        passwordEdit->setText(readSetting(Setting::password));
    }

    loginButton = new QPushButton(tr("登录"));
    loginButton->setObjectName(QStringLiteral("loginButton"));
    configButton = new QPushButton(tr("设置"));
    configButton->setObjectName(QStringLiteral("configButton"));

    languageBox = new QComboBox;
    languageBox->setObjectName(QStringLiteral("languageBox"));
    languageBox->addItem(QStringLiteral("中文"));
    languageBox->addItem(QStringLiteral("English"));
    languageBox->setCurrentIndex(settingToInt(readSetting(Setting::language)));
    languageBox->setEnabled(!isSettingMandatory(Setting::language));

    auto *topRow = new QHBoxLayout;
    topRow->addStretch();
    topRow->addWidget(configButton);
    topRow->addWidget(languageBox);
    topRow->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Minimum));

    auto *userRow = new QHBoxLayout;
    userRow->addWidget(userEdit);
    userRow->addWidget(autoLoginBox);

    auto *passwordRow = new QHBoxLayout;
    passwordRow->addWidget(passwordEdit);
    passwordRow->addWidget(recordPassBox);

    auto *formColumn = new QVBoxLayout;
    formColumn->addLayout(userRow);
    formColumn->addLayout(passwordRow);
    formColumn->addWidget(loginButton);

    auto *centreRow = new QHBoxLayout;
    centreRow->addStretch();
    centreRow->addLayout(formColumn);
    centreRow->addStretch();

    auto *outerColumn = new QVBoxLayout;
    outerColumn->addLayout(topRow);
    outerColumn->addStretch();
    outerColumn->addLayout(centreRow);
    outerColumn->addStretch();

    loginWidget = new QWidget(this);
    loginWidget->setObjectName(QStringLiteral("loginWidget"));
    setCentralWidget(loginWidget);
    loginWidget->setLayout(outerColumn);

    // The order a person fills the form in, not the order of the layout.
    setTabOrder(userEdit, passwordEdit);
    setTabOrder(passwordEdit, loginButton);
    setTabOrder(loginButton, autoLoginBox);
    setTabOrder(autoLoginBox, recordPassBox);
    setTabOrder(recordPassBox, configButton);
    setTabOrder(configButton, languageBox);

    // Shows what Enter does; outside a dialog it also lets the focused button
    // take Enter, and changes nothing else. A held Enter logs in once.
    loginButton->setDefault(true);
    auto *enterFilter = new EnterRepeatFilter(this);
    userEdit->installEventFilter(enterFilter);
    passwordEdit->installEventFilter(enterFilter);
    loginButton->installEventFilter(enterFilter);
    focusLoginEntry();
}

void MainWindow::focusLoginEntry()
{
    if (userEdit->text().isEmpty())
        userEdit->setFocus(Qt::OtherFocusReason);
    else
        passwordEdit->setFocus(Qt::OtherFocusReason);
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
    urlDialog.retranslate();
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
    urlDialog.retranslate();
    retranslateLogin();
    writeSetting(Setting::language.key(), index == 1 ? QStringLiteral("1") : QStringLiteral("0"));
}

void MainWindow::retranslateLogin()
{
    userEdit->setPlaceholderText(tr("用户名："));
    autoLoginBox->setText(tr("自动登录"));
    passwordEdit->setPlaceholderText(tr("密　码："));
    recordPassBox->setText(tr("记住密码"));
    loginButton->setText(tr("登录"));
    configButton->setText(tr("设置"));
    setWindowTitle(windowTitleText());
}

void MainWindow::on_config()
{
    urlDialog.setModal(true);
    urlDialog.show();
}

// Identity check

void MainWindow::on_Login()
{
    const QString user = userEdit->text();
    const QString password = passwordEdit->text();
    const bool remember = recordPassBox->isChecked();
    writeSetting(Setting::user.key(), remember ? user : QString());
    writeSetting(Setting::password.key(), remember ? password : QString());
    writeSetting(Setting::recordpass.key(), remember ? QStringLiteral("1") : QStringLiteral("0"));
    writeSetting(
        Setting::autologin.key(), autoLoginBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));

    const QString address = urlDialog.serverAddress;
    if (address.isEmpty()) {
        MessageBox::about(tr("错误"), tr("服务器地址不能为空"));
        return;
    }

    // Portal servers run on certificates of their own making: the socket takes
    // any, and the certificate rule judges it before the reply counts.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);

    auto *manager = new QNetworkAccessManager(this);
    QNetworkRequest request;
    request.setSslConfiguration(tls);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setUrl(QUrl(identityCheckUrl(address), QUrl::TolerantMode));
    // The answer must come from the address asked: a 3xx is a refusal, not a
    // way to another server's yes. HTTP/1.1 only, as the portal servers speak.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    connect(manager, &QNetworkAccessManager::finished, this, &MainWindow::ResponseUrl);
    manager->get(request);

    // The web engine loads while the server answers, ready for a yes.
    portalModule.module();
}

void MainWindow::ResponseUrl(QNetworkReply *reply)
{
    const QByteArray body = reply->readAll();
    // Each check has its own manager; both go once the answer is read.
    reply->deleteLater();
    if (reply->manager() && reply->manager()->parent() == this)
        reply->manager()->deleteLater();

    qDebug() << QString::fromUtf8(body);
    // A yes from a server the user has not trusted would send the password
    // to it with the portal's sign-in.
    if (!admitIdentityServer(reply))
        return;
    if (isIdentityReply(body)) {
        initWebView();
        return;
    }
    // Deliberately not tr(): this title reads "错误" in both languages.
    MessageBox::about(QStringLiteral("错误"), tr("请检查服务器地址"));
}

// Portal view

void MainWindow::initWebView()
{
    // A missing or broken module was logged when it was loaded; the window
    // stays at the login form.
    PortalModule *module = portalModule.module();
    if (!module)
        return;

    // A page left over from an earlier check would answer every download too.
    if (portalPage) {
        portalPage->disconnect(this);
        module->detachPage(portalPage);
        portalPage->deleteLater();
    }
    if (portalView)
        portalView->disconnect(this);

    portalView = module->createView(this);
    refusedCertificates.clear();
    portalPage = module->createPage(this);
    module->setCertificateCheck(
        portalPage, [this](const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame) {
            return judgePortalCertificate(url, chain, mainFrame);
        });
    connect(portalPage, SIGNAL(exitFromPage()), this, SLOT(doExit()));
    module->setPage(portalView, portalPage);
    portalView->setContextMenuPolicy(Qt::CustomContextMenu);
    // By signature: the view's class is known to the module only.
    connect(portalView, SIGNAL(loadFinished(bool)), this, SLOT(finishedWeb()));
    auto *firstLoad = new FirstLoadWatch(portalView);
    connect(portalView, SIGNAL(loadStarted()), firstLoad, SLOT(loadStarted()));
    connect(portalView, SIGNAL(loadFinished(bool)), firstLoad, SLOT(loadFinished(bool)));
    connect(firstLoad, &FirstLoadWatch::failed, this, [this, view = portalView] {
        // A view already replaced or left has nothing to say any more.
        if (view == portalView)
            portalNotOpened();
    });
    module->setAcceptLanguage(
        portalPage, englishSelected() ? QStringLiteral("en-US,en,*") : QStringLiteral("zh-CN,zh,*"));

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

    portalWidget = new QWidget(this);
    // Adding loginWidget to the new stack takes it out of the old central
    // widget before setCentralWidget deletes that one: keep this order.
    stackLayout = new QStackedLayout;
    stackLayout->setStackingMode(QStackedLayout::StackAll);
    stackLayout->addWidget(loginWidget);
    stackLayout->addWidget(portalView);
    stackLayout->addWidget(overlayWidget);
    portalWidget->setLayout(stackLayout);
    activeWhenPortalShown = isActiveWindow();
    setCentralWidget(portalWidget);
    setLoginFormReachable(false);

    ControlData controlData;
    controlData.serverAddress = urlDialog.serverAddress;
    controlData.serialId = serialIdNotGiven;
    const QString user = userEdit->text();
    const QString password = passwordEdit->text();
    controlData.userName = encodeCredential(user);
    controlData.userPassword = encodeCredential(password);
    loadPortalPage(controlData);
}

void MainWindow::loadPortalPage(ControlData &controlData)
{
    // These log texts are fixed, spelling included: log readers search for them.
    qDebug() << "controlData.useJsLoad =" << false;
    if (controlData.serialId == serialIdNotGiven)
        controlData.serialId = getSerialId();
    const QString sid = encodeSerialId(controlData.serialId);
    qDebug() << QString(QStringLiteral("serial id = ") + controlData.serialId);
    qDebug() << QString(QStringLiteral("decryped serial id = ") + decodeSerialId(sid));

    const QString address = signInAddress(controlData, sid);
    portalModule.module()->load(portalView, QUrl(address, QUrl::TolerantMode));
    if (hasScheme(controlData.serverAddress))
        qDebug() << "controlData.serverAddress=" << controlData.serverAddress;
    else
        qDebug() << signInAddressForLog(controlData, sid);
}

QString MainWindow::getSerialId()
{
    return terminalSerialId();
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
    // Called from inside the page's navigation decision: both objects are
    // still on the stack, so they go through the event loop.
    if (portalView) {
        portalView->close();
        portalView->disconnect(this);
        portalView->deleteLater();
        portalView = nullptr;
    }
    if (portalPage) {
        portalPage->disconnect(this);
        portalPage->deleteLater();
        portalPage = nullptr;
    }
    // An exit before the first page finished would leave the busy layer over
    // the form and swallow every click.
    removeBusyLayer();
    setLoginFormReachable(true);
}

void MainWindow::portalNotOpened()
{
    // The query holds the password.
    const QUrl failed = portalModule.module()->url(portalView);
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
    loginWidget->setEnabled(reachable);
    if (reachable)
        focusLoginEntry();
}

// Server certificates

bool MainWindow::admitIdentityServer(QNetworkReply *reply)
{
    const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    // Plain HTTP or no connection at all: nothing to judge, the reply tells.
    if (chain.isEmpty())
        return true;
    const QUrl url = reply->url();
    return settleCertificate(examineServerCertificate(url, chain, systemTrustsChain(chain, url.host())));
}

bool MainWindow::judgePortalCertificate(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame)
{
    // The web engine asks only about certificates its own store does not trust.
    const CertificateFinding finding = examineServerCertificate(url, chain, false);
    if (finding.verdict == CertificateVerdict::Accept)
        return true;
    if (finding.verdict == CertificateVerdict::AcceptAndRemember) {
        rememberFingerprint(finding.hostPort, finding.presented);
        return true;
    }
    const QString refused = finding.hostPort + QLatin1Char(' ') + finding.presented;
    if (!refusedCertificates.contains(refused)) {
        refusedCertificates.insert(refused);
        // Until the first page is there the load in question is the sign-in.
        const bool firstLoad = indicator != nullptr;
        // A refused navigation is taken up again where it was going, a refused
        // part of a page by loading the page again.
        const QUrl again = mainFrame ? url : QUrl();
        QMetaObject::invokeMethod(
            this, [this, finding, firstLoad, again] { portalCertificateRefused(finding, firstLoad, again); },
            Qt::QueuedConnection);
    }
    return false;
}

void MainWindow::portalCertificateRefused(
    const CertificateFinding &finding, bool firstLoad, const QUrl &again)
{
    // A portal that never opened goes as on the exit address; a trusted
    // certificate then starts the login again. An open portal stays, with
    // its desktops, and only the refused load is repeated.
    if (firstLoad)
        doExit();
    if (!settleCertificate(finding))
        return;
    if (firstLoad)
        on_Login();
    else if (portalView && again.isValid())
        portalModule.module()->load(portalView, again);
    else if (portalView)
        QMetaObject::invokeMethod(portalView, "reload");
}

bool MainWindow::settleCertificate(const CertificateFinding &finding)
{
    switch (finding.verdict) {
    case CertificateVerdict::Accept:
        return true;
    case CertificateVerdict::AcceptAndRemember:
        rememberFingerprint(finding.hostPort, finding.presented);
        return true;
    case CertificateVerdict::Ask: {
        const bool trusted = MessageBox::question(tr("服务器证书已更改"),
            tr("服务器 %1 出示的证书与记住的不同。\n\n记住的指纹：\n%2\n\n新的指纹：\n%3\n\n"
               "只有确知服务器更换了证书时才信任新证书。")
                .arg(finding.hostPort, finding.expected, finding.presented),
            tr("信任新证书"), tr("取消"));
        qWarning().noquote() << "Server certificate changed:" << finding.hostPort << "remembered"
                             << finding.expected << "presented" << finding.presented << "choice"
                             << (trusted ? "trust" : "cancel");
        if (trusted)
            rememberFingerprint(finding.hostPort, finding.presented);
        return trusted;
    }
    case CertificateVerdict::RefusePinned:
        qWarning().noquote() << "Server certificate refused:" << finding.hostPort << "expected"
                             << finding.expected << "presented" << finding.presented;
        MessageBox::about(tr("服务器证书已更改"),
            tr("服务器 %1 "
               "出示的证书与管理员设定的不符，连接已被拒绝。\n\n设定的指纹：\n%2\n\n出示的指纹：\n%3")
                .arg(finding.hostPort, finding.expected, finding.presented));
        return false;
    case CertificateVerdict::RefuseUnknown:
        qWarning().noquote() << "Server certificate refused:" << finding.hostPort << "unknown"
                             << finding.presented;
        MessageBox::about(tr("错误"),
            tr("服务器 %1 的证书不受信任，连接已被拒绝。\n\n指纹：\n%2")
                .arg(finding.hostPort, finding.presented));
        return false;
    }
    return false;
}
