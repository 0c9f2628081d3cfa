// libFuzzer harness: any identity-check reply body is judged without a crash
// or a sanitizer report, and only a body naming isMe can be accepted.

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
    // The same body always gets the same answer.
    if (accepted != isIdentityReply(QByteArray(body)))
        __builtin_trap();
    return 0;
}
