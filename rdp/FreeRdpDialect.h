#pragma once

#include <QStringList>

// The translated options are written for the Windows client. The upstream
// client on other platforms rejects some of them; this adapts the list to it.
// Where upstream cannot express a restriction the result is stricter, never looser.
QStringList adaptForUpstreamFreeRdp(const QStringList &options);
