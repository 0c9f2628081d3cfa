#include "HttpsServer.h"

#include <QSslSocket>
#include <QtTest>

namespace {

const QString certPath = QStringLiteral(TEST_DATA_DIR "/test-cert.pem");
const QString keyPath = QStringLiteral(TEST_DATA_DIR "/test-key.pem");

// A raw client, so the test sees the bytes on the wire.
QSslSocket *connectTo(HttpsServer &server, bool tls, QObject *parent)
{
    auto *socket = new QSslSocket(parent);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls)
        socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.port());
    else
        socket->connectToHost(QHostAddress::LocalHost, server.port());
    return socket;
}

// Everything the server sends until it closes.
QByteArray exchange(HttpsServer &server, bool tls, const QByteArray &request)
{
    QObject owner;
    QSslSocket *socket = connectTo(server, tls, &owner);
    socket->write(request);
    QByteArray reply;
    QObject::connect(socket, &QIODevice::readyRead, &owner, [&] { reply += socket->readAll(); });
    if (!QTest::qWaitFor([socket] { return socket->state() == QAbstractSocket::UnconnectedState; }, 10000))
        return "(still open)";
    return reply + socket->readAll();
}

} // namespace

class TestHttpsServer : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void answers_data();
    void answers();
    void slowClientGets408();
    void heldRequestStaysUnanswered();
    void endlessReplyFollowsTheReader();
    void connectionCountIsBounded();
    void badCertificatePairs_data();
    void badCertificatePairs();
};

void TestHttpsServer::parse_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("rawQuery");
    QTest::addColumn<QByteArray>("body");

    QTest::addRow("get") << QByteArray("GET /a%20b/%E4%B8%AD?x=%41&y HTTP/1.1\r\nHost: h\r\n\r\n") << 200
                         << QString::fromUtf8("/a b/\xE4\xB8\xAD") << QByteArray("x=%41&y") << QByteArray();
    QTest::addRow("body by length, rest ignored")
        << QByteArray("POST /f HTTP/1.0\r\ncontent-length: 3\r\n\r\nabcGET") << 200 << "/f" << QByteArray()
        << QByteArray("abc");
    QTest::addRow("head unfinished") << QByteArray("GET / HTTP/1.1\r\nHost: h\r\n") << 0 << "" << QByteArray()
                                     << QByteArray();
    QTest::addRow("body unfinished") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\nab") << 0
                                     << "" << QByteArray() << QByteArray();
    const QList<QPair<const char *, QByteArray>> refused {
        {"two words", "GET /\r\n\r\n"},
        {"unknown version", "GET / HTTP/2.0\r\n\r\n"},
        {"target not a path", "GET http://h/ HTTP/1.1\r\n\r\n"},
        {"blank in target", "GET /a b HTTP/1.1\r\n\r\n"},
        {"bare LF", "GET / HTTP/1.1\nHost: h\r\n\r\n"},
        {"header without colon", "GET / HTTP/1.1\r\nHost\r\n\r\n"},
        {"blank in header name", "GET / HTTP/1.1\r\nHo st: h\r\n\r\n"},
        {"control in value", "GET / HTTP/1.1\r\nX: a\x01\r\n\r\n"},
        {"signed length", "POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\nabc"},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\nabc"},
    };
    for (const auto &row : refused)
        QTest::addRow("%s", row.first) << row.second << 400 << "" << QByteArray() << QByteArray();
    QTest::addRow("chunked") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << 501
                             << "" << QByteArray() << QByteArray();
    QTest::addRow("body too large") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 65\r\n\r\n") << 413
                                    << "" << QByteArray() << QByteArray();
    QTest::addRow("head too large, unfinished")
        << "GET /" + QByteArray(200, 'a') << 431 << "" << QByteArray() << QByteArray();
    QTest::addRow("head too large, finished") << "GET /" + QByteArray(120, 'a') + " HTTP/1.1\r\n\r\n"
                                              << 431 << "" << QByteArray() << QByteArray();
}

void TestHttpsServer::parse()
{
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QString, path);
    QFETCH(QByteArray, rawQuery);
    QFETCH(QByteArray, body);
    HttpRequest request;
    QCOMPARE(HttpRequest::parse(input, &request, 128, 64), status);
    QCOMPARE(request.path, path);
    QCOMPARE(request.rawQuery, rawQuery);
    QCOMPARE(request.body, body);
}

void TestHttpsServer::answers_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("handled");

    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nX-Seen: ";
    for (const bool tls : {true, false}) {
        const char *scheme = tls ? "https" : "http";
        QTest::addRow("%s get", scheme)
            << tls << QByteArray("GET /p?q HTTP/1.1\r\nx-in: 1\r\n\r\n")
            << head + "GET /p 1\r\nContent-Length: 5\r\nConnection: close\r\n\r\nbody\n"
            << 1;
        QTest::addRow("%s post body", scheme)
            << tls << QByteArray("POST /f HTTP/1.1\r\nX-In: 2\r\nContent-Length: 4\r\n\r\nform")
            << head + "POST /f 2form\r\nContent-Length: 5\r\nConnection: close\r\n\r\nbody\n"
            << 1;
        QTest::addRow("%s head without body", scheme)
            << tls << QByteArray("HEAD / HTTP/1.1\r\n\r\n")
            << head + "HEAD / \r\nContent-Length: 5\r\nConnection: close\r\n\r\n"
            << 1;
        QTest::addRow("%s malformed", scheme)
            << tls << QByteArray("GET\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request\r\n") << 0;
    }
}

