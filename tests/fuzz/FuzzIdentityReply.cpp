// libFuzzer harness: any identity-check reply body is judged without a crash
// or a sanitizer report, only a JSON object naming isMe can be accepted, and
// the blanks JSON allows around a document change nothing.

#include "IdentityCheck.h"

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, INT_MAX)));
    const bool accepted = isIdentityReply(body);
    // The member name may be written with escapes (the parser also takes
    // unknown ones such as "\s" for "s"), but never without its letters.
    if (accepted && !body.contains("isMe") && !body.contains('\\'))
        __builtin_trap();
    // Only an object: an array, a string or a bare value never passes. The
    // parser skips a UTF-8 byte order mark at the very start.
    const QByteArray bom("\xEF\xBB\xBF");
    const int start = body.startsWith(bom) ? bom.size() : 0;
    int first = start;
    while (first < body.size() && QByteArray(" \t\r\n").contains(body.at(first)))
        ++first;
    if (accepted && (first == body.size() || body.at(first) != '{'))
        __builtin_trap();
    // A server that pads its reply with JSON whitespace gets the same answer.
    const QByteArray padded = body.left(start) + " \r\n" + body.mid(start) + "\n\t ";
    if (accepted != isIdentityReply(padded))
        __builtin_trap();
    return 0;
}
