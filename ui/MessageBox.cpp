#include "MessageBox.h"

#include <QMessageBox>

MessageBox::Recorder MessageBox::recorder;

void MessageBox::about(const QString &title, const QString &text)
{
    if (recorder) {
        recorder(title, text);
        return;
    }
    QMessageBox::about(nullptr, title, text);
}

void MessageBox::setRecorder(Recorder newRecorder)
{
    recorder = std::move(newRecorder);
}
