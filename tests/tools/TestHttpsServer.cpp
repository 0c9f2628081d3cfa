#include "HttpRequestParser.h"
#include "HttpResponse.h"
#include "HttpsServer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QtTest>

#include <stdexcept>

namespace {

const QString certPath = QStringLiteral(TEST_DATA_DIR "/test-cert.pem");
const QString keyPath = QStringLiteral(TEST_DATA_DIR "/test-key.pem");

struct RawResult
{
    QByteArray reply;
    bool closedByServer = false;
};

// Sends bytes on a fresh connection and gathers the reply until the server closes.
// Waits by spinning the event loop, since the server runs on this same thread.
RawResult rawExchange(quint16 port, bool tls, const QByteArray &bytes, int timeoutMsecs = 5000)
{
    RawResult result;
    QScopedPointer<QTcpSocket> socket(tls ? new QSslSocket : new QTcpSocket);
    QTcpSocket *s = socket.data();
    QObject::connect(s, &QIODevice::readyRead, s, [&result, s] { result.reply += s->readAll(); });
    if (tls) {
        auto *ssl = static_cast<QSslSocket *>(s);
        ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        if (!QTest::qWaitFor([ssl] { return ssl->isEncrypted(); }, 5000))
            return result;
    } else {
        s->connectToHost(QHostAddress::LocalHost, port);
        if (!QTest::qWaitFor([s] { return s->state() == QAbstractSocket::ConnectedState; }, 5000))
            return result;
    }
    s->write(bytes);
    result.closedByServer
        = QTest::qWaitFor([s] { return s->state() == QAbstractSocket::UnconnectedState; }, timeoutMsecs);
    result.reply += s->readAll();
    return result;
}

QNetworkReply *get(
    QNetworkAccessManager &manager, const QUrl &url, const QList<QPair<QByteArray, QByteArray>> &headers = {})
{
    QNetworkRequest request(url);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    request.setSslConfiguration(tls);
    for (const auto &h : headers)
        request.setRawHeader(h.first, h.second);
    return manager.get(request);
}

HttpResponse echoPath(const HttpRequest &request)
{
    return HttpResponse::plainText(200, "path=" + request.path.toUtf8());
}

// A server still answering a normal request after whatever a test did to it.
bool stillServes(HttpsServer &server)
{
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(get(manager, server.url(QStringLiteral("/alive"))));
    if (!QTest::qWaitFor([&reply] { return reply->isFinished(); }, 5000)) {
        qWarning("no answer in time %d %d", server.openConnections(), server.requests().size());
        return false;
    }
    if (reply->error() != QNetworkReply::NoError)
        qWarning("%s", qPrintable(reply->errorString()));
    return reply->error() == QNetworkReply::NoError && reply->readAll() == "path=/alive";
}

} // namespace

class TestHttpsServer : public QObject
{
    Q_OBJECT

private slots:
    void parser_data();
    void parser();
    void parserSurvivesRandomInput();
    void responseHead_data();
    void responseHead();

    void getReachesHandler_data();
    void getReachesHandler();
    void postBodyAndHead();
    void defaultHandlerAnswers404();
    void throwingHandlerGives500();
    void listenRejectsBadCertificates_data();
    void listenRejectsBadCertificates();

    void malformedRequests_data();
    void malformedRequests();
    void slowClientTimesOut_data();
    void slowClientTimesOut();
    void expectContinue();
    void holdNeverAnswers();
    void streamSizedBody();
    void streamEndlessUntilCancelled();
    void manyConnectionsAtOnce();
};

