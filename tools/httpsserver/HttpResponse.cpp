#include "HttpResponse.h"

#include "HttpSyntax.h"

HttpResponse::HttpResponse(int status, const QByteArray &body, const QByteArray &contentType)
    : status(status)
    , body(body)
{
    setHeader("Content-Type", contentType);
}

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    for (int i = headers.size() - 1; i >= 0; --i) {
        if (qstricmp(headers.at(i).first.constData(), name.constData()) == 0)
            headers.removeAt(i);
    }
    headers.append({name, value});
}

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (qstricmp(h.first.constData(), name.constData()) == 0)
            return h.second;
    }
    return {};
}

HttpResponse HttpResponse::plainText(int status, const QByteArray &text)
{
    return HttpResponse(status, text, "text/plain; charset=utf-8");
}

HttpResponse HttpResponse::html(int status, const QByteArray &utf8Html)
{
    return HttpResponse(status, utf8Html, "text/html; charset=utf-8");
}

HttpResponse HttpResponse::json(int status, const QByteArray &json)
{
    return HttpResponse(status, json, "application/json");
}

HttpResponse HttpResponse::notFound()
{
    return plainText(404, "Not Found\n");
}

HttpResponse HttpResponse::hold()
{
    HttpResponse r;
    r.mode = Mode::Hold;
    return r;
}

HttpResponse HttpResponse::stream(qint64 size)
{
    HttpResponse r(200, {}, "application/octet-stream");
    r.mode = Mode::Stream;
    r.streamSize = size;
    return r;
}

QByteArray HttpResponse::standardReason(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        break;
    }
    if (status >= 200 && status < 300)
        return "OK";
    return "Status";
}

static QByteArray withoutLineBreaks(QByteArray text)
{
    text.replace('\r', QByteArray()).replace('\n', QByteArray()).replace('\0', QByteArray());
    return text;
}

QByteArray HttpResponse::serializedHead() const
{
    const int code = effectiveStatus();
    QByteArray phrase = code == status ? withoutLineBreaks(reason) : QByteArray();
    if (phrase.isEmpty())
        phrase = standardReason(code);

    QByteArray head = "HTTP/1.1 " + QByteArray::number(code) + ' ' + phrase + "\r\n";
    for (const auto &h : headers) {
        if (!HttpSyntax::isToken(h.first))
            continue;
        const QByteArray name = h.first.toLower();
        if (name == "content-length" || name == "connection" || name == "transfer-encoding")
            continue;
        head += h.first + ": " + withoutLineBreaks(h.second).trimmed() + "\r\n";
    }
    if (mode == Mode::Stream && streamSize < 0)
        head += "Transfer-Encoding: chunked\r\n";
    else if (code != 204)
        head += "Content-Length: " + QByteArray::number(mode == Mode::Stream ? streamSize : body.size())
            + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}
