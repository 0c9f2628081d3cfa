#include "UrlDialog.h"
#include "ui_UrlDialog.h"

#include "ConfigStore.h"
#include "IdentityCheck.h"

UrlDialog::UrlDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::UrlDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("设置服务器地址"));

    serverAddress = readSetting(Setting::serviceIP);
    if (!serverAddress.isEmpty())
        ui->lineEdit->setText(serverAddress);
    // An address the administrator fixed is shown, not offered for change.
    addressFixed = isSettingMandatory(Setting::serviceIP);
    ui->lineEdit->setReadOnly(addressFixed);

    connect(ui->lineEdit, &QLineEdit::textChanged, this, &UrlDialog::onLineEditChange);
    // Said while typing, before the password goes anywhere.
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &UrlDialog::showHttpWarning);
    showHttpWarning(ui->lineEdit->text());
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &UrlDialog::onOK);

    // Whenever the dialog opens, typing goes into the address, whichever
    // button closed it the time before.
    ui->lineEdit->setFocus(Qt::OtherFocusReason);
    connect(this, &QDialog::finished, ui->lineEdit, [this] { ui->lineEdit->setFocus(Qt::OtherFocusReason); });
}

UrlDialog::~UrlDialog()
{
    delete ui;
}

void UrlDialog::retranslate()
{
    ui->retranslateUi(this);
    ui->label_2->setText(QStringLiteral("Builder:%1").arg(readPublishDate()));
}

void UrlDialog::onOK()
{
    if (addressFixed)
        return;
    serverAddress = ui->lineEdit->text();
    writeSetting(Setting::serviceIP, serverAddress);
}

void UrlDialog::showHttpWarning(const QString &address)
{
    ui->httpWarning->setVisible(isPlainHttp(address));
}

// Connected but empty on purpose: the address is taken only when OK is pressed.
void UrlDialog::onLineEditChange() { }