void TestHttpsServer::parser_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("rawQuery");
    QTest::addColumn<QByteArray>("body");

    const int complete = int(HttpRequestParser::State::Complete);
    const int failed = int(HttpRequestParser::State::Failed);
    const int head = int(HttpRequestParser::State::Head);
    const int body = int(HttpRequestParser::State::Body);

    QTest::addRow("simple get") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << complete << 0
                                << QByteArray("GET") << "/" << QByteArray() << QByteArray();
    QTest::addRow("decoded path, raw query")
        << QByteArray("GET /a%20b/%E4%B8%AD/%zz?x=%41&y=1+2 HTTP/1.1\r\n\r\n") << complete << 0
        << QByteArray("GET") << QString::fromUtf8("/a b/\xE4\xB8\xAD/%zz") << QByteArray("x=%41&y=1+2")
        << QByteArray();
    QTest::addRow("bare LF lines") << QByteArray("GET /p HTTP/1.0\nA: b\n\n") << complete << 0
                                   << QByteArray("GET") << "/p" << QByteArray() << QByteArray();
    QTest::addRow("leading empty lines") << QByteArray("\r\n\r\nGET /p HTTP/1.1\r\n\r\n") << complete << 0
                                         << QByteArray("GET") << "/p" << QByteArray() << QByteArray();
    QTest::addRow("absolute form") << QByteArray("GET http://h:81/p/q?z=1 HTTP/1.1\r\n\r\n") << complete << 0
                                   << QByteArray("GET") << "/p/q" << QByteArray("z=1") << QByteArray();
    QTest::addRow("absolute form without path")
        << QByteArray("GET https://h?z HTTP/1.1\r\n\r\n") << complete << 0 << QByteArray("GET") << "/"
        << QByteArray("z") << QByteArray();
    QTest::addRow("body by length, extra ignored")
        << QByteArray("POST /f HTTP/1.1\r\nContent-Length: 5\r\n\r\nhelloEXTRA") << complete << 0
        << QByteArray("POST") << "/f" << QByteArray() << QByteArray("hello");
    QTest::addRow("equal duplicate lengths")
        << QByteArray("PUT / HTTP/1.1\r\nContent-Length: 2\r\n"
                      "content-length: 002\r\n\r\nab")
        << complete << 0 << QByteArray("PUT") << "/" << QByteArray() << QByteArray("ab");
    QTest::addRow("head not finished") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") << head << 0
                                       << QByteArray() << QString() << QByteArray() << QByteArray();
    QTest::addRow("body not finished")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n12345") << body << 0 << QByteArray("POST")
        << "/" << QByteArray() << QByteArray("12345");

    const auto refused = [&](const char *name, const QByteArray &input, int status) {
        QTest::addRow("%s", name) << input << failed << status << QByteArray() << QString() << QByteArray()
                                  << QByteArray();
    };
    static const char garbage[] = "\x16\x03\x01\x00\xff\xfe garbage\r\n\r\n";
    refused("garbage", QByteArray(garbage, sizeof garbage - 1), 400);
    refused("no version", "GET /\r\n\r\n", 400);
    refused("two blanks", "GET  / HTTP/1.1\r\n\r\n", 400);
    refused("tab separator", "GET\t/ HTTP/1.1\r\n\r\n", 400);
    refused("relative target", "GET index.html HTTP/1.1\r\n\r\n", 400);
    refused("fragment in target", "GET /a#b HTTP/1.1\r\n\r\n", 400);
    refused("non-ASCII target", "GET /\xC3\xA9 HTTP/1.1\r\n\r\n", 400);
    refused("lower-case version", "GET / http/1.1\r\n\r\n", 400);
    refused("HTTP/2", "GET / HTTP/2.0\r\n\r\n", 505);
    refused("header without colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", 400);
    refused("blank before colon", "GET / HTTP/1.1\r\nHost : x\r\n\r\n", 400);
    refused("folded header", "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n", 400);
    refused("control character in value", "GET / HTTP/1.1\r\nA: b\x01c\r\n\r\n", 400);
    refused("bare CR in value", "GET / HTTP/1.1\r\nA: b\rc\r\n\r\n", 400);
    refused("non-numeric length", "POST / HTTP/1.1\r\nContent-Length: 12a\r\n\r\n", 400);
    refused("negative length", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400);
    refused("empty length", "POST / HTTP/1.1\r\nContent-Length:\r\n\r\n", 400);
    refused("huge length number", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", 400);
    refused("conflicting lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400);
    refused("body over limit", "POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n", 413);
    refused("chunked body", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501);
    refused("head over limit", "GET / HTTP/1.1\r\nX: " + QByteArray(70 * 1024, 'a') + "\r\n\r\n", 431);
    refused("endless line", "GET /" + QByteArray(70 * 1024, 'a'), 431);
    refused("endless empty lines", QByteArray(40 * 1024, '\r').replace('\r', "\r\n"), 431);
    QByteArray manyHeaders = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 300; ++i)
        manyHeaders += "X: 1\r\n";
    refused("too many header lines", manyHeaders + "\r\n", 431);
}

