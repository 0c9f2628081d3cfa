// Floor for start-up and memory at the login form: the launcher's window
// with the same widgets, texts, catalogue and background picture, built from
// Qt Widgets alone. Nothing of the web engine is linked, no settings are read.

#include "HighDpi.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTranslator>
#include <QVBoxLayout>

#include <cstdio>

namespace {

class LoginFloor : public QMainWindow
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    LoginFloor()
    {
        resize(636, 331);
        setWindowTitle(QStringLiteral("VelmoClient_V2.1"));
        setObjectName(QStringLiteral("mainWindow"));
        setStyleSheet(QStringLiteral("#mainWindow{border-image:url(:/resource/background-oem.png);}"));

        auto *userEdit = new QLineEdit;
        userEdit->setMaxLength(20);
        userEdit->setPlaceholderText(tr("用户名："));
        auto *passwordEdit = new QLineEdit;
        passwordEdit->setEchoMode(QLineEdit::Password);
        passwordEdit->setMaxLength(20);
        passwordEdit->setPlaceholderText(tr("密　码："));
        auto *autoLoginBox = new QCheckBox(tr("自动登录"));
        auto *recordPassBox = new QCheckBox(tr("记住密码"));
        auto *loginButton = new QPushButton(tr("登录"));
        loginButton->setDefault(true);
        auto *configButton = new QPushButton(tr("设置"));
        auto *languageBox = new QComboBox;
        languageBox->addItem(QStringLiteral("中文"));
        languageBox->addItem(QStringLiteral("English"));
        languageBox->setCurrentIndex(1);

        auto *topRow = new QHBoxLayout;
        topRow->addStretch();
        topRow->addWidget(configButton);
        topRow->addWidget(languageBox);
        topRow->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Minimum));
        auto *userRow = new QHBoxLayout;
        userRow->addWidget(userEdit);
        userRow->addWidget(autoLoginBox);
        auto *passwordRow = new QHBoxLayout;
        passwordRow->addWidget(passwordEdit);
        passwordRow->addWidget(recordPassBox);
        auto *formColumn = new QVBoxLayout;
        formColumn->addLayout(userRow);
        formColumn->addLayout(passwordRow);
        formColumn->addWidget(loginButton);
        auto *centreRow = new QHBoxLayout;
        centreRow->addStretch();
        centreRow->addLayout(formColumn);
        centreRow->addStretch();
        auto *outerColumn = new QVBoxLayout;
        outerColumn->addLayout(topRow);
        outerColumn->addStretch();
        outerColumn->addLayout(centreRow);
        outerColumn->addStretch();

        auto *loginWidget = new QWidget(this);
        setCentralWidget(loginWidget);
        loginWidget->setLayout(outerColumn);
        // The launcher starts with the typing in the empty name field.
        userEdit->setFocus(Qt::OtherFocusReason);
    }
};

} // namespace

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
    LoginFloor window;
    window.show();
    return app.exec();
}
