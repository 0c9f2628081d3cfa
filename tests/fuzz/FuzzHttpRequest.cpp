// libFuzzer harness: the test server's request parser and the demo portal's
// console line take any byte sequence, arriving in pieces of any size, without
// a crash, a sanitizer report or a request outside the bounds.

#include "HttpRequest.h"
#include "PortalContent.h"

#include <QDateTime>

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the piece size, so splits land everywhere.
    const int piece = 1 + data[0] % 64;
    const QByteArray input = QByteArray::fromRawData(
        reinterpret_cast<const char *>(data + 1), int(qMin<size_t>(size - 1, INT_MAX)));
    constexpr int maxHead = 4096;
    constexpr int maxBody = 4096;

    QByteArray received;
    HttpRequest request;
    int status = 0;
    for (int at = 0; at < input.size() && status == 0; at += piece) {
        received += input.mid(at, piece);
        status = HttpRequest::parse(received, &request, maxHead, maxBody);
    }
    if (status != 0 && status != 200 && status != 400 && status != 413 && status != 431 && status != 501)
        __builtin_trap();
    // Nothing more is read once the head and the body fit: the buffer stays bounded.
    if (status == 0 && received.size() > maxHead + maxBody)
        __builtin_trap();
    if (status != 200)
        return 0;
    if (request.body.size() > maxBody || request.target.size() > maxHead)
        __builtin_trap();
    // The request is whole: more bytes after it change nothing.
    HttpRequest again;
    if (HttpRequest::parse(received + "GET / HTTP/1.1\r\n\r\n", &again, maxHead, maxBody) != 200
        || again.target != request.target || again.body != request.body || again.headers != request.headers)
        __builtin_trap();
    for (const char c : QByteArray(request.method + request.target)) {
        if (uchar(c) <= 0x20 || uchar(c) >= 0x7F)
            __builtin_trap();
    }
    const QByteArray line = PortalContent::requestLogLine(
        QDateTime(QDate(2026, 1, 1), QTime(0, 0)), request.method, request.target);
    // One console line: nothing that would break it or fake another.
    if (line.contains('\n') || line.contains('\r'))
        __builtin_trap();
    return 0;
}
