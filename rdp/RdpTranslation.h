#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Translation of an RDP connection file into FreeRDP command-line options.
// Pure functions over the file's bytes: no widgets, no processes, no state.

// How much of a connection file takes part in the translation.
constexpr int rdpHeadSize = 10240;

// The first rdpHeadSize bytes of the file at path (in the file system's 8-bit
// encoding, QFile::encodeName); empty when the file cannot be opened.
QByteArray readRdpHead(const QByteArray &path);

// The options for a file whose first bytes are head, in their fixed order.
// Bytes beyond rdpHeadSize are ignored, as if head came from readRdpHead.
QStringList rdpOptions(const QByteArray &head);

// FreeRDP's floating bar, hidden until the pointer reaches the top edge, so
// that a desktop opened full screen shows a way out: inserted right after
// "/f" (the same text for FreeRDP 2 and 3). Options without "/f" stay as
// they are.
QStringList withFloatingBar(QStringList options);

// The one "/usb:" option for a file's searchable text: 8-bit text without a
// byte-order mark and without NUL bytes (plain ASCII text qualifies).
QString usbOption(const QByteArray &text);
