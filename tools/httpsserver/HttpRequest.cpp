#include "HttpRequest.h"

#include <QUrl>

#include <cstring>

namespace {

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric && (c == '\0' || !std::strchr("!#$%&'*+-.^_`|~", c)))
            return false;
    }
    return true;
}

// Visible ASCII only: no blank, control or 8-bit byte can hide in a target.
bool isTarget(const QByteArray &text)
{
    if (!text.startsWith('/'))
        return false;
    for (const char c : text) {
        if (uchar(c) <= 0x20 || uchar(c) >= 0x7F)
            return false;
    }
    return true;
}

bool isFieldValue(const QByteArray &text)
{
    for (const char c : text) {
        if ((uchar(c) < 0x20 && c != '\t') || uchar(c) == 0x7F)
            return false;
    }
    return true;
}

} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    QList<QByteArray> values;
    for (const auto &header : headers) {
        if (qstricmp(header.first.constData(), name.constData()) == 0)
            values << header.second;
    }
    return values.join(", ");
}

int HttpRequest::parse(const QByteArray &buffer, HttpRequest *request, int maxHead, int maxBody)
{
    const int headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return buffer.size() > maxHead ? 431 : 0;
    if (headEnd + 4 > maxHead)
        return 431;

    // Every line but the last ends in CR here: the head's final CR LF is cut off.
    QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].endsWith('\r'))
            return 400;
        lines[i].chop(1);
    }

    HttpRequest parsed;
    const QList<QByteArray> requestLine = lines.takeFirst().split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine.at(0)) || !isTarget(requestLine.at(1))
        || (requestLine.at(2) != "HTTP/1.1" && requestLine.at(2) != "HTTP/1.0"))
        return 400;
    parsed.method = requestLine.at(0);
    parsed.target = requestLine.at(1);
    for (const QByteArray &line : std::as_const(lines)) {
        const int colon = line.indexOf(':');
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (colon < 0 || !isToken(name) || !isFieldValue(value))
            return 400;
        parsed.headers.append({name, value});
    }

    if (!parsed.header("Transfer-Encoding").isEmpty())
        return 501;
    int length = 0;
    const QByteArray lengthText = parsed.header("Content-Length");
    if (!lengthText.isEmpty()) {
        // Digits only: no sign, no list of lengths that might disagree.
        for (const char c : lengthText) {
            if (c < '0' || c > '9')
                return 400;
        }
        bool ok = false;
        length = lengthText.toInt(&ok);
        if (!ok || length > maxBody)
            return 413;
    }
    const int bodyStart = headEnd + 4;
    if (buffer.size() - bodyStart < length)
        return 0;
    parsed.body = buffer.mid(bodyStart, length);

    const int question = parsed.target.indexOf('?');
    parsed.path = QUrl::fromPercentEncoding(question < 0 ? parsed.target : parsed.target.left(question));
    if (question >= 0)
        parsed.rawQuery = parsed.target.mid(question + 1);
    *request = parsed;
    return 200;
}
