#include "LoginForm.h"

#include "EnterRepeatFilter.h"
#include "Version.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>

QString LoginForm::windowTitle()
{
    return QStringLiteral("VelmoClient_V" VELMO_VERSION_SHORT);
}

void LoginForm::setupUi(QMainWindow *window, bool centred)
{
    window->setWindowTitle(windowTitle());
    window->setObjectName(QStringLiteral("mainWindow"));
    window->setStyleSheet(QStringLiteral("#mainWindow{border-image:url(:/resource/background-oem.png);}"));

    userEdit = new QLineEdit;
    userEdit->setObjectName(QStringLiteral("userEdit"));
    userEdit->setMaxLength(20);

    passwordEdit = new QLineEdit;
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setMaxLength(20);

    autoLoginBox = new QCheckBox;
    autoLoginBox->setObjectName(QStringLiteral("autoLoginBox"));
    recordPassBox = new QCheckBox;
    recordPassBox->setObjectName(QStringLiteral("recordPassBox"));

    loginButton = new QPushButton;
    loginButton->setObjectName(QStringLiteral("loginButton"));
    configButton = new QPushButton;
    configButton->setObjectName(QStringLiteral("configButton"));

    languageBox = new QComboBox;
    languageBox->setObjectName(QStringLiteral("languageBox"));
    languageBox->addItem(QStringLiteral("中文"));
    languageBox->addItem(QStringLiteral("English"));

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

    loginWidget = new QWidget(window);
    loginWidget->setObjectName(QStringLiteral("loginWidget"));
    window->setCentralWidget(loginWidget);
    if (centred) {
        auto *frame = new QWidget;
        frame->setFixedSize(formSize);
        frame->setLayout(outerColumn);
        auto *middle = new QGridLayout;
        middle->addWidget(frame, 0, 0, Qt::AlignCenter);
        loginWidget->setLayout(middle);
    } else {
        loginWidget->setLayout(outerColumn);
    }

    // The order a person fills the form in, not the order of the layout.
    QWidget::setTabOrder(userEdit, passwordEdit);
    QWidget::setTabOrder(passwordEdit, loginButton);
    QWidget::setTabOrder(loginButton, autoLoginBox);
    QWidget::setTabOrder(autoLoginBox, recordPassBox);
    QWidget::setTabOrder(recordPassBox, configButton);
    QWidget::setTabOrder(configButton, languageBox);

    // Shows what Enter does; outside a dialog it also lets the focused button
    // take Enter, and changes nothing else. A held Enter logs in once.
    loginButton->setDefault(true);
    auto *enterFilter = new EnterRepeatFilter(window);
    userEdit->installEventFilter(enterFilter);
    passwordEdit->installEventFilter(enterFilter);
    loginButton->installEventFilter(enterFilter);

    retranslateUi(window);
}

void LoginForm::retranslateUi(QMainWindow *window)
{
    userEdit->setPlaceholderText(tr("用户名："));
    autoLoginBox->setText(tr("自动登录"));
    passwordEdit->setPlaceholderText(tr("密　码："));
    recordPassBox->setText(tr("记住密码"));
    loginButton->setText(tr("登录"));
    configButton->setText(tr("设置"));
    window->setWindowTitle(windowTitle());
}

void LoginForm::focusFirstEmpty()
{
    if (userEdit->text().isEmpty())
        userEdit->setFocus(Qt::OtherFocusReason);
    else
        passwordEdit->setFocus(Qt::OtherFocusReason);
}
