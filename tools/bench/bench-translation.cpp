// Connection files per second through the translation: the file read from
// disk and turned into options, as the page does for every download.
// Usage: bench-translation <scratch folder>
// Prints one line per case: <case> files_per_s=<n> us_per_file=<us>

#include "FreeRdpDialect.h"
#include "RdpTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

QByteArray typicalFile()
{
    return QByteArrayLiteral(
        "screen mode id:i:2\r\nuse multimon:i:1\r\ndesktopwidth:i:1920\r\ndesktopheight:i:1080\r\n"
        "session bpp:i:32\r\nfull address:s:10.0.0.21:3389\r\naudiomode:i:0\r\n"
        "redirectprinters:i:1\r\nredirectclipboard:i:1\r\nredirectsmartcards:i:1\r\n"
        "drivestoredirect:s:*\r\ngatewayhostname:s:gw.example.net\r\ngatewayusername:s:alice\r\n"
        "gatewaypassword:s:secret\r\nvideoplaybackmode:i:1\r\nuse gfx:i:1\r\n"
        "usbdevicestoredirect:s:*;-USB\\VID_0A1B&PID_2C3D;USB\\VID_ABCD&PID_EF01\r\n"
        "prompt for credentials:i:0\r\nusername:s:alice\r\n");
}

// Every key absent until the very end, so each search runs the whole head.
QByteArray worstCaseFile()
{
    QByteArray file;
    while (file.size() < rdpHeadSize - 64)
        file += "x:s:abcdefghijklmnopqrstuvwxyz0123456789 padding line of text\r\n";
    file.truncate(rdpHeadSize - 64);
    file += "\r\nusbdevicestoredirect:s:USB\\VID_ABCD&PID_EF01;-USB\\VID_0A1B&PID_2C3D";
    return file.left(rdpHeadSize);
}

void measure(const char *name, const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return;
    file.close();
    const QByteArray encoded = QFile::encodeName(path);
    qint64 options = 0;
    int files = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 2000) {
        for (int i = 0; i < 200; ++i) {
            options += adaptForUpstreamFreeRdp(rdpOptions(readRdpHead(encoded))).size();
            ++files;
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%s bytes=%d files_per_s=%.0f us_per_file=%.2f options=%lld\n", name, int(content.size()),
        files / seconds, seconds * 1e6 / files, static_cast<long long>(options / files));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-translation <scratch folder>\n");
        return 2;
    }
    const QDir scratch(QString::fromLocal8Bit(argv[1]));
    measure("typical", scratch.filePath(QStringLiteral("typical.rdp")), typicalFile());
    measure("worst-case", scratch.filePath(QStringLiteral("worst.rdp")), worstCaseFile());
    return 0;
}
