#pragma once

#include <QDialog>

namespace Ui {
class UrlDialog;
}

// Behind the config button: the server address, stored as typed on OK.
class UrlDialog : public QDialog
{
    Q_OBJECT

public:
    explicit UrlDialog(QWidget *parent = nullptr);
    ~UrlDialog() override;

    // Re-applies the texts of the installed catalogue and the build line.
    void retranslate();

    // The address the login and the portal use; never trimmed or checked.
    QString serverAddress;

private slots:
    void onOK();
    void onLineEditChange();
    void showHttpWarning(const QString &address);

private:
    Ui::UrlDialog *ui;
    bool addressFixed = false;
};
