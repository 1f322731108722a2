#include "device/platform/sim/siminterfacefields.h"

#include <QList>

namespace
{

bool hex16(const QByteArray& text, quint16& out)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFFFF)
        return false;
    out = static_cast<quint16>(value);
    return true;
}

bool dec8(const QByteArray& text, quint8& out)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value > 0xFF)
        return false;
    out = static_cast<quint8>(value);
    return true;
}

bool endpointType(const QByteArray& text, CVNUsbEndpointType& type)
{
    if (text == "bulk")
        type = CVNUsbEndpointType::Bulk;
    else if (text == "int")
        type = CVNUsbEndpointType::Interrupt;
    else if (text == "ctrl")
        type = CVNUsbEndpointType::Control;
    else if (text == "iso")
        type = CVNUsbEndpointType::Isochronous;
    else
        return false;
    return true;
}

} // namespace

bool CVNSimInterfaceFields::parse(const QByteArray& fields, CVNUsbInterfaceInfo& info)
{
    info = CVNUsbInterfaceInfo();
    bool ok = true;
    for (const QByteArray& field : fields.split(' ')) {
        if (field.isEmpty())
            continue;
        const int eq = field.indexOf('=');
        if (eq <= 0)
            return false;
        const QByteArray key = field.left(eq);
        const QByteArray value = field.mid(eq + 1);
        if (key == "path")
            info.path = QString::fromUtf8(value);
        else if (key == "vid")
            ok = hex16(value, info.vendorId);
        else if (key == "pid")
            ok = hex16(value, info.productId);
        else if (key == "rel")
            ok = hex16(value, info.releaseNumber);
        else if (key == "serial")
            info.serial = QString::fromUtf8(value);
        else if (key == "usagepage")
            ok = hex16(value, info.usagePage);
        else if (key == "usage")
            ok = hex16(value, info.usage);
        else if (key == "class")
            ok = dec8(value, info.interfaceClass);
        else if (key == "subclass")
            ok = dec8(value, info.interfaceSubClass);
        else if (key == "protocol")
            ok = dec8(value, info.interfaceProtocol);
        else if (key == "eps")
            ok = parseEndpoints(value, info.endpoints);
        // "kind" and unknown keys carry nothing the recognition needs.
        if (!ok)
            return false;
    }
    return !info.path.isEmpty();
}

bool CVNSimInterfaceFields::parseEndpoints(const QByteArray& text, QVector<CVNUsbEndpoint>& endpoints)
{
    endpoints.clear();
    if (text == "-")
        return true;
    const QList<QByteArray> items = text.split(',');
    if (items.size() > MaxEndpoints)
        return false;
    for (const QByteArray& item : items) {
        const QList<QByteArray> parts = item.split(':');
        if (parts.size() != 2)
            return false;
        bool ok = false;
        const uint address = parts.at(0).toUInt(&ok, 16);
        CVNUsbEndpoint endpoint;
        if (!ok || address > 0xFF || !endpointType(parts.at(1), endpoint.type))
            return false;
        endpoint.address = static_cast<quint8>(address);
        endpoints.append(endpoint);
    }
    return true;
}
