#pragma once

#include <QCoreApplication>
#include <QSize>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QWidget;

// Builds the login form into a window, as uic builds a form: the fields, the
// two check boxes, the login and config buttons and the language box over the
// window's background picture, with the window's title. It reads and writes
// no settings; whoever owns the window fills the form and reads it back.
class LoginForm
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    // The window's size at the login form.
    static constexpr QSize formSize {636, 331};

    // "VelmoClient_V" and the version's major.minor; never translated.
    static QString windowTitle();

    // Makes the form window's central widget, named "loginWidget".
    // centred: the form keeps its own size in the middle of a larger window.
    void setupUi(QMainWindow *window, bool centred = false);
    // Re-applies the texts of the installed catalogue.
    void retranslateUi(QMainWindow *window);
    // Keyboard focus: the first field still to fill.
    void focusFirstEmpty();

    QWidget *loginWidget = nullptr;
    QLineEdit *userEdit = nullptr;
    QLineEdit *passwordEdit = nullptr;
    QCheckBox *autoLoginBox = nullptr;
    QCheckBox *recordPassBox = nullptr;
    QPushButton *loginButton = nullptr;
    QPushButton *configButton = nullptr;
    QComboBox *languageBox = nullptr;
};
