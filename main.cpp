#include "LogWriter.h"
#include "MainWindow.h"
#include "Startup.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    // The web engine comes later, from the portal module; it can share the
    // GPU's contexts only when asked for before the application exists.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QApplication app(argc, argv);
    const QLocale locale;
    applyLanguageDefault(locale);
    qInstallMessageHandler(logMessageHandler);

    MainWindow window;
    window.show();
    return app.exec();
}