void TestHttpsServer::answers()
{
    QFETCH(bool, tls);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, handled);
    HttpsServer server;
    // A header value with a line break must not split the reply.
    server.setHandler([](const HttpRequest &r) {
        HttpResponse response = HttpResponse::plainText(200, "body\n");
        response.setHeader("X-Seen", r.method + ' ' + r.path.toUtf8() + " \r\n" + r.header("X-IN") + r.body);
        response.setHeader("Content-Length", "1");
        return response;
    });
    QVERIFY(tls ? server.listen(certPath, keyPath) : server.listen());
    QVERIFY(server.url(QStringLiteral("p"))
                .toString()
                .startsWith(tls ? "https://127.0.0.1:" : "http://127.0.0.1:"));
    const QByteArray received = exchange(server, tls, request);
    QVERIFY2(received.startsWith(reply), received.constData());
    if (handled)
        QCOMPARE(received, reply);
    QCOMPARE(server.requests().size(), handled);
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::slowClientGets408()
{
    HttpsServer server;
    server.setRequestTimeout(300);
    QVERIFY(server.listen(certPath, keyPath));
    QCOMPARE(
        exchange(server, true, "GET / HTTP/1.1\r\nHost:").left(24), QByteArray("HTTP/1.1 408 Request Tim"));
    QVERIFY(server.requests().isEmpty());
}

void TestHttpsServer::heldRequestStaysUnanswered()
{
    HttpsServer server;
    server.setHandler([](const HttpRequest &r) {
        return r.path == QLatin1String("/hold") ? HttpResponse::hold() : HttpResponse::notFound();
    });
    server.setRequestTimeout(200);
    QVERIFY(server.listen(certPath, keyPath));
    QObject owner;
    QSslSocket *held = connectTo(server, true, &owner);
    held->write("GET /hold HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(server.requests().size(), 1);
    // A silent client that came later gets its 408: the held request is past its deadline too.
    QVERIFY(exchange(server, true, QByteArray()).startsWith("HTTP/1.1 408 "));
    QCOMPARE(held->bytesAvailable(), qint64(0));
    QCOMPARE(held->state(), QAbstractSocket::ConnectedState);
    held->abort();
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::endlessReplyFollowsTheReader()
{
    HttpsServer server;
    server.setHandler([](const HttpRequest &) { return HttpResponse::endless(); });
    QVERIFY(server.listen(certPath, keyPath));
    QObject owner;
    QSslSocket *client = connectTo(server, true, &owner);
    client->write("GET /file HTTP/1.1\r\n\r\n");
    QByteArray received;
    QObject::connect(client, &QIODevice::readyRead, &owner, [&] { received += client->readAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(received.size() > 4 * 1024 * 1024, 20000);
    QVERIFY(received.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(received.contains("\r\nTransfer-Encoding: chunked\r\n"));
    QVERIFY(!received.contains("Content-Length"));
    QVERIFY(received.contains("\r\n\r\n4000\r\nxxxx"));
    client->abort();
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::connectionCountIsBounded()
{
    HttpsServer server;
    server.setRequestTimeout(120000);
    QVERIFY(server.listen());
    QObject owner;
    QList<QSslSocket *> clients;
    // One at a time: the listen backlog would hold a burst back.
    for (int i = 1; i <= HttpsServer::maxConnections; ++i) {
        clients << connectTo(server, false, &owner);
        QTRY_COMPARE(server.openConnections(), i);
    }
    // One more is closed at once, without an answer.
    QCOMPARE(exchange(server, false, "GET / HTTP/1.1\r\n\r\n"), QByteArray());
    QCOMPARE(server.openConnections(), HttpsServer::maxConnections);
    qDeleteAll(clients);
    QTRY_COMPARE(server.openConnections(), 0);
    QVERIFY(exchange(server, false, "GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404 "));
}

void TestHttpsServer::badCertificatePairs_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("key");
    QTest::addRow("certificate without key") << certPath << QString();
    QTest::addRow("missing file") << QStringLiteral(TEST_DATA_DIR "/no-such.pem") << keyPath;
    QTest::addRow("key given as certificate") << keyPath << keyPath;
    QTest::addRow("certificate given as key") << certPath << certPath;
}

void TestHttpsServer::badCertificatePairs()
{
    QFETCH(QString, certificate);
    QFETCH(QString, key);
    HttpsServer server;
    QVERIFY(!server.listen(certificate, key));
    QVERIFY(!server.errorString().isEmpty());
    QCOMPARE(server.port(), quint16(0));
}

QTEST_GUILESS_MAIN(TestHttpsServer)
#include "TestHttpsServer.moc"
