// libFuzzer harness: the demo portal's request parser and its request line
// for the console take any byte sequence, fed in pieces of any size, without
// a crash, a sanitizer report or unbounded memory.

#include "HttpRequestParser.h"
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

    HttpRequestParser parser(4096, 4096);
    for (int at = 0; at < input.size() && parser.state() != HttpRequestParser::State::Complete
         && parser.state() != HttpRequestParser::State::Failed;
         at += piece) {
        parser.feed(input.mid(at, piece));
    }
    if (parser.state() == HttpRequestParser::State::Failed && parser.errorStatus() < 400)
        __builtin_trap();
    if (parser.state() == HttpRequestParser::State::Complete) {
        const HttpRequest &request = parser.request();
        if (request.body.size() > 4096)
            __builtin_trap();
        const QByteArray line = PortalContent::requestLogLine(
            QDateTime(QDate(2026, 1, 1), QTime(0, 0)), request.method, request.target);
        // One console line: nothing that would break it or fake another.
        if (line.contains('\n') || line.contains('\r'))
            __builtin_trap();
    }
    return 0;
}
