#include "HttpRequestParser.h"

#include "HttpSyntax.h"

#include <QtGlobal>

static QByteArray trimmedBlanks(const QByteArray &text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && (text.at(begin) == ' ' || text.at(begin) == '\t'))
        ++begin;
    while (end > begin && (text.at(end - 1) == ' ' || text.at(end - 1) == '\t'))
        --end;
    return text.mid(begin, end - begin);
}

static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

static bool isDecimal(const QByteArray &text)
{
    // 18 digits always fit into qint64.
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

HttpRequestParser::HttpRequestParser(int maxHeadBytes, qint64 maxBodyBytes)
    : m_maxHeadBytes(maxHeadBytes)
    , m_maxBodyBytes(maxBodyBytes)
{
}

bool HttpRequestParser::wantsContinue() const
{
    return m_state == State::Body && m_request.version == "HTTP/1.1"
        && m_request.header("Expect").toLower() == "100-continue";
}

HttpRequestParser::State HttpRequestParser::fail(int status, const QByteArray &text)
{
    m_state = State::Failed;
    m_errorStatus = status;
    m_errorText = text;
    m_buffer.clear();
    m_lines.clear();
    return m_state;
}

HttpRequestParser::State HttpRequestParser::feed(const QByteArray &data)
{
    if (m_state == State::Body) {
        takeBody(data);
        return m_state;
    }
    if (m_state != State::Head)
        return m_state;

    m_buffer += data;
    while (m_state == State::Head) {
        const int newline = m_buffer.indexOf('\n', m_scanFrom);
        if (newline < 0) {
            m_scanFrom = m_buffer.size();
            if (m_buffer.size() > m_maxHeadBytes)
                return fail(431, "request head too large");
            return m_state;
        }
        if (newline + 1 > m_maxHeadBytes)
            return fail(431, "request head too large");

        QByteArray line = m_buffer.mid(m_lineStart, newline - m_lineStart);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lineStart = newline + 1;
        m_scanFrom = m_lineStart;

        if (!line.isEmpty()) {
            if (m_lines.size() > maxHeaderLines)
                return fail(431, "too many header lines");
            m_lines.append(line);
            continue;
        }
        // Empty lines before the request line are tolerated, as browsers may send them.
        if (m_lines.isEmpty())
            continue;

        const QByteArray rest = m_buffer.mid(m_lineStart);
        m_buffer.clear();
        parseHead();
        m_lines.clear();
        if (m_state == State::Body)
            takeBody(rest);
    }
    return m_state;
}

void HttpRequestParser::parseHead()
{
    if (!parseRequestLine(m_lines.first()))
        return;
    for (int i = 1; i < m_lines.size(); ++i) {
        if (!parseHeaderLine(m_lines.at(i)))
            return;
    }

    if (m_request.hasHeader("Transfer-Encoding")) {
        fail(501, "transfer codings are not supported");
        return;
    }
    QByteArray length;
    for (const HttpHeader &h : qAsConst(m_request.headers)) {
        if (qstricmp(h.first.constData(), "Content-Length") != 0)
            continue;
        if (!isDecimal(h.second) || (!length.isNull() && h.second.toLongLong() != length.toLongLong())) {
            fail(400, "invalid Content-Length");
            return;
        }
        length = h.second;
    }
    m_contentLength = length.isNull() ? 0 : length.toLongLong();
    if (m_contentLength > m_maxBodyBytes) {
        fail(413, "request body too large");
        return;
    }
    m_state = m_contentLength > 0 ? State::Body : State::Complete;
}

bool HttpRequestParser::parseRequestLine(const QByteArray &line)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !HttpSyntax::isToken(parts.at(0)) || !HttpSyntax::isTarget(parts.at(1))) {
        fail(400, "malformed request line");
        return false;
    }
    const QByteArray &version = parts.at(2);
    if (version.size() != 8 || !version.startsWith("HTTP/") || !isDigit(version.at(5)) || version.at(6) != '.'
        || !isDigit(version.at(7))) {
        fail(400, "malformed request line");
        return false;
    }
    if (version.at(5) != '1') {
        fail(505, "only HTTP/1.x is served");
        return false;
    }
    m_request.method = parts.at(0);
    m_request.target = parts.at(1);
    m_request.version = version;
    return parseTarget();
}

bool HttpRequestParser::parseTarget()
{
    QByteArray originForm = m_request.target;
    const QByteArray lower = originForm.toLower();
    if (lower.startsWith("http://") || lower.startsWith("https://")) {
        // Absolute form, as sent to proxies: keep only what follows the authority.
        const int authority = originForm.indexOf("//") + 2;
        int end = authority;
        while (end < originForm.size() && originForm.at(end) != '/' && originForm.at(end) != '?')
            ++end;
        originForm = originForm.mid(end);
        if (!originForm.startsWith('/'))
            originForm.prepend('/');
    } else if (originForm == "*") {
        m_request.path = QStringLiteral("*");
        return true;
    } else if (!originForm.startsWith('/')) {
        fail(400, "malformed request target");
        return false;
    }
    if (originForm.contains('#')) {
        fail(400, "malformed request target");
        return false;
    }
    const int question = originForm.indexOf('?');
    const QByteArray rawPath = question < 0 ? originForm : originForm.left(question);
    m_request.rawQuery = question < 0 ? QByteArray() : originForm.mid(question + 1);
    m_request.path = QString::fromUtf8(HttpSyntax::percentDecoded(rawPath));
    return true;
}

bool HttpRequestParser::parseHeaderLine(const QByteArray &line)
{
    // Folded continuation lines are obsolete and a classic smuggling vector.
    if (line.startsWith(' ') || line.startsWith('\t')) {
        fail(400, "folded header line");
        return false;
    }
    const int colon = line.indexOf(':');
    const QByteArray name = colon > 0 ? line.left(colon) : QByteArray();
    const QByteArray value = colon > 0 ? trimmedBlanks(line.mid(colon + 1)) : QByteArray();
    if (!HttpSyntax::isToken(name) || !HttpSyntax::isFieldValue(value)) {
        fail(400, "malformed header line");
        return false;
    }
    m_request.headers.append({name, value});
    return true;
}

void HttpRequestParser::takeBody(const QByteArray &data)
{
    const qint64 missing = m_contentLength - m_request.body.size();
    m_request.body += data.left(int(qMin<qint64>(missing, data.size())));
    if (m_request.body.size() >= m_contentLength)
        m_state = State::Complete;
}
