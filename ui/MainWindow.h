#pragma once

#include "PortalModuleLoader.h"
#include "UrlDialog.h"

#include <QMainWindow>
#include <QSet>
#include <QTranslator>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QNetworkReply;
class QProgressIndicator;
class QPushButton;
class QSslCertificate;
class QStackedLayout;
struct CertificateFinding;
struct ControlData;

namespace Ui {
class MainWindow;
}

// The launcher's only window: the login form, and after a positive identity
// check the server's portal stacked over it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    bool event(QEvent *event) override;

private slots:
    void on_Login();
    void on_config();
    void ResponseUrl(QNetworkReply *reply);
    void finishedWeb();
    void doExit();
    void languageIndexChanged(int index);

private:
    void loadTranslators();
    void retranslateLogin();
    void buildLoginForm();
    void initWebView();
    void loadPortalPage(ControlData &controlData);
    QString getSerialId();
    void removeBusyLayer();
    // The first page did not load: back to the form, and say so.
    void portalNotOpened();
    // Keyboard focus at start and on return: the first field still to fill.
    void focusLoginEntry();
    // Takes the form out of the keyboard's reach while the portal covers it.
    void setLoginFormReachable(bool reachable);
    // The certificate rule for the identity check; true lets the reply count.
    bool admitIdentityServer(QNetworkReply *reply);
    // The certificate rule for the portal's loads, asked from inside the web
    // engine: it answers at once and leaves any question to the event loop.
    bool judgePortalCertificate(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame);
    void portalCertificateRefused(const CertificateFinding &finding, bool firstLoad, const QUrl &again);
    // Stores, asks or refuses as the finding says; true when the server may
    // have the password.
    bool settleCertificate(const CertificateFinding &finding);

    Ui::MainWindow *ui = nullptr;
    QPushButton *loginButton = nullptr;
    QPushButton *configButton = nullptr;
    QComboBox *languageBox = nullptr;
    QLineEdit *userEdit = nullptr;
    QLineEdit *passwordEdit = nullptr;
    QCheckBox *autoLoginBox = nullptr;
    QCheckBox *recordPassBox = nullptr;
    QWidget *loginWidget = nullptr;
    QWidget *overlayWidget = nullptr;
    // From the portal module: a web view and the DownLoadWebPage shown in it.
    QWidget *portalView = nullptr;
    QObject *portalPage = nullptr;
    UrlDialog urlDialog;
    QWidget *portalWidget = nullptr;
    QStackedLayout *stackLayout = nullptr;
    QProgressIndicator *indicator = nullptr;
    QTranslator chineseTranslator;
    QTranslator englishTranslator;
    PortalModuleLoader portalModule;
    // Portal certificates already refused in this portal view: a page's many
    // requests ask once, and a Cancel holds for the rest of the view.
    QSet<QString> refusedCertificates;
    // The window had the keyboard when the portal view came into it.
    bool activeWhenPortalShown = false;
};
