#pragma once

#include "ChainTrust.h"
#include "ServerCertificate.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>

class PortalView;
class QNetworkAccessManager;
class QNetworkReply;
struct ControlData;

// The road from the login press to the signed-in portal, without the window:
// the identity check with the certificate rule for its server, the rule for
// the certificates of the portal's own loads, and the sign-in address loaded
// into the portal view. What it finds comes out as signals; the window decides
// what the user sees and answers the trust question.
class LoginFlow : public QObject
{
    Q_OBJECT

public:
    explicit LoginFlow(QObject *parent = nullptr);

    // Sends the identity check to the server at address on an access manager
    // of its own, a child of this flow that goes once its reply is read. The
    // caller hands the manager's replies to takeIdentityReply. Plain HTTP is
    // logged as a warning, and under strict certificate checking refused():
    // null then, and nothing is sent.
    QNetworkAccessManager *sendIdentityCheck(const QString &address);
    // Where a login is likely: opens the identity check's TLS connection to
    // the server at address, on the manager the next check to that server
    // then takes. Nothing but the handshake is sent. Plain HTTP is left alone.
    void prepareIdentityCheck(const QString &address);
    // Judges a reply: accepted(), refused(), trustNeeded() or nothing (a
    // refused certificate was already said).
    void takeIdentityReply(QNetworkReply *reply);

    // Puts the certificate rule on view and loads the sign-in address into it.
    void signIn(PortalView *view, const QString &serverAddress, const QString &user, const QString &password);

    // The user's answer to trustNeeded(finding); a trusted certificate is
    // remembered and the road goes on where the question stopped it.
    void answerTrust(const CertificateFinding &finding, bool trusted);

signals:
    // The server is a portal and may have the password: sign in.
    void accepted();
    // A title and message for the user; the road ends here.
    void refused(const QString &title, const QString &message);
    // The server's certificate changed since it was remembered.
    void trustNeeded(const CertificateFinding &finding);
    // A certificate of the portal's first page was refused: the portal goes.
    void signInRefused();
    // That certificate has since been trusted: the login starts again.
    void loginAgain();

private:
    struct PendingTrust
    {
        CertificateFinding finding;
        std::function<void()> then;
    };

    void evaluateIdentity(const QByteArray &body);
    // A manager of this flow's on which the store's verdict on the server's
    // chain starts once the connection is encrypted.
    QNetworkAccessManager *newManager();
    bool hasPreparedManager(const QUrl &url) const;
    void loadPortalPage(ControlData &controlData);
    QString getSerialId();
    // The rule for the portal's loads, asked from inside the web engine: it
    // answers at once and leaves any question to the event loop.
    bool judgePortalCertificate(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame);
    void portalCertificateRefused(const CertificateFinding &finding, bool firstLoad, const QUrl &again);
    // Stores, asks or refuses as the finding says; then runs when the server
    // may have the password.
    void settle(const CertificateFinding &finding, std::function<void()> then);

    QPointer<PortalView> portal;
    // The manager prepareIdentityCheck connected, and to which origin.
    QPointer<QNetworkAccessManager> preparedManager;
    QString preparedOrigin;
    ChainTrust chainTrust;
    // As configured, for the reach of the certificate rule.
    QString serverAddress;
    // Until the portal's first load has finished, a refused load is the sign-in.
    bool firstLoad = false;
    // Portal certificates already refused in this portal view: a page's many
    // requests ask once, and a Cancel holds for the rest of the view.
    QSet<QString> refusedCertificates;
    QList<PendingTrust> pendingTrust;
};
