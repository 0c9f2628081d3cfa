#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

// A small window manager (openbox) on the test's X display for as long as
// this lives, for what only happens under one: placement, frames, close
// requests. Display tests run one at a time, so the display is the test's.
class WindowManager
{
public:
    // False when openbox is missing or does not take the display within 10 s.
    bool start()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (program.isEmpty())
            return false;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {QStringLiteral("--sm-disable")});
        if (!m_process.waitForStarted())
            return false;
        // Managing from the moment it names itself on the root window.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            if (m_process.state() != QProcess::Running)
                return false;
            if (rootProperty("_NET_SUPPORTING_WM_CHECK").contains("window id"))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    ~WindowManager()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
        // Gone from the root window too, so the next test meets a bare display.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 5000 && rootProperty("_NET_SUPPORTING_WM_CHECK").contains("window id"))
            QThread::msleep(50);
    }

    // What xprop says of a property of the root window.
    static QByteArray rootProperty(const char *name)
    {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QString::fromLatin1(name)});
        xprop.waitForFinished(5000);
        return xprop.readAllStandardOutput();
    }

    // Where X has a top-level window (its own area, frame left out), as
    // xdotool reads it; an empty point when it cannot tell.
    static QRect geometryOf(WId window)
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"),
            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
        xdotool.waitForFinished(5000);
        int x = 0, y = 0, width = 0, height = 0;
        for (const QByteArray &line : xdotool.readAllStandardOutput().split('\n')) {
            const int value = line.mid(line.indexOf('=') + 1).toInt();
            if (line.startsWith("X="))
                x = value;
            else if (line.startsWith("Y="))
                y = value;
            else if (line.startsWith("WIDTH="))
                width = value;
            else if (line.startsWith("HEIGHT="))
                height = value;
        }
        return QRect(x, y, width, height);
    }

    // Moves a top-level window's frame as a user would, through the window
    // manager, and waits until it has moved.
    static bool move(WId window, const QPoint &to)
    {
        return QProcess::execute(QStringLiteral("xdotool"),
                   {QStringLiteral("windowmove"), QStringLiteral("--sync"), QString::number(window),
                       QString::number(to.x()), QString::number(to.y())})
            == 0;
    }

private:
    QProcess m_process;
};
