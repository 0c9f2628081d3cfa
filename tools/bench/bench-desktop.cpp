// Time to desktop: from the click on a desktop link in the portal to the
// first frame of the remote desktop on the display, where the client's
// full-screen window shows it.
// Usage: bench-desktop launcher|floor <portal address> <remote display> [desktop] [--trace]
//   launcher  the launcher's window signs in, waits for the portal, then the
//             link is clicked inside the page; the launcher downloads the
//             connection file and starts the client from its working folder
//   floor     the same client program started directly with the same
//             connection file (fetched beforehand) and the same options
// The frame is found by bench-frame-watch (beside this program), which grabs
// the display every 20 ms. Run it in a folder holding the client (xfreerdp),
// with XDG_CONFIG_HOME and TMPDIR set to scratch folders.
// Prints: ms=<ms> client=<program>
// With --trace, the launcher's log lines go to the standard error too, with
// the milliseconds since the click: when the client was started.

#include "BenchLoop.h"
#include "ConfigStore.h"
#include "FreeRdpClient.h"
#include "FreeRdpLauncher.h"
#include "FreeRdpProbe.h"
#include "HighDpi.h"
#include "LogWriter.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "PortalProbe.h"
#include "PrivateDownloadFolder.h"
#include "RdpTranslation.h"
#include "Startup.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QWebEnginePage>

#include <time.h>

#include <cstdio>
#include <functional>

namespace {

double nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
}

double clickedAt = -1;

void tracingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (clickedAt >= 0)
        std::fprintf(stderr, "+%6.1f ms %s\n", nowMs() - clickedAt, qPrintable(message.left(100)));
    logMessageHandler(type, context, message);
}

// bench-frame-watch, started before the click and ready once it has seen the
// display without the remote picture.
class FrameWatch
{
public:
    explicit FrameWatch(const QString &remoteDisplay)
    {
        watcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        watcher.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench-frame-watch"),
            {remoteDisplay, QStringLiteral("60000")});
    }

    ~FrameWatch()
    {
        watcher.kill();
        watcher.waitForFinished();
    }

    bool waitForLine(const QByteArray &prefix, QByteArray *line, int timeoutMs)
    {
        QEventLoop loop;
        bool found = false;
        auto readLines = [&] {
            while (!found && watcher.canReadLine()) {
                const QByteArray next = watcher.readLine().trimmed();
                if (next.startsWith(prefix)) {
                    *line = next;
                    found = true;
                }
            }
            if (found)
                loop.quit();
        };
        QObject::connect(&watcher, &QProcess::readyReadStandardOutput, &loop, readLines);
        QObject::connect(&watcher, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
            &QEventLoop::quit);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        readLines();
        if (!found && watcher.state() != QProcess::NotRunning)
            loop.exec();
        readLines();
        return found;
    }

    bool ready()
    {
        QByteArray line;
        return waitForLine("ready", &line, 20000);
    }

    // The monotonic time of the first frame, or a negative number.
    double frame()
    {
        QByteArray line;
        if (!waitForLine("frame_ms=", &line, 60000))
            return -1;
        return line.mid(int(qstrlen("frame_ms="))).toDouble();
    }

private:
    QProcess watcher;
};

int timed(const QString &remoteDisplay, const std::function<void()> &click)
{
    FrameWatch watch(remoteDisplay);
    if (!watch.ready()) {
        std::fprintf(stderr, "bench-desktop: the frame watch did not start\n");
        return -1;
    }
    clickedAt = nowMs();
    click();
    const double frame = watch.frame();
    if (frame < 0) {
        std::fprintf(stderr, "bench-desktop: no remote frame on the display\n");
        return -1;
    }
    return int(frame - clickedAt + 0.5);
}

QList<QProcess *> runningProcesses(QObject *parent)
{
    QList<QProcess *> running;
    const QList<QProcess *> processes = parent->findChildren<QProcess *>();
    for (QProcess *process : processes) {
        if (process->state() != QProcess::NotRunning)
            running << process;
    }
    return running;
}

QWebEnginePage *portalPage()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *page = window->findChild<QWebEnginePage *>())
            return page;
    }
    return nullptr;
}

