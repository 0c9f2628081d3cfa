#include "CertificateStore.h"
#include "CommandLine.h"
#include "ConfigStore.h"
#include "HighDpi.h"
#include "LogWriter.h"
#include "MainWindow.h"
#include "PrivateFiles.h"
#include "SingleInstance.h"
#include "Startup.h"

#include <QApplication>
#include <QLocale>
#include <QStandardPaths>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    // Before the application object: answering --help needs no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
    case CommandLine::Action::PrintHelp:
        print(stdout, commandLineUsage());
        return 0;
    case CommandLine::Action::PrintVersion:
        print(stdout, commandLineVersion());
        return 0;
    case CommandLine::Action::UsageError:
        print(stderr,
            QStringLiteral("VelmoClient: ") + commandLine.error + QLatin1Char('\n') + commandLineUsage());
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    setHighDpiScaling();
    QApplication app(argc, argv);
    // The Wayland app id, by which a dock finds the desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMO_DESKTOP_ID));
    // Before the log and the window: a second start only brings the first forward.
    SingleInstance instance(
        privateRuntimeFolder(QStandardPaths::writableLocation(QStandardPaths::TempLocation),
            qEnvironmentVariable("XDG_RUNTIME_DIR")));
    if (instance.start() == SingleInstance::Role::Second)
        return 0;
    const QLocale locale;
    applyLanguageDefault(locale);
    installLogWriter();
    logCertificateSettings();
    if (commandLine.isSet(QStringLiteral("kiosk")))
        setMandatoryForThisRun(Setting::kiosk, QStringLiteral("1"));

    MainWindow window;
    window.show();
    // Out of the taskbar, kept full screen or maximised, on top and focused.
    QObject::connect(&instance, &SingleInstance::comeForward, &window, [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    });
    return app.exec();
}
