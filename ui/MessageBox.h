#pragma once

#include <QString>

#include <functional>

// The login path's message boxes go through here so that tests can read them
// instead of being blocked by a modal box.
class MessageBox
{
public:
    using Recorder = std::function<void(const QString &title, const QString &text)>;

    // A modal box with one OK button and no parent; blocks until closed.
    static void about(const QString &title, const QString &text);

    // With a recorder set, boxes are handed to it and not shown.
    static void setRecorder(Recorder recorder);

private:
    static Recorder recorder;
};
