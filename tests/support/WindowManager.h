#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

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
                return framesWindows(QDeadlineTimer(10000 - waited.elapsed()));
            QThread::msleep(50);
        }
        return false;
    }

    // openbox names itself before it takes every window: one mapped in that
    // moment stays unmapped. Ready once a window of its own gets a frame.
    static bool framesWindows(QDeadlineTimer deadline)
    {
        Connection x;
        if (!x.isValid())
            return false;
        bool framed = false;
        while (!framed && !deadline.hasExpired()) {
            const xcb_window_t probe = xcb_generate_id(x.c);
            xcb_create_window(x.c, XCB_COPY_FROM_PARENT, probe, x.screen()->root, 0, 0, 10, 10, 0,
                XCB_WINDOW_CLASS_INPUT_OUTPUT, x.screen()->root_visual, 0, nullptr);
            xcb_map_window(x.c, probe);
            xcb_flush(x.c);
            QDeadlineTimer tryOne(qMin<qint64>(2000, deadline.remainingTime()));
            while (!(framed = isFramed(probe)) && !tryOne.hasExpired())
                QThread::msleep(50);
            xcb_destroy_window(x.c, probe);
            xcb_flush(x.c);
        }
        return framed;
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

    // True once the manager has put its frame around window.
    static bool isFramed(WId window)
    {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_FRAME_EXTENTS")});
        xprop.waitForFinished(5000);
        return xprop.readAllStandardOutput().contains(" = ");
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

    // Asks the visible top-level windows of process pid to close, as a
    // window manager's close does; false when it has none.
    static bool askToClose(qint64 pid)
    {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                QString::number(pid)});
        search.waitForFinished(5000);
        int asked = 0;
        for (const QByteArray &id : search.readAllStandardOutput().split('\n')) {
            if (!id.trimmed().isEmpty() && askToClose(WId(id.trimmed().toULong())))
                ++asked;
        }
        return asked > 0;
    }

    // Sends window WM_DELETE_WINDOW, as a window manager's close does.
    static bool askToClose(WId window)
    {
        Connection x;
        return x.isValid()
            && x.send(xcb_window_t(window), XCB_EVENT_MASK_NO_EVENT, xcb_window_t(window), "WM_PROTOCOLS",
                {x.atom("WM_DELETE_WINDOW"), XCB_CURRENT_TIME});
    }

    // Asks the window manager to close window, as its close button does
    // (_NET_CLOSE_WINDOW); it then asks the window itself.
    static bool closeThroughManager(WId window)
    {
        Connection x;
        // 2: from a pager or taskbar, a user's request.
        return x.isValid()
            && x.send(x.screen()->root,
                XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                xcb_window_t(window), "_NET_CLOSE_WINDOW", {XCB_CURRENT_TIME, 2});
    }

private:
    // The test's own connection to its display, for what Qt has no call for.
    struct Connection
    {
        xcb_connection_t *c = xcb_connect(nullptr, nullptr);

        ~Connection() { xcb_disconnect(c); }
        bool isValid() const { return !xcb_connection_has_error(c); }
        const xcb_screen_t *screen() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }
        xcb_atom_t atom(const char *name) const
        {
            xcb_intern_atom_reply_t *reply
                = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr);
            const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
            free(reply);
            return value;
        }
        // A client message of type about window, sent to destination.
        bool send(xcb_window_t destination, uint32_t mask, xcb_window_t window, const char *type,
            std::initializer_list<uint32_t> data) const
        {
            xcb_client_message_event_t event {};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = atom(type);
            std::copy(data.begin(), data.end(), event.data.data32);
            xcb_send_event(c, 0, destination, mask, reinterpret_cast<const char *>(&event));
            xcb_flush(c);
            return true;
        }
    };

private:
    QProcess m_process;
};
