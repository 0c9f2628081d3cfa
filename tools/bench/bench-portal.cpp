// Login press to the portal's first loadFinished, in one fresh process.
// Usage: bench-portal launcher|launcher-warm|floor <portal address>
//   launcher       the real window: press login, wait until the spinner goes
//   launcher-warm  the same, with the web engine warmed after the window is
//                  shown (a hidden page loading about:blank)
//   floor          a bare QWebEngineView loading the same sign-in address
// Prints: ms=<ms> peak_kib=<KiB> helpers=<n> helpers_kib=<KiB>
// The launcher modes write settings: run with XDG_CONFIG_HOME set to a
// scratch folder.

#include "ConfigStore.h"
#include "ControlData.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "PortalSignIn.h"
#include "ProcessProbe.h"
#include "QProgressIndicator.h"
#include "TerminalIdentity.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <cstdio>

namespace {

// The floor accepts the demo portal's self-signed certificate like the
// launcher's page does; it adds nothing else.
class TrustingPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool certificateError(const QWebEngineCertificateError &) override { return true; }
};

const QString user = QStringLiteral("bench");
const QString password = QStringLiteral("bench-pw");

void report(qint64 ms)
{
    // Let the page settle so the memory figures include the loaded portal.
    QTest::qWait(1000);
    long helpersKiB = 0;
    const int helpers = ProcessProbe::webEngineHelpers(getpid(), &helpersKiB);
    std::printf("ms=%lld peak_kib=%ld helpers=%d helpers_kib=%ld\n", static_cast<long long>(ms),
        ProcessProbe::peakResidentKiB(getpid()), helpers, helpersKiB);
    std::fflush(stdout);
}

int runLauncher(const QString &portal, bool warm)
{
    writeSetting(QStringLiteral("serviceIP"), portal);
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QScopedPointer<QWebEnginePage> warmer;
    if (warm) {
        warmer.reset(new QWebEnginePage);
        warmer->load(QUrl(QStringLiteral("about:blank")));
    }
    window.findChild<QLineEdit *>(QStringLiteral("userEdit"))->setText(user);
    window.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(password);
    // The time a user takes to type: what a warm-up may use.
    QTest::qWait(1500);

    QElapsedTimer timer;
    bool spinnerSeen = false;
    qint64 finished = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        const bool spinning = window.findChild<QProgressIndicator *>() != nullptr;
        spinnerSeen = spinnerSeen || spinning;
        if (spinnerSeen && !spinning && finished < 0)
            finished = timer.elapsed();
    });
    poll.start(1);
    timer.start();
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return finished >= 0; }, 60000))
        return 1;
    poll.stop();
    report(finished);
    return 0;
}

int runFloor(const QString &portal)
{
    ControlData data;
    data.userName = encodeCredential(user);
    data.userPassword = encodeCredential(password);
    data.serverAddress = portal;
    const QString address = signInAddress(data, encodeSerialId(terminalSerialId()));

    // Idle like the launcher's window while the user types.
    QTest::qWait(1500);
    qint64 finished = -1;
    QElapsedTimer timer;
    timer.start();
    // Created inside the timed span, as the launcher creates its view only
    // once the server has answered.
    QWebEngineView view;
    view.setPage(new TrustingPage(&view));
    view.resize(636, 331);
    view.show();
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&] {
        if (finished < 0)
            finished = timer.elapsed();
    });
    view.load(QUrl(address, QUrl::TolerantMode));
    if (!QTest::qWaitFor([&] { return finished >= 0; }, 60000))
        return 1;
    report(finished);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH));
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench-portal launcher|launcher-warm|floor <portal address>\n");
        return 2;
    }
    const QString mode = args.at(1);
    if (mode == QLatin1String("floor"))
        return runFloor(args.at(2));
    if (mode == QLatin1String("launcher") || mode == QLatin1String("launcher-warm"))
        return runLauncher(args.at(2), mode == QLatin1String("launcher-warm"));
    std::fprintf(stderr, "bench-portal: unknown mode\n");
    return 2;
}
