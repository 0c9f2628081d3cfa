#pragma once

#include <QByteArray>

// Character rules of HTTP/1.1 messages, shared by the parser and the reply writer.
namespace HttpSyntax {

// A header name or method: one or more of the token characters.
bool isToken(const QByteArray &text);
// A header value: visible characters, blanks, tabs and bytes from 0x80; no controls.
bool isFieldValue(const QByteArray &text);
// A request target: visible ASCII only, not empty.
bool isTarget(const QByteArray &text);
// Every "%" is followed by two hexadecimal digits.
bool hasValidPercentEncoding(const QByteArray &text);
// Decodes every "%" with two hexadecimal digits; any other "%" stays as it is.
QByteArray percentDecoded(const QByteArray &text);

} // namespace HttpSyntax
