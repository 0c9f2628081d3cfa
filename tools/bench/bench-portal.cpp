// Login press to the portal's first page load, in one fresh process that
// starts like the launcher and builds its real window.
// Usage: bench-portal <portal address> [--trace]
// Prints: ms=<ms> peak_kib=<KiB> helpers=<n> helpers_kib=<KiB>
// With --trace, every message the launcher logs is also written to the
// standard error with the milliseconds since the login press: where the
// span goes.
// It writes settings and a log: run it with XDG_CONFIG_HOME set to a scratch
// folder.

#include "BenchLoop.h"
#include "ConfigStore.h"
#include "HighDpi.h"
#include "LogWriter.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "PortalProbe.h"
#include "ProcessProbe.h"
#include "Startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPushButton>

#include <unistd.h>

#include <cstdio>

namespace {

QElapsedTimer sinceLogin;

void tracingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (sinceLogin.isValid()) {
        std::fprintf(
            stderr, "+%6.1f ms %s\n", sinceLogin.nsecsElapsed() / 1e6, qPrintable(message.left(100)));
    }
    logMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    // The launcher's own start, step for step.
    setHighDpiScaling();
    QApplication app(argc, argv);
    PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH));
    const bool trace = argc == 3 && qstrcmp(argv[2], "--trace") == 0;
    if (argc != 2 && !trace) {
        std::fprintf(stderr, "usage: bench-portal <portal address> [--trace]\n");
        return 2;
    }
    const QString portal = QString::fromLocal8Bit(argv[1]);
    const QLocale locale;
    applyLanguageDefault(locale);
    qInstallMessageHandler(trace ? tracingHandler : logMessageHandler);
    writeSetting(QStringLiteral("serviceIP"), portal);

    MainWindow window;
    PortalProbe::showWithCredentials(&window);
    // The time a user takes to type.
    BenchLoop::idle(1000);

    sinceLogin.start();
    window.findChild<QPushButton *>(QStringLiteral("loginButton"))->click();
    if (!PortalProbe::waitForFirstLoad(&window, 60000)) {
        std::fprintf(stderr, "bench-portal: the portal did not load\n");
        return 1;
    }
    const qint64 ms = sinceLogin.elapsed();
    if (trace)
        std::fprintf(
            stderr, "+%6lld ms first load finished, busy indicator gone\n", static_cast<long long>(ms));

    // Let the page settle so the memory figures include the loaded portal.
    BenchLoop::idle(1000);
    ProcessProbe::printPortalFigures(ms);
    return 0;
}
