// The web console's untrusted input: request heads through the parser and
// the access checks (with the network allowed, so that address literals are
// read too), and WebSocket messages through their conversion into
// documents, whose result must decode within the stream limits.

#include "com/binaryjson.h"
#include "webconsole/comconnectionwebsocket.h"
#include "webconsole/consoleaccess.h"
#include "webconsole/httprequest.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    if (data[0] & 1) {
        static CVNConsoleAccess access = [] {
            CVNConsoleAccess a(QByteArray(64, 'a'));
            a.setLocalAddresses({QHostAddress(QStringLiteral("127.0.0.1")), QHostAddress(QStringLiteral("10.0.0.2"))});
            a.setAddress(41234, true);
            return a;
        }();
        const CVNHttpRequest request = CVNHttpRequest::parse(bytes);
        if (request.status == CVNHttpRequest::Status::Complete && request.headSize > bytes.size())
            abort();
        const CVNConsoleAccess::Decision decision = access.decide(request);
        if (decision.kind == CVNConsoleAccess::Kind::Page && decision.path.contains(QLatin1String("..")))
            abort();
        return 0;
    }
    QString error;
    const QByteArray document = CVNComConnectionWebSocket::documentOfText(bytes, &error);
    if (document.isEmpty())
        return 0;
    const CVNBinaryJson::FrontResult front
        = CVNBinaryJson::decodeFront(document.constData(), document.size(), CVNComLimits::kStreamDocumentLimits);
    if (front.status != CVNBinaryJson::FrontStatus::Complete || front.size != document.size())
        abort();
    return 0;
}
