#include "DesktopEndBoxes.h"

#include "MessageBox.h"
#include "PortalView.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QWidget>

namespace {

bool sameDesktop(const PortalView *view, int desktop, const PortalView *otherView, int otherDesktop)
{
    return view == otherView && desktop == otherDesktop;
}

} // namespace

DesktopEndBoxes::DesktopEndBoxes(QWidget *window)
    : QObject(window)
    , window(window)
{
}

// The window's texts, in its catalogue context.
QString DesktopEndBoxes::sentence(ClientEndReason reason, const ClientEnd &end)
{
    switch (reason) {
    case ClientEndReason::ChosenByUser:
        return QString();
    case ClientEndReason::NoClient:
        return QCoreApplication::translate("MainWindow", "未安装 FreeRDP 客户端。");
    case ClientEndReason::Unreachable:
        return QCoreApplication::translate("MainWindow", "无法连接到桌面。");
    case ClientEndReason::LogonRefused:
        return QCoreApplication::translate("MainWindow", "桌面拒绝了登录。");
    case ClientEndReason::AccountBlocked:
        return QCoreApplication::translate("MainWindow", "账户已被锁定，或其密码已过期。");
    case ClientEndReason::TakenOver:
        return QCoreApplication::translate("MainWindow", "连接已被另一个会话接管。");
    case ClientEndReason::IdleEnd:
        return QCoreApplication::translate("MainWindow", "桌面因空闲结束了会话。");
    case ClientEndReason::ConnectionBroke:
        return QCoreApplication::translate("MainWindow", "与桌面的连接已断开。");
    case ClientEndReason::Other:
        break;
    }
    return end.crashed
        ? QCoreApplication::translate("MainWindow", "FreeRDP 客户端意外终止（信号 %1）。").arg(end.exitCode)
        : QCoreApplication::translate("MainWindow", "桌面因未知原因结束（状态 %1）。").arg(end.exitCode);
}

void DesktopEndBoxes::report(PortalView *view, const ClientEnd &end)
{
    const ClientEndReason reason = clientEndReason(end);
    if (reason == ClientEndReason::ChosenByUser)
        return;
    if (shown && sameDesktop(current.view, current.end.desktop, view, end.desktop))
        return;
    for (const Pending &pending : std::as_const(waiting)) {
        if (sameDesktop(pending.view, pending.end.desktop, view, end.desktop))
            return;
    }
    waiting.append({view, end, reason});
    if (!shown)
        showNext();
}

bool DesktopEndBoxes::isBusy() const
{
    return shown || !waiting.isEmpty();
}

void DesktopEndBoxes::showNext()
{
    if (shown || waiting.isEmpty())
        return;
    current = waiting.takeFirst();
    QString text = sentence(current.reason, current.end);
    const QString words = lastLineOf(current.end.lastWords);
    if (!words.isEmpty())
        text += QLatin1Char('\n') + words;
    const bool mendable = offersReconnect(current.reason);
    // A box whose portal has gone has nothing to start a desktop from.
    const bool reconnect = mendable && current.view;
    const Pending pending = current;
    shown = MessageBox::show(window, QCoreApplication::translate("MainWindow", "桌面"), text,
        reconnect ? QCoreApplication::translate("MainWindow", "重新连接") : QString(),
        mendable ? QCoreApplication::translate("MainWindow", "关闭")
                 : QCoreApplication::translate("MainWindow", "确定"),
        this, [this, pending](bool accepted) { answer(pending, accepted); });
    if (reconnect) {
        QMessageBox *box = shown;
        connect(current.view, &QObject::destroyed, box, [box] { MessageBox::withdrawAccept(box); });
    }
}

void DesktopEndBoxes::answer(const Pending &pending, bool reconnect)
{
    // Only a desktop a new try may mend has kept its file.
    if (pending.view && offersReconnect(pending.reason)) {
        if (reconnect)
            pending.view->reconnectDesktop(pending.end.desktop);
        else
            pending.view->releaseDesktop(pending.end.desktop);
    }
    shown = nullptr;
    if (waiting.isEmpty()) {
        emit allAnswered();
        return;
    }
    // The box is still closing: the next one comes once it is gone.
    QMetaObject::invokeMethod(this, &DesktopEndBoxes::showNext, Qt::QueuedConnection);
}
