#pragma once

#include <QObject>
#include <QTimer>

// Decides whether a portal view's first page failed. The engine reports an
// aborted load as failed too, and a sign-in page that moves on by script may
// abort its own load: a failure counts only when no other load of the view
// starts within the grace time. Once a load has succeeded, later failures are
// the portal's own business and are not watched.
class FirstLoadWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int graceMsecs = 500;

    explicit FirstLoadWatch(QObject *parent = nullptr);

    // A failed load is waiting for the grace time to pass.
    bool waiting() const;
    // A load has succeeded or the failure has been told; nothing more comes.
    bool settled() const;

public slots:
    void loadStarted();
    void loadFinished(bool ok);

signals:
    // At most once.
    void failed();

private:
    QTimer grace;
    bool done = false;
};
