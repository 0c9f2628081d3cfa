#include "PortalProbe.h"

#include "BenchLoop.h"
#include "QProgressIndicator.h"

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace PortalProbe {

const QString user = QStringLiteral("bench");
const QString password = QStringLiteral("bench-pw");

void showWithCredentials(QWidget *window, const QString &password)
{
    window->show();
    window->findChild<QLineEdit *>(QStringLiteral("userEdit"))->setText(user);
    window->findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(password);
}

bool waitForFirstLoad(QWidget *window, int timeoutMs)
{
    // The indicator exists only from the positive identity check to the first
    // load, a span of hundreds of milliseconds: a 1 ms look-out finds it.
    QPointer<QProgressIndicator> indicator;
    if (!BenchLoop::runUntilTrue(
            [&] { return (indicator = window->findChild<QProgressIndicator *>()) != nullptr; }, 1, timeoutMs))
        return false;
    return BenchLoop::runUntil(indicator.data(), &QObject::destroyed, timeoutMs);
}

} // namespace PortalProbe
