#include "MessageBox.h"

#include <QMessageBox>
#include <QPushButton>

MessageBox::Recorder MessageBox::recorder;
MessageBox::Answerer MessageBox::answerer;

void MessageBox::about(const QString &title, const QString &text)
{
    if (recorder) {
        recorder(title, text);
        return;
    }
    QMessageBox::about(nullptr, title, text);
}

bool MessageBox::question(
    const QString &title, const QString &text, const QString &acceptText, const QString &cancelText)
{
    if (answerer)
        return answerer(title, text);
    QMessageBox box(QMessageBox::Warning, title, text);
    QPushButton *accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(cancelText, QMessageBox::RejectRole);
    // A hasty Enter must not trust a stranger.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == accept;
}

QMessageBox *MessageBox::show(QWidget *parent, const QString &title, const QString &text,
    const QString &acceptText, const QString &closeText, QObject *context,
    std::function<void(bool accepted)> answered)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QPushButton *close = box->addButton(closeText, QMessageBox::RejectRole);
    box->setEscapeButton(close);
    box->setDefaultButton(close);
    if (!acceptText.isEmpty())
        box->setDefaultButton(box->addButton(acceptText, QMessageBox::AcceptRole));
    QObject::connect(box, &QMessageBox::buttonClicked, context,
        [box, answered = std::move(answered)](
            QAbstractButton *button) { answered(box->buttonRole(button) == QMessageBox::AcceptRole); });
    box->show();
    return box;
}

void MessageBox::withdrawAccept(QMessageBox *box)
{
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (box->buttonRole(button) == QMessageBox::AcceptRole) {
            box->removeButton(button);
            delete button;
        }
    }
    box->setDefaultButton(qobject_cast<QPushButton *>(box->escapeButton()));
}

void MessageBox::setRecorder(Recorder newRecorder)
{
    recorder = std::move(newRecorder);
}

void MessageBox::setAnswerer(Answerer newAnswerer)
{
    answerer = std::move(newAnswerer);
}
