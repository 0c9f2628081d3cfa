#include "CertificateStore.h"
#include "HighDpi.h"
#include "LogWriter.h"
#include "MainWindow.h"
#include "SharedGlContext.h"
#include "Startup.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    setHighDpiScaling();
    QApplication app(argc, argv);
    const QLocale locale;
    applyLanguageDefault(locale);
    installLogWriter();
    logCertificateSettings();

    MainWindow window;
    window.show();
    // The GL stack loads once the window is up, not before it.
    prepareSharedGlContextSoon(&window);
    return app.exec();
}
