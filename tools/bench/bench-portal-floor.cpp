// Floor for login to portal: a bare QWebEngineView loading the same sign-in
// address as the launcher, created at the moment the launcher's login press
// would come, timed to its first loadFinished.
// Usage: bench-portal-floor <portal address>
// Prints: ms=<ms> peak_kib=<KiB> helpers=<n> helpers_kib=<KiB>

#include "BenchLoop.h"
#include "ControlData.h"
#include "HighDpi.h"
#include "PortalSignIn.h"
#include "ProcessProbe.h"
#include "TerminalIdentity.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <cstdio>

namespace {

// Accepts the demo portal's self-signed certificate as the launcher's page
// does; it adds nothing else.
class TrustingPage : public QWebEnginePage
{
public:
    explicit TrustingPage(QObject *parent)
        : QWebEnginePage(parent)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        connect(this, &QWebEnginePage::certificateError, this,
            [](QWebEngineCertificateError error) { error.acceptCertificate(); });
#endif
    }

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
protected:
    bool certificateError(const QWebEngineCertificateError &) override
    {
        return true;
    }
#endif
};

} // namespace

int main(int argc, char *argv[])
{
    setHighDpiScaling();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-portal-floor <portal address>\n");
        return 2;
    }
    ControlData data;
    data.userName = encodeCredential(QStringLiteral("bench"));
    data.userPassword = encodeCredential(QStringLiteral("bench-pw"));
    data.serverAddress = QString::fromLocal8Bit(argv[1]);
    const QString address = signInAddress(data, encodeSerialId(terminalSerialId()));

    // Idle as long as the launcher's window does while the user types.
    BenchLoop::idle(1000);

    QElapsedTimer timer;
    timer.start();
    QWebEngineView view;
    view.setPage(new TrustingPage(&view));
    view.resize(636, 331);
    view.show();
    view.load(QUrl(address, QUrl::TolerantMode));
    if (!BenchLoop::runUntil(&view, &QWebEngineView::loadFinished, 60000)) {
        std::fprintf(stderr, "bench-portal-floor: the portal did not load\n");
        return 1;
    }
    const qint64 ms = timer.elapsed();

    BenchLoop::idle(1000);
    ProcessProbe::printPortalFigures(ms);
    return 0;
}
