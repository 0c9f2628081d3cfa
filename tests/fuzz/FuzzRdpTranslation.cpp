// libFuzzer harness: any connection-file head must translate, and the result
// adapt, without a crash or a sanitizer report.

#include "FreeRdpDialect.h"
#include "RdpTranslation.h"

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray head
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, INT_MAX)));
    const QStringList options = rdpOptions(head);
    // Whatever the input, the list ends with exactly one USB option.
    if (options.isEmpty() || !options.last().startsWith(QLatin1String("/usb:")))
        __builtin_trap();
    adaptForUpstreamFreeRdp(options);
    return 0;
}
