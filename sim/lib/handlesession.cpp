#include "handlesession.h"

#include "simlimits.h"
#include "virtualcontroller.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <limits>

namespace corvanesim {

namespace {

const QString Malformed = QStringLiteral("error malformed request");

bool parseHex(const QString& text, QByteArray* bytes)
{
    static const QRegularExpression hex(QStringLiteral("^([0-9a-fA-F]{2})*$"));
    if (text.size() > 2 * MaxTransferLength || !hex.match(text).hasMatch())
        return false;
    *bytes = QByteArray::fromHex(text.toLatin1());
    return true;
}

bool parseNumber(const QString& text, int minimum, int maximum, int* value)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < minimum || n > maximum)
        return false;
    *value = n;
    return true;
}

HandleAnswer answerOf(const TransferResult& result, bool withData)
{
    switch (result.status) {
    case TransferResult::Status::Ok:
        return {withData ? QStringLiteral("ok ") + QString::fromLatin1(result.data.toHex()) : QStringLiteral("ok"),
                false};
    case TransferResult::Status::Vanished:
        return {QStringLiteral("fail"), true};
    case TransferResult::Status::Silent:
        return {QString(), false, true};
    case TransferResult::Status::Fail:
        break;
    }
    return {QStringLiteral("fail"), false};
}

HandleAnswer setFeature(CVNVirtualController* c, const QStringList& args)
{
    QByteArray report;
    if (args.size() != 1 || !parseHex(args[0], &report) || report.isEmpty())
        return {Malformed, false};
    return answerOf(c->setFeature(report), false);
}

HandleAnswer getReport(CVNVirtualController* c, const QStringList& args, bool feature)
{
    int id = 0;
    int length = 0;
    if (args.size() != 2 || !parseNumber(args[0], 0, 255, &id) || !parseNumber(args[1], 1, MaxTransferLength, &length))
        return {Malformed, false};
    return answerOf(feature ? c->getFeature(id, length) : c->getInput(id, length), true);
}

// control REQTYPE REQ VALUE INDEX LEN HEX: HEX is "-" or, for a request
// to the device, exactly LEN bytes.
HandleAnswer control(CVNVirtualController* c, const QStringList& args)
{
    int requestType = 0;
    int request = 0;
    int value = 0;
    int index = 0;
    int length = 0;
    QByteArray data;
    if (args.size() != 6 || !parseNumber(args[0], 0, 255, &requestType) || !parseNumber(args[1], 0, 255, &request)
        || !parseNumber(args[2], 0, 0xFFFF, &value) || !parseNumber(args[3], 0, 0xFFFF, &index)
        || !parseNumber(args[4], 0, MaxTransferLength, &length)
        || (args[5] != QLatin1String("-") && !parseHex(args[5], &data)))
        return {Malformed, false};
    const bool in = (requestType & 0x80) != 0;
    if ((in && !data.isEmpty()) || (!in && data.size() != length))
        return {Malformed, false};
    const TransferResult result = c->control(requestType, request, value, index, length, data);
    if (in && result.status == TransferResult::Status::Ok)
        return {QStringLiteral("ok ") + (result.data.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(result.data.left(length).toHex())), false};
    return answerOf(result, false);
}

// The HID interface has no bulk pipes and takes no vendor control requests;
// the bulk interface has no HID reports.
HandleAnswer noSuchPipe(CVNVirtualController*, const QStringList&)
{
    return {QStringLiteral("fail"), false};
}

// An endpoint address as the host writes it: one or two hex digits.
bool parseEndpoint(const QString& text, quint8* endpoint)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-fA-F]{1,2}$"));
    if (!pattern.match(text).hasMatch())
        return false;
    *endpoint = quint8(text.toUInt(nullptr, 16));
    return true;
}

HandleAnswer bulkWrite(CVNVirtualController* c, const QStringList& args)
{
    quint8 endpoint = 0;
    QByteArray packet;
    if (args.size() != 2 || !parseEndpoint(args[0], &endpoint) || !parseHex(args[1], &packet) || packet.isEmpty())
        return {Malformed, false};
    const TransferResult result = c->bulkWrite(endpoint, packet);
    if (result.status == TransferResult::Status::Ok)
        return {QStringLiteral("ok %1").arg(packet.size()), false};
    return answerOf(result, false);
}

HandleAnswer bulkRead(CVNVirtualController* c, const QStringList& args)
{
    quint8 endpoint = 0;
    int length = 0;
    int timeout = 0;
    if (args.size() != 3 || !parseEndpoint(args[0], &endpoint) || !parseNumber(args[1], 1, MaxTransferLength, &length)
        || !parseNumber(args[2], 0, std::numeric_limits<int>::max(), &timeout))
        return {Malformed, false};
    return answerOf(c->bulkRead(endpoint, length), true);
}

// The transfers of the vendor bulk interface.
const QHash<QString, std::function<HandleAnswer(CVNVirtualController*, const QStringList&)>>& bulkHandlers()
{
    static const QHash<QString, std::function<HandleAnswer(CVNVirtualController*, const QStringList&)>> table = {
        {QStringLiteral("bulkwrite"), bulkWrite},
        {QStringLiteral("bulkread"), bulkRead},
    };
    return table;
}

using Handler = std::function<HandleAnswer(CVNVirtualController*, const QStringList&)>;

const QHash<QString, Handler>& handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("setfeature"), setFeature},
        {QStringLiteral("getfeature"), [](auto* c, const auto& a) { return getReport(c, a, true); }},
        {QStringLiteral("getinput"), [](auto* c, const auto& a) { return getReport(c, a, false); }},
        {QStringLiteral("bulkwrite"), noSuchPipe},
        {QStringLiteral("bulkread"), noSuchPipe},
        {QStringLiteral("control"), noSuchPipe},
    };
    return table;
}

}  // namespace

HandleAnswer performHandleRequest(CVNVirtualController* controller, const QString& kind, const QString& line)
{
    QStringList args = line.split(QLatin1Char(' '));
    const QString request = args.takeFirst();
    const auto it = handlers().constFind(request);
    if (it == handlers().constEnd())
        return {QStringLiteral("error unknown request"), false};
    if (kind == QLatin1String("bulk")) {
        const auto bulk = bulkHandlers().constFind(request);
        return bulk == bulkHandlers().constEnd() ? noSuchPipe(controller, args) : (*bulk)(controller, args);
    }
    // The DFU interface has the control pipe alone.
    if (kind == QLatin1String("dfu"))
        return request == QLatin1String("control") ? control(controller, args) : noSuchPipe(controller, args);
    if (kind != QLatin1String("hid"))
        return noSuchPipe(controller, args);
    return (*it)(controller, args);
}

}  // namespace corvanesim
