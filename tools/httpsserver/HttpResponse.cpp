#include "HttpResponse.h"

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    }
    return "Status";
}

} // namespace

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
    for (const auto &header : headers) {
        if (qstricmp(header.first.constData(), name.constData()) == 0)
            return header.second;
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
    HttpResponse response;
    response.mode = Mode::Hold;
    return response;
}

HttpResponse HttpResponse::drop()
{
    HttpResponse response;
    response.mode = Mode::Drop;
    return response;
}

HttpResponse HttpResponse::endless()
{
    HttpResponse response(200, {}, "application/octet-stream");
    response.mode = Mode::Endless;
    return response;
}

QByteArray HttpResponse::head() const
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto &header : headers) {
        const QByteArray name = header.first.toLower();
        if (name == "content-length" || name == "connection" || name == "transfer-encoding")
            continue;
        QByteArray line = header.first + ": " + header.second;
        line.replace('\r', QByteArray()).replace('\n', QByteArray()).replace('\0', QByteArray());
        head += line + "\r\n";
    }
    if (mode == Mode::Endless)
        head += "Transfer-Encoding: chunked\r\n";
    else
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return head + "Connection: close\r\n\r\n";
}
