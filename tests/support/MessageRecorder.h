#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

// Collects the process's Qt messages for as long as it lives, in place of the
// handler installed before. Messages may come from any thread.
class MessageRecorder
{
public:
    MessageRecorder()
    {
        QMutexLocker lock(&mutex());
        current() = this;
        m_previous = qInstallMessageHandler(record);
    }
    ~MessageRecorder()
    {
        qInstallMessageHandler(m_previous);
        QMutexLocker lock(&mutex());
        current() = nullptr;
    }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList messages() const
    {
        QMutexLocker lock(&mutex());
        return m_messages;
    }
    QtMsgType lastType() const
    {
        QMutexLocker lock(&mutex());
        return m_lastType;
    }
    int count(const QString &containing) const { return messages().filter(containing).size(); }
    int count(QtMsgType type, const QString &containing) const
    {
        QMutexLocker lock(&mutex());
        int found = 0;
        for (int i = 0; i < m_messages.size(); ++i)
            if (m_types.at(i) == type && m_messages.at(i).contains(containing))
                ++found;
        return found;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        QMutexLocker lock(&mutex());
        if (!current())
            return;
        current()->m_messages << message;
        current()->m_types << type;
        current()->m_lastType = type;
    }
    static QMutex &mutex()
    {
        static QMutex lock;
        return lock;
    }
    static MessageRecorder *&current()
    {
        static MessageRecorder *recorder = nullptr;
        return recorder;
    }

    QtMessageHandler m_previous = nullptr;
    QStringList m_messages;
    QList<QtMsgType> m_types;
    QtMsgType m_lastType = QtDebugMsg;
};
