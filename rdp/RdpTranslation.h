#pragma once

#include <QByteArray>
#include <QStringList>

// Translation of an RDP connection file into FreeRDP command-line options.
// Pure functions over the file's bytes: no widgets, no processes, no state.

// How much of a connection file takes part in the translation.
constexpr int rdpHeadSize = 10240;

// The first rdpHeadSize bytes of the file at path (8-bit path, as the page
// hands it over); empty when the file cannot be opened.
QByteArray readRdpHead(const QByteArray &path);

// The options for a file whose first bytes are head, in their fixed order.
QStringList rdpOptions(const QByteArray &head);
