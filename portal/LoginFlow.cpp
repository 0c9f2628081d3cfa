#include "LoginFlow.h"

#include "CertificateStore.h"
#include "ControlData.h"
#include "IdentityCheck.h"
#include "LogWriter.h"
#include "LoginStep.h"
#include "PortalOrigin.h"
#include "PortalSignIn.h"
#include "PortalView.h"
#include "TerminalIdentity.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <utility>

namespace {

// The window shows these texts: they belong to its catalogue context.
QString windowText(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// Portal servers run on certificates of their own making: the socket takes
// any, and the certificate rule judges it before the reply counts.
QSslConfiguration identityTls()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

// Marks the check's own replies: a manager also finishes the reply of its
// prepared connection.
const char identityCheckProperty[] = "velmoIdentityCheck";

} // namespace

LoginFlow::LoginFlow(QObject *parent)
    : QObject(parent)
{
}

QNetworkAccessManager *LoginFlow::sendIdentityCheck(const QString &address)
{
    if (isPlainHttp(address)) {
        const QString origin = originOf(QUrl(identityCheckUrl(address), QUrl::TolerantMode));
        if (certificateCheckMode() == CertificateCheckMode::Strict) {
            qWarning().noquote() << "Plain HTTP to" << origin << "refused: certificateCheck is strict";
            emit refused(
                windowText("错误"), windowText("服务器地址未加密（http://），严格的证书检查不允许登录"));
            return nullptr;
        }
        qWarning().noquote() << "Plain HTTP to" << origin << ": the password is sent in clear";
    }

    const QUrl url(identityCheckUrl(address), QUrl::TolerantMode);
    QNetworkAccessManager *manager = hasPreparedManager(url) ? preparedManager.data() : newManager();
    if (manager != preparedManager)
        delete preparedManager;
    preparedManager = nullptr;

    QNetworkRequest request;
    request.setSslConfiguration(identityTls());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setUrl(url);
    // The answer must come from the address asked: a 3xx is a refusal, not a
    // way to another server's yes. HTTP/1.1 only, as the portal servers speak.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    qCDebug(loginSteps, "begin identity check");
    manager->get(request)->setProperty(identityCheckProperty, true);
    return manager;
}

void LoginFlow::prepareIdentityCheck(const QString &address)
{
    const QUrl url(identityCheckUrl(address), QUrl::TolerantMode);
    if (isPlainHttp(address) || !url.isValid() || url.host().isEmpty())
        return;
    if (hasPreparedManager(url))
        return;
    delete preparedManager;
    preparedManager = newManager();
    preparedOrigin = originOf(url);
    // The preparing request ends with its handshake; until then a check would
    // open a connection of its own beside it.
    connect(preparedManager, &QNetworkAccessManager::finished, this, [](QNetworkReply *reply) {
        if (!reply->property(identityCheckProperty).toBool())
            reply->deleteLater();
    });
    // As the check's request: HTTP/1.1, or the connection would not be the check's.
    QSslConfiguration tls = identityTls();
    tls.setAllowedNextProtocols({QSslConfiguration::NextProtocolHttp1_1});
    preparedManager->connectToHostEncrypted(url.host(), quint16(url.port(443)), tls);
}

void LoginFlow::takeIdentityReply(QNetworkReply *reply)
{
    if (!reply->property(identityCheckProperty).toBool()) {
        reply->deleteLater();
        return;
    }
    const QByteArray body = reply->readAll();
    // Each check has its own manager; both go once the answer is read.
    reply->deleteLater();
    if (reply->manager() && reply->manager()->parent() == this)
        reply->manager()->deleteLater();

    qCDebug(loginSteps, "end identity check");
    qDebug() << QString::fromUtf8(body);
    // A yes from a server the user has not trusted would send the password
    // to it with the portal's sign-in.
    const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    // Plain HTTP or no connection at all: nothing to judge, the reply tells.
    if (chain.isEmpty()) {
        evaluateIdentity(body);
        return;
    }
    const QUrl url = reply->url();
    CertificateFinding finding;
    {
        LoginStep step("certificate judgement");
        finding = examineServerCertificate(url, chain, [&] { return chainTrust.trusts(chain, url.host()); });
    }
    settle(finding, [this, body] { evaluateIdentity(body); });
}

bool LoginFlow::hasPreparedManager(const QUrl &url) const
{
    return preparedManager && preparedOrigin == originOf(url);
}

QNetworkAccessManager *LoginFlow::newManager()
{
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::encrypted, this, [this](QNetworkReply *reply) {
        const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
        const QUrl url = reply->url();
        // A preparing connection's address has its own scheme; the rule looks at host and port.
        QUrl server = url;
        server.setScheme(QStringLiteral("https"));
        if (systemVerdictMatters(server, chain))
            chainTrust.start(chain, url.host());
    });
    return manager;
}

void LoginFlow::evaluateIdentity(const QByteArray &body)
{
    if (isIdentityReply(body))
        emit accepted();
    else
        // Deliberately untranslated: this title reads "错误" in both languages.
        emit refused(QStringLiteral("错误"), windowText("请检查服务器地址"));
}

