#include "LogWriter.h"
#include "MainWindow.h"
#include "Startup.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    const QLocale locale;
    applyLanguageDefault(locale);
    qInstallMessageHandler(logMessageHandler);

    MainWindow window;
    window.show();
    return app.exec();
}
