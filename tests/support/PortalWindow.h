#pragma once

#include "ConfigStore.h"
#include "LogWriter.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "PortalView.h"
#include "support/TestHome.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWebEnginePage>
#include <QtTest>

// The portal pages under window. Their class lives in the portal module, which
// hands out only its view as a type of the program's, so they are recognised
// by name.
inline QList<QWebEnginePage *> portalPages(const QObject *window)
{
    QList<QWebEnginePage *> found;
    const QList<QWebEnginePage *> all = window->findChildren<QWebEnginePage *>();
    for (QWebEnginePage *page : all)
        if (page->inherits("DownLoadWebPage"))
            found << page;
    return found;
}

// What the suites of the launcher's window on the real web engine share, as
// a base of the test class: a fresh home with the log writer installed, the
// portal module of the build tree, and the window, opened and signed in
// through its own form.
class PortalWindow
{
public:
    PortalWindow() { PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH)); }
    virtual ~PortalWindow() { leaveHome(); }
    PortalWindow(const PortalWindow &) = delete;
    PortalWindow &operator=(const PortalWindow &) = delete;

    // A new, empty home for the settings and the log, which the log writer
    // writes to from now on.
    bool freshHome()
    {
        window.reset();
        home.reset(new TestHome);
        qInstallMessageHandler(logMessageHandler);
        return home->isValid() && home->makeAppConfigDir();
    }

    // The window closed, the log writer off, the home gone.
    void leaveHome()
    {
        window.reset();
        qInstallMessageHandler(nullptr);
        home.reset();
    }

    // A new window for the server at address, shown; true once it is exposed.
    bool open(const QString &address)
    {
        writeSetting(QStringLiteral("serviceIP"), address);
        window.reset(new MainWindow);
        window->show();
        // A loaded machine, or a window manager framing the window first, can
        // take longer than Qt's default of five seconds.
        return QTest::qWaitForWindowExposed(window.data(), 20000);
    }

    // Opens a window and presses Login with the name and password set in the
    // form, or typed where the keyboard can type them.
    bool login(const QString &address, const QString &user, const QString &password, bool typed = false)
    {
        if (!open(address))
            return false;
        auto *userEdit = child<QLineEdit>("userEdit");
        auto *passwordEdit = child<QLineEdit>("passwordEdit");
        if (typed) {
            QTest::keyClicks(userEdit, user);
            QTest::keyClicks(passwordEdit, password);
        } else {
            userEdit->setText(user);
            passwordEdit->setText(password);
        }
        QTest::mouseClick(child<QPushButton>("loginButton"), Qt::LeftButton);
        return true;
    }

    template <class T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    // The one portal page in the window, or null.
    QWebEnginePage *livePage() const
    {
        const QList<QWebEnginePage *> found = portalPages(window.data());
        return found.size() == 1 ? found.first() : nullptr;
    }

    // The view showing it: the module's view is the program's PortalView, not
    // a copy of it.
    PortalView *liveView() const
    {
        for (QObject *up = livePage(); up; up = up->parent())
            if (auto *view = qobject_cast<PortalView *>(up))
                return view;
        return nullptr;
    }

    QScopedPointer<TestHome> home;
    QScopedPointer<MainWindow> window;
};