void LoginFlow::signIn(
    PortalView *view, const QString &serverAddress, const QString &user, const QString &password)
{
    portal = view;
    this->serverAddress = serverAddress;
    firstLoad = true;
    refusedCertificates.clear();
    connect(view, &PortalView::loadFinished, this, [this, view] {
        if (view == portal && std::exchange(firstLoad, false))
            qCDebug(loginSteps, "end navigation");
    });
    // The engine may ask while the window takes the flow down.
    view->setCertificateCheck(
        [flow = QPointer<LoginFlow>(this)](const QUrl &url, const QList<QSslCertificate> &chain,
            bool mainFrame) { return flow && flow->judgePortalCertificate(url, chain, mainFrame); });

    // As typed and as the sign-in address and the page's scripts carry it.
    maskInLog({password, encodeCredential(password), QString::fromLatin1(QUrl::toPercentEncoding(password))});

    ControlData controlData;
    controlData.serverAddress = serverAddress;
    controlData.serialId = serialIdNotGiven;
    controlData.userName = encodeCredential(user);
    controlData.userPassword = encodeCredential(password);
    loadPortalPage(controlData);
}

void LoginFlow::loadPortalPage(ControlData &controlData)
{
    // These log texts are fixed, spelling included: log readers search for them.
    qDebug() << "controlData.useJsLoad =" << false;
    if (controlData.serialId == serialIdNotGiven)
        controlData.serialId = getSerialId();
    const QString sid = encodeSerialId(controlData.serialId);
    qDebug() << QString(QStringLiteral("serial id = ") + controlData.serialId);
    qDebug() << QString(QStringLiteral("decryped serial id = ") + decodeSerialId(sid));

    const QString address = signInAddress(controlData, sid);
    qCDebug(loginSteps, "begin navigation");
    portal->load(QUrl(address, QUrl::TolerantMode));
    if (hasScheme(controlData.serverAddress))
        qDebug() << "controlData.serverAddress=" << controlData.serverAddress;
    else
        qDebug() << signInAddressForLog(controlData, sid);
}

QString LoginFlow::getSerialId()
{
    LoginStep step("terminal identity");
    return terminalSerialId();
}

bool LoginFlow::judgePortalCertificate(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame)
{
    // Another server the page reaches keeps the engine's verdict: no memory,
    // no question, nothing stored about it.
    if (!isInCertificateScope(url, serverAddress, pinnedHostPorts())) {
        const QString quiet = QStringLiteral("other ") + hostPortOf(url);
        if (!refusedCertificates.contains(quiet)) {
            refusedCertificates.insert(quiet);
            qWarning().noquote() << QStringLiteral("certificate of %1 not trusted by the web engine: refused")
                                        .arg(originOf(url));
        }
        return false;
    }
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
        // A refused navigation is taken up again where it was going, a refused
        // part of a page by loading the page again.
        const QUrl again = mainFrame ? url : QUrl();
        QMetaObject::invokeMethod(
            this,
            [this, finding, first = firstLoad, again] { portalCertificateRefused(finding, first, again); },
            Qt::QueuedConnection);
    }
    return false;
}

void LoginFlow::portalCertificateRefused(const CertificateFinding &finding, bool first, const QUrl &again)
{
    // A portal that never opened goes as on the exit address; a trusted
    // certificate then starts the login again. An open portal stays, with
    // its desktops, and only the refused load is repeated.
    if (first)
        emit signInRefused();
    settle(finding, [this, first, again] {
        if (first)
            emit loginAgain();
        else if (portal && again.isValid())
            portal->load(again);
        else if (portal)
            portal->reload();
    });
}

void LoginFlow::settle(const CertificateFinding &finding, std::function<void()> then)
{
    switch (finding.verdict) {
    case CertificateVerdict::Accept:
        then();
        return;
    case CertificateVerdict::AcceptAndRemember:
        rememberFingerprint(finding.hostPort, finding.presented);
        then();
        return;
    case CertificateVerdict::Ask:
        pendingTrust.append({finding, std::move(then)});
        emit trustNeeded(finding);
        return;
    case CertificateVerdict::RefusePinned:
        qWarning().noquote() << "Server certificate refused:" << finding.hostPort << "expected"
                             << finding.expected << "presented" << finding.presented;
        emit refused(windowText("服务器证书已更改"),
            windowText("服务器 %1 "
                       "出示的证书与管理员设定的不符，连接已被拒绝。\n\n设定的指纹：\n%2\n\n出示的指纹：\n%3")
                .arg(finding.hostPort, finding.expected, finding.presented));
        return;
    case CertificateVerdict::RefuseUnknown:
        qWarning().noquote() << "Server certificate refused:" << finding.hostPort << "unknown"
                             << finding.presented;
        emit refused(windowText("错误"),
            windowText("服务器 %1 的证书不受信任，连接已被拒绝。\n\n指纹：\n%2")
                .arg(finding.hostPort, finding.presented));
        return;
    }
}

void LoginFlow::answerTrust(const CertificateFinding &finding, bool trusted)
{
    std::function<void()> then;
    for (int i = 0; i < pendingTrust.size(); ++i) {
        const CertificateFinding &asked = pendingTrust.at(i).finding;
        if (asked.hostPort == finding.hostPort && asked.presented == finding.presented) {
            then = pendingTrust.takeAt(i).then;
            break;
        }
    }
    qWarning().noquote() << "Server certificate changed:" << finding.hostPort << "remembered"
                         << finding.expected << "presented" << finding.presented << "choice"
                         << (trusted ? "trust" : "cancel");
    if (!trusted)
        return;
    rememberFingerprint(finding.hostPort, finding.presented);
    if (then)
        then();
}