void TestHttpsServer::parser()
{
    QFETCH(QByteArray, input);
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QByteArray, rawQuery);
    QFETCH(QByteArray, body);

    // The same bytes at once, byte by byte and in uneven pieces must parse alike.
    for (int piece : {int(input.size()), 1, 7}) {
        HttpRequestParser parser;
        for (int i = 0; i < input.size(); i += piece)
            parser.feed(input.mid(i, piece));
        QCOMPARE(int(parser.state()), state);
        if (parser.state() == HttpRequestParser::State::Failed) {
            QCOMPARE(parser.errorStatus(), status);
            continue;
        }
        QCOMPARE(parser.request().method, method);
        QCOMPARE(parser.request().path, path);
        QCOMPARE(parser.request().rawQuery, rawQuery);
        QCOMPARE(parser.request().body, body);
    }
}

void TestHttpsServer::parserSurvivesRandomInput()
{
    const QByteArray seeds[] = {"GET / HTTP/1.1\r\n", "Content-Length: 3\r\n", "\r\n", ":", " ", "%", "?",
        "\n", "HTTP/1.", "POST", "Transfer-Encoding"};
    QRandomGenerator random(20240611);
    for (int round = 0; round < 3000; ++round) {
        HttpRequestParser parser(512, 64);
        QByteArray sent;
        const int pieces = random.bounded(1, 40);
        for (int p = 0; p < pieces && parser.state() != HttpRequestParser::State::Failed; ++p) {
            QByteArray piece;
            if (random.bounded(2) == 0) {
                piece = seeds[random.bounded(int(std::size(seeds)))];
            } else {
                piece.resize(random.bounded(0, 64));
                for (char &c : piece)
                    c = char(random.bounded(256));
            }
            sent += piece;
            parser.feed(piece);
        }
        if (parser.state() == HttpRequestParser::State::Failed) {
            const QList<int> statuses {400, 413, 431, 501, 505};
            QVERIFY2(statuses.contains(parser.errorStatus()), sent.toHex().constData());
        }
        if (parser.state() == HttpRequestParser::State::Complete)
            QVERIFY(parser.request().body.size() <= 64);
    }
}

