// Floor for start-up: the same framework showing an empty 636 x 331 window.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    QMainWindow window;
    window.setFixedSize(636, 331);
    window.show();
    return app.exec();
}
