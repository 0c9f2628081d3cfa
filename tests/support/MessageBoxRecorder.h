#pragma once

#include "MessageBox.h"

#include <QList>
#include <QString>

struct RecordedBox
{
    QString title;
    QString text;
};

// Takes the login path's message boxes for as long as it lives, so a test
// reads them instead of being blocked by a modal box.
class MessageBoxRecorder : public QList<RecordedBox>
{
public:
    MessageBoxRecorder()
    {
        MessageBox::setRecorder([this](const QString &title, const QString &text) { append({title, text}); });
    }
    ~MessageBoxRecorder() { MessageBox::setRecorder({}); }
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;
};
