#include "webconsole/httprequest.h"

#include "webconsole/consolelimits.h"

namespace {

bool isTokenChar(char c)
{
    // RFC 9110 tchar
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~':
        return true;
    default:
        return false;
    }
}

bool isFieldValueChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return c == '\t' || (u >= 0x20 && u != 0x7f);
}

CVNHttpRequest broken(int status)
{
    CVNHttpRequest request;
    request.status = CVNHttpRequest::Status::Broken;
    request.refusalStatus = status;
    return request;
}

bool parseRequestLine(const QByteArray& line, CVNHttpRequest* request)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || parts.at(0).isEmpty() || parts.at(0).size() > 16)
        return false;
    for (char c : parts.at(0)) {
        if (c < 'A' || c > 'Z')
            return false;
    }
    const QByteArray& target = parts.at(1);
    if (target.isEmpty() || target.at(0) != '/' || target.size() > CVNConsoleLimits::kMaxTargetLength)
        return false;
    for (char c : target) {
        if (c <= 0x20 || c >= 0x7f)
            return false;
    }
    request->method = parts.at(0);
    request->target = target;
    request->version = parts.at(2);
    return true;
}

} // namespace

QByteArray CVNHttpRequest::header(const QByteArray& name) const
{
    for (const auto& field : headers) {
        if (field.first == name)
            return field.second;
    }
    return QByteArray();
}

int CVNHttpRequest::headerCount(const QByteArray& name) const
{
    int count = 0;
    for (const auto& field : headers)
        count += field.first == name ? 1 : 0;
    return count;
}

bool CVNHttpRequest::headerHasToken(const QByteArray& name, const QByteArray& token) const
{
    for (const auto& field : headers) {
        if (field.first != name)
            continue;
        for (const QByteArray& part : field.second.split(',')) {
            if (part.trimmed().toLower() == token.toLower())
                return true;
        }
    }
    return false;
}

CVNHttpRequest CVNHttpRequest::parse(const QByteArray& data)
{
    const qint64 window = qMin<qint64>(data.size(), CVNConsoleLimits::kMaxRequestHeadBytes);
    const int end = data.left(int(window)).indexOf("\r\n\r\n");
    if (end < 0) {
        if (data.size() >= CVNConsoleLimits::kMaxRequestHeadBytes)
            return broken(431);
        // A head that can already never be valid is refused at once.
        if (data.contains('\0'))
            return broken(400);
        return CVNHttpRequest();
    }
    const QByteArray head = data.left(end);
    if (head.contains('\0'))
        return broken(400);
    const QList<QByteArray> lines = head.split('\n');
    if (lines.size() - 1 > CVNConsoleLimits::kMaxHeaderLines)
        return broken(431);
    CVNHttpRequest request;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        // Every line but the last ends in CR (the split took the LF); no
        // bare LF and no CR inside a line.
        if (i + 1 < lines.size()) {
            if (!line.endsWith('\r'))
                return broken(400);
            line.chop(1);
        }
        if (line.contains('\r'))
            return broken(400);
        if (i == 0) {
            if (!parseRequestLine(line, &request))
                return broken(400);
            continue;
        }
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return broken(400);  // no name, or a folded continuation line
        const QByteArray name = line.left(colon);
        for (char c : name) {
            if (!isTokenChar(c))
                return broken(400);
        }
        const QByteArray value = line.mid(colon + 1).trimmed();
        for (char c : value) {
            if (!isFieldValueChar(c))
                return broken(400);
        }
        request.headers.append({name.toLower(), value});
    }
    if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0")
        return broken(505);
    // The console takes no request bodies.
    if (request.headerCount("transfer-encoding") > 0)
        return broken(400);
    if (request.headerCount("content-length") > 0 && request.header("content-length") != "0")
        return broken(400);
    request.status = Status::Complete;
    request.headSize = end + 4;
    return request;
}
