#pragma once

#include "LoginForm.h"
#include "PortalModuleLoader.h"
#include "UrlDialog.h"

#include <QMainWindow>
#include <QTranslator>

#include <memory>

class DesktopEndBoxes;
class KioskSession;
class LoginFlow;
class PortalView;
class QNetworkReply;
class QProgressIndicator;
class QStackedLayout;
class RememberedPassword;
struct CertificateFinding;

namespace Ui {
class MainWindow;
}

// The launcher's only window: the login form, and after a positive identity
// check the server's portal stacked over it. The road from the press to the
// signed-in portal is the LoginFlow's; the window shows what it finds.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_Login();
    void on_config();
    void ResponseUrl(QNetworkReply *reply);
    void finishedWeb();
    void doExit();
    void languageIndexChanged(int index);

private:
    void loadTranslators();
    void fillLoginForm();
    // Where a login is likely: makes, between input events, what the press
    // would otherwise wait for, up to a hidden portal view.
    void warmUp();
    void prepareViewSoon();
    void prepareView();
    void dropPreparedView();
    void initWebView();
    void removeBusyLayer();
    // The first page did not load: back to the form, and say so.
    void portalNotOpened();
    // Takes the form out of the keyboard's reach while the portal covers it.
    void setLoginFormReachable(bool reachable);
    void startKiosk();
    // Closes the portal and leaves an empty form for the next person.
    void leavePortalForNext();
    void askTrust(const CertificateFinding &finding);
    // As the dialog holds it, or as stored while the dialog was never opened.
    QString serverAddress() const;

    Ui::MainWindow *ui = nullptr;
    LoginForm form;
    // Made when first opened: its buttons' icons load the icon engine, which
    // the form's start does not need.
    std::unique_ptr<UrlDialog> urlDialog;
    QTranslator chineseTranslator;
    QTranslator englishTranslator;
    PortalModuleLoader portalModule;
    LoginFlow *loginFlow = nullptr;
    DesktopEndBoxes *desktopEnds = nullptr;
    // Set in kiosk mode only: the launcher as a shared machine's whole session.
    KioskSession *kiosk = nullptr;
    PortalView *portalView = nullptr;
    // Made by the warm-up for the next portal; it has loaded nothing yet.
    std::unique_ptr<PortalView> preparedView;
    bool viewComing = false;
    QWidget *overlayWidget = nullptr;
    QWidget *portalWidget = nullptr;
    QStackedLayout *stackLayout = nullptr;
    QProgressIndicator *indicator = nullptr;
    RememberedPassword *remembered = nullptr;
    // The automatic logon waits for the keyring's answer.
    bool autoLogonWaiting = false;
    // The window had the keyboard when the portal view came into it.
    bool activeWhenPortalShown = false;
};
