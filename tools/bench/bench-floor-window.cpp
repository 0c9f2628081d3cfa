// Floor for start-up: the same framework showing an empty 636 x 331 window.

#include "HighDpi.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    setHighDpiScaling();
    QApplication app(argc, argv);
    QMainWindow window;
    window.setFixedSize(636, 331);
    window.show();
    return app.exec();
}
