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

void MessageBox::setRecorder(Recorder newRecorder)
{
    recorder = std::move(newRecorder);
}

void MessageBox::setAnswerer(Answerer newAnswerer)
{
    answerer = std::move(newAnswerer);
}
