#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QObject;
class QWidget;

// The login path's message boxes go through here so that tests can read them
// instead of being blocked by a modal box.
class MessageBox
{
public:
    using Recorder = std::function<void(const QString &title, const QString &text)>;
    // Answers a question in a test's place: true for the accepting button.
    using Answerer = std::function<bool(const QString &title, const QString &text)>;

    // A modal box with one OK button and no parent; blocks until closed.
    static void about(const QString &title, const QString &text);

    // A modal box without parent and two buttons, acceptText and cancelText;
    // cancelText is the default and what Escape means. Blocks until answered;
    // true when acceptText was chosen.
    static bool question(
        const QString &title, const QString &text, const QString &acceptText, const QString &cancelText);

    // A box that does not block: parented to parent, shown at once and gone
    // once answered. With acceptText, that button is the default and
    // answered(true) says it was chosen; closeText is the other button and
    // what Escape and the window's close mean. answered runs while context lives.
    static QMessageBox *show(QWidget *parent, const QString &title, const QString &text,
        const QString &acceptText, const QString &closeText, QObject *context,
        std::function<void(bool accepted)> answered);

    // Takes the accepting button out of a box show() made, leaving closeText.
    static void withdrawAccept(QMessageBox *box);

    // With a recorder set, boxes are handed to it and not shown.
    static void setRecorder(Recorder recorder);
    // With an answerer set, questions are handed to it and not shown.
    static void setAnswerer(Answerer answerer);

private:
    static Recorder recorder;
    static Answerer answerer;
};
