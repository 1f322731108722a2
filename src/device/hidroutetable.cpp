#include "device/hidroutetable.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"

namespace
{

bool containsNoCase(const QString& name, const char* part)
{
    return name.contains(QLatin1String(part), Qt::CaseInsensitive);
}

bool isOneOf(const QString& name, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (name == QLatin1String(word))
            return true;
    }
    return false;
}

} // namespace

CVNHidRouteTable::CVNHidRouteTable()
    : m_handlers(RowCount)
{
    m_handlers[Touches] = &CVNHidExchanges::touches;
    m_handlers[Gain] = &CVNHidExchanges::gain;
    m_handlers[Pair] = [](CVNDeviceHid& device, const CVNDeviceRequest& request) {
        return CVNHidExchanges::integers(device, request, 2);
    };
    m_handlers[Triple] = [](CVNDeviceHid& device, const CVNDeviceRequest& request) {
        return CVNHidExchanges::integers(device, request, 3);
    };
    m_handlers[Function] = &CVNHidExchanges::function;
    m_handlers[Boolean] = &CVNHidExchanges::boolean;
    m_handlers[Generic] = &CVNHidExchanges::generic;
}

CVNHidRouteTable& CVNHidRouteTable::shared()
{
    static CVNHidRouteTable table;
    return table;
}

bool CVNHidRouteTable::matches(Row row, const CVNDeviceRequest& request)
{
    const QString& name = request.name;
    switch (row) {
    case Touches:
        return name == QLatin1String("touches");
    case Frame:
        return name == QLatin1String("frame");
    case Gain:
        return name == QLatin1String("gain");
    case EnableDisableCells:
        return name == QLatin1String("enable_disable_cells");
    case Pair:
        return isOneOf(name, { "thbound", "tblobdis", "flogs", "fphys", "fsize" });
    case EdgeSnapping:
        return name.startsWith(QLatin1String("tste"));
    case BorderAdjust:
        return containsNoCase(name, "cba.");
    case Settings:
        return containsNoCase(name, "settings.");
    case GeometricCalibration:
        return name == QLatin1String("geometric_calibration");
    case Triple:
        return isOneOf(name, { "cfo", "te2fnref" });
    case FoilHealth:
        return containsNoCase(name, "foilh.");
    case Function:
        return request.type == CVNDeviceRequest::Call;
    case Boolean:
        return request.value.userType() == QMetaType::Bool;
    case Generic:
        return true;
    case RowCount:
        break;
    }
    return false;
}

void CVNHidRouteTable::setHandler(Row row, Handler handler)
{
    if (row < 0 || row >= RowCount)
        return;
    QWriteLocker locker(&m_lock);
    m_handlers[row] = std::move(handler);
}

bool CVNHidRouteTable::hasHandler(Row row) const
{
    QReadLocker locker(&m_lock);
    return row >= 0 && row < RowCount && static_cast<bool>(m_handlers.at(row));
}

CVNHidRouteTable::Row CVNHidRouteTable::route(const CVNDeviceRequest& request) const
{
    QReadLocker locker(&m_lock);
    for (int row = 0; row < RowCount; ++row) {
        if (m_handlers.at(row) && matches(static_cast<Row>(row), request))
            return static_cast<Row>(row);
    }
    return RowCount;
}

CVNDeviceReplies CVNHidRouteTable::execute(CVNDeviceHid& device, const CVNDeviceRequest& request) const
{
    CVNDeviceReplies replies;
    if (request.isEmpty())
        return replies;
    const Row row = route(request);
    if (row == RowCount)
        return replies;
    Handler handler;
    {
        QReadLocker locker(&m_lock);
        handler = m_handlers.at(row);
    }
    CVNDeviceRequest reply = handler(device, request);
    // Whatever the exchange did, the reply answers this request.
    reply.id = request.id;
    reply.name = request.name;
    replies.insert(request.id, reply);
    return replies;
}