void TestHttpsServer::responseHead_data()
{
    QTest::addColumn<HttpResponse>("response");
    QTest::addColumn<QByteArray>("head");

    HttpResponse injected = HttpResponse::plainText(200, "abc");
    injected.setHeader("X-Evil", "a\r\nSet-Cookie: b");
    injected.headers.append(qMakePair(QByteArray("Bad Name"), QByteArray("v")));
    injected.setHeader("Content-Length", "999");
    injected.setHeader("connection", "keep-alive");
    QTest::addRow("no header splitting, own framing")
        << injected
        << QByteArray(
               "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nX-Evil: aSet-Cookie: b\r\n"
               "Content-Length: 3\r\nConnection: close\r\n\r\n");

    HttpResponse reason(404, "x", "text/plain");
    reason.reason = "Gone\r\nFishing";
    QTest::addRow("reason without line breaks")
        << reason
        << QByteArray("HTTP/1.1 404 GoneFishing\r\nContent-Type: text/plain\r\nContent-Length: 1\r\n"
                      "Connection: close\r\n\r\n");

    HttpResponse noContent(204, "ignored", "text/plain");
    QTest::addRow("204 without length")
        << noContent
        << QByteArray("HTTP/1.1 204 No Content\r\nContent-Type: text/plain\r\n"
                      "Connection: close\r\n\r\n");
    QTest::addRow("status out of range")
        << HttpResponse(42, "", "text/plain")
        << QByteArray("HTTP/1.1 500 Internal Server Error\r\nContent-Type: "
                      "text/plain\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    QTest::addRow("sized stream") << HttpResponse::stream(12345)
                                  << QByteArray(
                                         "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                         "Content-Length: 12345\r\nConnection: close\r\n\r\n");
    QTest::addRow("endless stream") << HttpResponse::stream(-1)
                                    << QByteArray(
                                           "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                           "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
}

void TestHttpsServer::responseHead()
{
    QFETCH(HttpResponse, response);
    QFETCH(QByteArray, head);
    QCOMPARE(response.serializedHead(), head);
}

void TestHttpsServer::getReachesHandler_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addRow("https") << true;
    QTest::addRow("http") << false;
}

void TestHttpsServer::getReachesHandler()
{
    QFETCH(bool, tls);
    HttpsServer server;
    server.setHandler([](const HttpRequest &request) {
        return HttpResponse::plainText(
            200, "hello " + request.query().queryItemValue(QStringLiteral("name")).toUtf8());
    });
    QVERIFY2(tls ? server.listen(certPath, keyPath) : server.listen(), qPrintable(server.errorString()));
    QCOMPARE(server.isHttps(), tls);
    QVERIFY(server.port() != 0);
    QSignalSpy received(&server, &HttpsServer::requestReceived);

    const QUrl url = server.url(QStringLiteral("/portal/x%20y?name=bob&a=a/"));
    QCOMPARE(url.scheme(), tls ? QStringLiteral("https") : QStringLiteral("http"));
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(url.port(), int(server.port()));

    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(
        get(manager, url, {{"Content-Type", "application/json"}, {"Accept-Language", "zh-CN,zh,*"}}));
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QCOMPARE(reply->readAll(), QByteArray("hello bob"));
    QCOMPARE(reply->rawHeader("Connection"), QByteArray("close"));

    QCOMPARE(received.count(), 1);
    QCOMPARE(server.requests().size(), 1);
    const HttpRequest request = server.requests().first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, QByteArray("/portal/x%20y?name=bob&a=a/"));
    QCOMPARE(request.path, QStringLiteral("/portal/x y"));
    QCOMPARE(request.query().queryItemValue(QStringLiteral("a")), QStringLiteral("a/"));
    QCOMPARE(request.header("content-type"), QByteArray("application/json"));
    QCOMPARE(request.header("ACCEPT-LANGUAGE"), QByteArray("zh-CN,zh,*"));
    QVERIFY(!request.hasHeader("Cookie"));
    QCOMPARE(received.first().first().value<HttpRequest>().target, request.target);
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::postBodyAndHead()
{
    HttpsServer server;
    server.setHandler([](const HttpRequest &request) {
        return HttpResponse::plainText(200, request.method + ' ' + request.body);
    });
    QVERIFY(server.listen());
    QNetworkAccessManager manager;

    QNetworkRequest postRequest(server.url(QStringLiteral("/form")));
    postRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/plain"));
    const QByteArray payload(200 * 1024, 'p');
    QScopedPointer<QNetworkReply> post(manager.post(postRequest, payload));
    QTRY_VERIFY_WITH_TIMEOUT(post->isFinished(), 10000);
    QCOMPARE(post->readAll(), "POST " + payload);
    QCOMPARE(server.requests().last().header("Content-Length"), QByteArray::number(payload.size()));

    QScopedPointer<QNetworkReply> head(manager.head(QNetworkRequest(server.url(QStringLiteral("/h")))));
    QTRY_VERIFY_WITH_TIMEOUT(head->isFinished(), 10000);
    QCOMPARE(head->error(), QNetworkReply::NoError);
    QCOMPARE(head->header(QNetworkRequest::ContentLengthHeader).toInt(), 5);
    QVERIFY(head->readAll().isEmpty());
}

void TestHttpsServer::defaultHandlerAnswers404()
{
    HttpsServer server;
    QVERIFY(server.listen(certPath, keyPath));
    const RawResult result = rawExchange(server.port(), true, "GET /anything HTTP/1.1\r\nHost: a\r\n\r\n");
    QVERIFY(result.closedByServer);
    QVERIFY2(result.reply.startsWith("HTTP/1.1 404 Not Found\r\n"), result.reply.constData());
    QVERIFY(result.reply.contains("\r\nContent-Length: 10\r\n"));
}

void TestHttpsServer::throwingHandlerGives500()
{
    HttpsServer server;
    server.setHandler([](const HttpRequest &request) -> HttpResponse {
        if (request.path == QLatin1String("/throw"))
            throw std::runtime_error("boom");
        return echoPath(request);
    });
    QVERIFY(server.listen());
    const RawResult result = rawExchange(server.port(), false, "GET /throw HTTP/1.1\r\n\r\n");
    QVERIFY2(result.reply.startsWith("HTTP/1.1 500 "), result.reply.constData());
    QVERIFY(stillServes(server));
}

void TestHttpsServer::listenRejectsBadCertificates_data()
{
    QTest::addColumn<QString>("cert");
    QTest::addColumn<QString>("key");
    QTest::addRow("certificate without key") << certPath << QString();
    QTest::addRow("key without certificate") << QString() << keyPath;
    QTest::addRow("missing file") << QStringLiteral(TEST_DATA_DIR "/no-such.pem") << keyPath;
    QTest::addRow("key given as certificate") << keyPath << keyPath;
    QTest::addRow("certificate given as key") << certPath << certPath;
}

void TestHttpsServer::listenRejectsBadCertificates()
{
    QFETCH(QString, cert);
    QFETCH(QString, key);
    HttpsServer server;
    QVERIFY(!server.listen(cert, key));
    QVERIFY(!server.isListening());
    QVERIFY(!server.errorString().isEmpty());
}

void TestHttpsServer::malformedRequests_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("statusLine");

    const QList<QPair<const char *, QPair<QByteArray, QByteArray>>> cases {
        {"garbage", {QByteArray("\x01\x02\x03\xff hello\r\n\r\n"), "HTTP/1.1 400 "}},
        {"oversized head", {"GET / HTTP/1.1\r\nX: " + QByteArray(100 * 1024, 'a'), "HTTP/1.1 431 "}},
        {"non-numeric length", {"POST / HTTP/1.1\r\nContent-Length: ten\r\n\r\n", "HTTP/1.1 400 "}},
        {"body too large",
            {"POST / HTTP/1.1\r\nContent-Length: 5000000\r\n\r\n" + QByteArray(300 * 1024, 'b'),
                "HTTP/1.1 413 "}},
        {"chunked",
            {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
                "HTTP/1.1 501 "}},
        {"version 3", {"GET / HTTP/3.0\r\n\r\n", "HTTP/1.1 505 "}},
        {"NUL bytes", {QByteArray(64, '\0') + "\r\n\r\n", "HTTP/1.1 400 "}},
    };
    for (bool tls : {false, true}) {
        for (const auto &c : cases)
            QTest::addRow("%s %s", tls ? "https" : "http", c.first)
                << tls << c.second.first << c.second.second;
    }
}

void TestHttpsServer::malformedRequests()
{
    QFETCH(bool, tls);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, statusLine);

    HttpsServer server;
    server.setHandler(echoPath);
    QVERIFY(tls ? server.listen(certPath, keyPath) : server.listen());
    const RawResult result = rawExchange(server.port(), tls, bytes);
    QVERIFY(result.closedByServer);
    QVERIFY2(result.reply.startsWith(statusLine), result.reply.left(200).constData());
    QVERIFY(result.reply.contains("\r\nConnection: close\r\n"));
    QVERIFY(server.requests().isEmpty());
    QVERIFY(stillServes(server));
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::slowClientTimesOut_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("handshake");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reply");

    QTest::addRow("http, silent") << false << true << QByteArray() << QByteArray("HTTP/1.1 408 ");
    QTest::addRow("http, half a head")
        << false << true << QByteArray("GET / HTTP/1.1\r\nHo") << QByteArray("HTTP/1.1 408 ");
    QTest::addRow("http, half a body")
        << false << true << QByteArray("POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\nabc")
        << QByteArray("HTTP/1.1 408 ");
    QTest::addRow("https, silent after handshake")
        << true << true << QByteArray() << QByteArray("HTTP/1.1 408 ");
    // Without a finished handshake there is no channel for a reply.
    QTest::addRow("https, no handshake") << true << false << QByteArray() << QByteArray();
    QTest::addRow("https port, plain text")
        << true << false << QByteArray("GET / HTTP/1.1\r\n\r\n") << QByteArray();
}

