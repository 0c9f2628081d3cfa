#pragma once

#include "MessageBox.h"

#include <QList>
#include <QString>

struct RecordedBox
{
    QString title;
    QString text;
    bool question = false;
};

// Takes the login path's message boxes and questions for as long as it lives,
// so a test reads them instead of being blocked by a modal box. Questions get
// the answer the test has set.
class MessageBoxRecorder : public QList<RecordedBox>
{
public:
    MessageBoxRecorder()
    {
        MessageBox::setRecorder([this](const QString &title, const QString &text) { append({title, text}); });
        MessageBox::setAnswerer([this](const QString &title, const QString &text) {
            append({title, text, true});
            if (onQuestion)
                onQuestion();
            return answer;
        });
    }
    ~MessageBoxRecorder()
    {
        MessageBox::setRecorder({});
        MessageBox::setAnswerer({});
    }
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    // What every question is answered with: true for the accepting button.
    bool answer = false;
    // Runs while a question is open, before it is answered.
    std::function<void()> onQuestion;

    int questions() const
    {
        int count = 0;
        for (const RecordedBox &box : *this)
            count += box.question ? 1 : 0;
        return count;
    }
};
