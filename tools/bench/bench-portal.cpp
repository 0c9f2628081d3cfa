// Login press to the portal's first page load, in one fresh process that
// starts like the launcher and builds its real window.
// Usage: bench-portal <portal address> [--typed] [--trace]
// The password goes into the form without typing, which the launcher takes
// as no sign of a login, or with --typed key by key, which it takes as one
// and warms up; either way the press comes a second after the form shows.
// Prints: ms=<ms> peak_kib=<KiB> helpers=<n> helpers_kib=<KiB>
//   before_kib=<KiB> before_helpers_kib=<KiB> warm_ms=<ms or -> steps=<list>
// before_* is resident memory just before the press (the process, and its
// web-engine helpers); warm_ms the span of the steps done before the press;
// steps each step's own time after the press, as "name:ms,...".
// With --trace, every message the launcher logs is also written to the
// standard error with the milliseconds since the press.
// It writes settings and a log: run it with XDG_CONFIG_HOME set to a scratch
// folder.

#include "BenchLoop.h"
#include "ConfigStore.h"
#include "HighDpi.h"
#include "LogWriter.h"
#include "LoginStepLog.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "PortalProbe.h"
#include "ProcessProbe.h"
#include "Startup.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <unistd.h>

#include <cstdio>

namespace {

// As a user types: one key a tenth of a second.
void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QApplication::sendEvent(edit, &release);
        BenchLoop::idle(100);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // The launcher's own start, step for step.
    setHighDpiScaling();
    QApplication app(argc, argv);
    PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH));
    QStringList options = QApplication::arguments().mid(2);
    const bool trace = options.removeAll(QStringLiteral("--trace")) > 0;
    const bool typed = options.removeAll(QStringLiteral("--typed")) > 0;
    if (argc < 2 || !options.isEmpty()) {
        std::fprintf(stderr, "usage: bench-portal <portal address> [--typed] [--trace]\n");
        return 2;
    }
    const QString portal = QString::fromLocal8Bit(argv[1]);
    const QLocale locale;
    applyLanguageDefault(locale);
    qInstallMessageHandler(logMessageHandler);
    LoginStepLog::install(trace);
    writeSetting(QStringLiteral("serviceIP"), portal);

    MainWindow window;
    LoginStepLog::mark();
    PortalProbe::showWithCredentials(&window, typed ? QString() : PortalProbe::password);
    // The time a user takes to type; the same second either way.
    QElapsedTimer typing;
    typing.start();
    if (typed)
        typeInto(window.findChild<QLineEdit *>(QStringLiteral("passwordEdit")), PortalProbe::password);
    BenchLoop::idle(int(std::max<qint64>(0, 1000 - typing.elapsed())));

    long helpersBeforeKiB = 0;
    ProcessProbe::webEngineHelpers(getpid(), &helpersBeforeKiB);
    const long beforeKiB = ProcessProbe::residentKiB(getpid());

    LoginStepLog::mark();
    QElapsedTimer sinceLogin;
    sinceLogin.start();
    window.findChild<QPushButton *>(QStringLiteral("loginButton"))->click();
    if (!PortalProbe::waitForFirstLoad(&window, 60000)) {
        std::fprintf(stderr, "bench-portal: the portal did not load\n");
        return 1;
    }
    const qint64 ms = sinceLogin.elapsed();
    if (trace)
        std::fprintf(
            stderr, "%+8lld ms first load finished, busy indicator gone\n", static_cast<long long>(ms));
    const QVector<LoginStepLog::Step> steps = LoginStepLog::steps();

    // Let the page settle so the memory figures include the loaded portal.
    BenchLoop::idle(1000);
    std::printf("before_kib=%ld before_helpers_kib=%ld warm_ms=%s steps=%s ", beforeKiB, helpersBeforeKiB,
        qPrintable(LoginStepLog::spanBefore(steps)), qPrintable(LoginStepLog::ownTimesAfter(steps)));
    ProcessProbe::printPortalFigures(ms);
    return 0;
}