void TestHttpsServer::slowClientTimesOut()
{
    QFETCH(bool, tls);
    QFETCH(bool, handshake);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reply);

    HttpsServer server;
    server.setHandler(echoPath);
    server.setRequestTimeout(400);
    QVERIFY(tls ? server.listen(certPath, keyPath) : server.listen());

    QElapsedTimer clock;
    clock.start();
    RawResult result;
    if (handshake) {
        result = rawExchange(server.port(), tls, bytes);
    } else {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QTRY_COMPARE(socket.state(), QAbstractSocket::ConnectedState);
        socket.write(bytes);
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 5000);
        result.closedByServer = true;
        result.reply = socket.readAll();
    }
    QVERIFY(result.closedByServer);
    if (reply.isEmpty()) {
        QVERIFY2(!result.reply.startsWith("HTTP/"), result.reply.constData());
    } else {
        QVERIFY2(result.reply.startsWith(reply), result.reply.constData());
        QVERIFY(clock.elapsed() >= 300);
    }
    QVERIFY(stillServes(server));
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::expectContinue()
{
    HttpsServer server;
    server.setHandler([](const HttpRequest &request) { return HttpResponse::plainText(200, request.body); });
    QVERIFY(server.listen());

    QTcpSocket socket;
    QByteArray received;
    connect(&socket, &QIODevice::readyRead, &socket, [&] { received += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, server.port());
    QTRY_COMPARE(socket.state(), QAbstractSocket::ConnectedState);
    socket.write("PUT /u HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n");
    QTRY_COMPARE(received, QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
    socket.write("hello");
    QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);
    QVERIFY2(received.endsWith("\r\n\r\nhello"), received.constData());
    QVERIFY(received.contains("HTTP/1.1 200 OK\r\n"));
}

void TestHttpsServer::holdNeverAnswers()
{
    HttpsServer server;
    server.setRequestTimeout(300);
    server.setHandler([](const HttpRequest &request) {
        return request.path == QLatin1String("/hold") ? HttpResponse::hold() : echoPath(request);
    });
    QVERIFY(server.listen(certPath, keyPath));

    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(get(manager, server.url(QStringLiteral("/hold"))));
    QTRY_COMPARE(server.requests().size(), 1);
    // Well past the request time-out: a held request is not dropped by it.
    QTest::qWait(1000);
    QVERIFY(!reply->isFinished());
    QCOMPARE(server.openConnections(), 1);
    QVERIFY(stillServes(server));

    reply->abort();
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestHttpsServer::streamSizedBody()
{
    static constexpr qint64 size = 5 * 1024 * 1024 + 17;
    HttpsServer server;
    server.setHandler([](const HttpRequest &) { return HttpResponse::stream(size); });
    QVERIFY(server.listen(certPath, keyPath));

    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(get(manager, server.url(QStringLiteral("/big"))));
    qint64 total = 0;
    bool onlyFiller = true;
    connect(reply.data(), &QIODevice::readyRead, this, [&] {
        const QByteArray piece = reply->readAll();
        total += piece.size();
        onlyFiller = onlyFiller && piece.count('x') == piece.size();
    });
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), size);
    total += reply->readAll().size();
    QCOMPARE(total, size);
    QVERIFY(onlyFiller);
}