int runLauncher(const QString &portal, const QString &remoteDisplay, const QString &desktop)
{
    writeSetting(QStringLiteral("serviceIP"), portal);
    MainWindow window;
    PortalProbe::showWithCredentials(&window, PortalProbe::password);
    window.findChild<QPushButton *>(QStringLiteral("loginButton"))->click();
    if (!PortalProbe::waitForFirstLoad(&window, 60000)) {
        std::fprintf(stderr, "bench-desktop: the portal did not load\n");
        return 1;
    }
    QWebEnginePage *page = portalPage();
    if (!page)
        return 1;
    // A user reads the page before choosing a desktop. Whatever the launcher
    // asks the client beforehand (its version) is answered by then, outside
    // the span: no process of the page runs at the click.
    BenchLoop::idle(500);
    if (!BenchLoop::runUntilTrue([&] { return runningProcesses(page).isEmpty(); }, 10, 20000)) {
        std::fprintf(stderr, "bench-desktop: a process of the page still runs before the click\n");
        return 1;
    }

    const QString script
        = QStringLiteral("document.querySelector('a[href=\"/desktops/%1.rdp\"]').click();").arg(desktop);
    const int ms = timed(remoteDisplay, [&] { page->runJavaScript(script); });
    if (ms < 0)
        return 1;
    // The frame came from a client the launcher started, not from a leftover.
    const QList<QProcess *> clients = runningProcesses(page);
    if (clients.size() != 1) {
        std::fprintf(stderr, "bench-desktop: no client of the launcher running\n");
        return 1;
    }
    std::printf("ms=%d client=%s\n", ms, qPrintable(clients.first()->program()));
    // Closing the window ends the client with the page.
    return 0;
}

int runFloor(const QString &portal, const QString &remoteDisplay, const QString &desktop)
{
    // Where and how the launcher's page saves it.
    const QString file = privateDownloadFolder() + QStringLiteral("/tmp.rdp");
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(
        QNetworkRequest(QUrl(portal).resolved(QUrl(QStringLiteral("/desktops/%1.rdp").arg(desktop)))));
    reply->ignoreSslErrors();
    if (!BenchLoop::runUntil(reply, &QNetworkReply::finished, 20000)
        || reply->error() != QNetworkReply::NoError) {
        std::fprintf(stderr, "bench-desktop: no connection file from the portal: %s\n",
            qPrintable(reply->errorString()));
        return 1;
    }
    QFile saved(file);
    if (!saved.open(QIODevice::WriteOnly) || saved.write(reply->readAll()) < 0)
        return 1;
    saved.close();
    makeOwnerOnly(file);

    // The launcher asks the client for its version while the portal loads;
    // here too that happens before the span.
    const QString program = FreeRdpLauncher::program();
    FreeRdpProbe probe(program);
    if (!probe.isDone())
        BenchLoop::runUntil(&probe, &FreeRdpProbe::done, FreeRdpProbe::timeoutMilliseconds + 1000);
    // The options the launcher passes: the same translation and adaptation.
    const QStringList arguments = FreeRdpLauncher::clientArguments(
        QStringList {file} + rdpOptions(readRdpHead(QFile::encodeName(file))), probe.dialect());

    FreeRdpClient client;
    const int ms = timed(remoteDisplay, [&] { client.startClient(program, arguments); });
    if (ms < 0)
        return 1;
    std::printf("ms=%d client=%s\n", ms, qPrintable(program));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The launcher's own start, step for step.
    setHighDpiScaling();
    QApplication app(argc, argv);
    PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH));
    QStringList args = app.arguments();
    const bool trace = args.removeAll(QStringLiteral("--trace")) > 0;
    if (args.size() != 4 && args.size() != 5) {
        std::fprintf(stderr,
            "usage: bench-desktop launcher|floor <portal address> <remote display> [desktop] [--trace]\n");
        return 2;
    }
    const QString mode = args.at(1);
    const QString portal = args.at(2);
    const QString remoteDisplay = args.at(3);
    const QString desktop = args.value(4, QStringLiteral("lab"));
    const QLocale locale;
    applyLanguageDefault(locale);
    qInstallMessageHandler(trace ? tracingHandler : logMessageHandler);
    if (mode == QLatin1String("launcher"))
        return runLauncher(portal, remoteDisplay, desktop);
    if (mode == QLatin1String("floor"))
        return runFloor(portal, remoteDisplay, desktop);
    std::fprintf(stderr, "bench-desktop: unknown mode\n");
    return 2;
}
