// Floor for start-up and memory at the login form: the launcher's window
// built by the launcher's own form code, with its catalogue and background
// picture, from Qt Widgets alone. Nothing of the web engine is linked, no
// settings are read, nothing is logged.

#include "HighDpi.h"
#include "LoginForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QTranslator>

#include <cstdio>

int main(int argc, char *argv[])
{
    setHighDpiScaling();
    QApplication app(argc, argv);
    // English, as a first start on a non-Chinese system chooses.
    QTranslator english;
    if (!english.load(QStringLiteral(":/lang_English.qm"))) {
        std::fprintf(stderr, "bench-floor-login: the English catalogue did not load\n");
        return 1;
    }
    QApplication::installTranslator(&english);
    QMainWindow window;
    window.resize(636, 331);
    LoginForm form;
    form.setupUi(&window);
    form.languageBox->setCurrentIndex(1);
    // The launcher starts with the typing in the empty name field.
    form.focusFirstEmpty();
    window.show();
    return app.exec();
}