void TestHttpsServer::streamEndlessUntilCancelled()
{
    HttpsServer server;
    server.setHandler([](const HttpRequest &request) {
        return request.path == QLatin1String("/endless") ? HttpResponse::stream(-1) : echoPath(request);
    });
    QVERIFY(server.listen(certPath, keyPath));

    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(get(manager, server.url(QStringLiteral("/endless"))));
    qint64 total = 0;
    connect(reply.data(), &QIODevice::readyRead, this, [&] { total += reply->readAll().size(); });
    QTRY_VERIFY_WITH_TIMEOUT(total > 8 * 1024 * 1024, 20000);
    QVERIFY(!reply->isFinished());
    reply->abort();
    QTRY_COMPARE(server.openConnections(), 0);
    QVERIFY(stillServes(server));
}

void TestHttpsServer::manyConnectionsAtOnce()
{
    HttpsServer server;
    server.setHandler(echoPath);
    QVERIFY(server.listen());

    const int count = 60;
    QVector<QTcpSocket *> sockets;
    QVector<QByteArray> replies(count);
    for (int i = 0; i < count; ++i) {
        auto *socket = new QTcpSocket(this);
        connect(socket, &QIODevice::readyRead, socket,
            [socket, &replies, i] { replies[i] += socket->readAll(); });
        socket->connectToHost(QHostAddress::LocalHost, server.port());
        sockets.append(socket);
    }
    QTRY_VERIFY(std::all_of(sockets.cbegin(), sockets.cend(),
        [](QTcpSocket *s) { return s->state() == QAbstractSocket::ConnectedState; }));
    // Answered in the reverse order of arrival: no connection waits on another.
    for (int i = count - 1; i >= 0; --i)
        sockets[i]->write("GET /n" + QByteArray::number(i) + " HTTP/1.1\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(sockets.cbegin(), sockets.cend(),
            [](QTcpSocket *s) { return s->state() == QAbstractSocket::UnconnectedState; }),
        10000);
    for (int i = 0; i < count; ++i)
        QVERIFY2(replies[i].endsWith("path=/n" + QByteArray::number(i)), replies[i].constData());
    qDeleteAll(sockets);
    QCOMPARE(server.requests().size(), count);
}

QTEST_GUILESS_MAIN(TestHttpsServer)
#include "TestHttpsServer.moc"
