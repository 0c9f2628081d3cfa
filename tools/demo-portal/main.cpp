#include "DemoPortal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

static bool parsePort(const QString &text, int lowest, quint16 *port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value < uint(lowest) || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

static bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

static int fail(const QString &message)
{
    std::fprintf(stderr, "demo-portal: %s\n", qPrintable(message));
    return 1;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("demo-portal"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the portal server on 127.0.0.1 for trying the launcher out."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Port to listen on; 0 picks a free one (default 8443)."), QStringLiteral("N"),
        QStringLiteral("8443"));
    const QCommandLineOption certOption(QStringLiteral("cert"),
        QStringLiteral("PEM certificate; created with openssl when it and the key are missing."),
        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(
        QStringLiteral("key"), QStringLiteral("PEM private key of the certificate."), QStringLiteral("FILE"));
    const QCommandLineOption hostOption(QStringLiteral("rdp-host"),
        QStringLiteral("Host the connection files point at (default 127.0.0.1)."), QStringLiteral("H"),
        QStringLiteral("127.0.0.1"));
    const QCommandLineOption rdpPortOption(QStringLiteral("rdp-port"),
        QStringLiteral("Port the connection files point at (default 3389)."), QStringLiteral("P"),
        QStringLiteral("3389"));
    const QCommandLineOption userOption(QStringLiteral("rdp-user"),
        QStringLiteral("User name written into the connection files."), QStringLiteral("U"));
    const QCommandLineOption plainOption(
        QStringLiteral("plain-http"), QStringLiteral("Serve plain HTTP, no TLS."));
    parser.addOptions(
        {portOption, certOption, keyOption, hostOption, rdpPortOption, userOption, plainOption});
    parser.process(app);

    DemoPortal::Options options;
    if (!parsePort(parser.value(portOption), 0, &options.port))
        return fail(QStringLiteral("--port wants a number from 0 to 65535"));
    if (!parsePort(parser.value(rdpPortOption), 1, &options.rdpPort))
        return fail(QStringLiteral("--rdp-port wants a number from 1 to 65535"));
    options.rdpHost = parser.value(hostOption).trimmed();
    if (options.rdpHost.isEmpty() || options.rdpHost.contains(QLatin1Char(' '))
        || hasControlCharacters(options.rdpHost))
        return fail(QStringLiteral("--rdp-host wants a host name or address"));
    options.rdpUser = parser.value(userOption);
    if (hasControlCharacters(options.rdpUser))
        return fail(QStringLiteral("--rdp-user must not hold control characters"));
    options.plainHttp = parser.isSet(plainOption);

    if (parser.isSet(certOption) != parser.isSet(keyOption))
        return fail(QStringLiteral("--cert and --key go together"));
    if (parser.isSet(certOption)) {
        options.certificatePath = parser.value(certOption);
        options.keyPath = parser.value(keyOption);
    } else {
        // Outside the repository, so a generated key never ends up committed.
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        options.certificatePath = dir + QStringLiteral("/demo-portal-cert.pem");
        options.keyPath = dir + QStringLiteral("/demo-portal-key.pem");
    }

    DemoPortal portal(options);
    QObject::connect(&portal, &DemoPortal::started, &app, [](const QUrl &url) {
        std::printf("demo-portal listening on %s\n", qPrintable(url.toString()));
        std::fflush(stdout);
    });
    QObject::connect(&portal, &DemoPortal::failed, &app, [](const QString &message) {
        fail(message);
        QCoreApplication::exit(1);
    });
    // From inside the loop, so that a failure's exit() ends it.
    QTimer::singleShot(0, &portal, &DemoPortal::start);
    return app.exec();
}
