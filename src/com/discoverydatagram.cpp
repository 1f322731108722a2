#include "com/discoverydatagram.h"

#include "com/binaryjson.h"
#include "com/comlimits.h"

#include <QJsonObject>
#include <QJsonValue>

namespace {
const QString kKeyFrameType = QStringLiteral("frame_type");
const QString kKeyServerPort = QStringLiteral("server_port");
const QString kKeyType = QStringLiteral("type");
const QString kKeyId = QStringLiteral("id");
const QString kKeyCommunicationPort = QStringLiteral("communication_port");

QJsonObject baseObject(const char* frameType, quint16 serverPort, ConnectionType type, const QString& id)
{
    QJsonObject object;
    object.insert(kKeyFrameType, QLatin1String(frameType));
    object.insert(kKeyServerPort, int(serverPort));
    object.insert(kKeyType, connectionTypeToText(type));
    object.insert(kKeyId, id);
    return object;
}
} // namespace

QByteArray DiscoveryDatagram::buildDiscovery(quint16 serverPort, ConnectionType type, const QString& id)
{
    return CVNBinaryJson::encodeDocument(baseObject(kFrameDiscovery, serverPort, type, id));
}

QByteArray DiscoveryDatagram::buildConnectionInfo(quint16 serverPort, ConnectionType type, const QString& id,
                                                  quint16 communicationPort)
{
    QJsonObject object = baseObject(kFrameConnectionInfo, serverPort, type, id);
    object.insert(kKeyCommunicationPort, int(communicationPort));
    return CVNBinaryJson::encodeDocument(object);
}

bool acceptsPeerType(ConnectionType own, ConnectionType peer)
{
    if (own == Service)
        return isClientConnectionType(peer);
    if (isClientConnectionType(own))
        return peer == Service;
    return false;
}

std::optional<DiscoveryDatagram> DiscoveryDatagram::accept(const QByteArray& data, ConnectionType ownType,
                                                           const QString& ownId)
{
    if (data.size() > CVNComLimits::kMaxDatagramSize)
        return std::nullopt;
    QJsonObject object;
    if (!CVNBinaryJson::decodeObject(data, CVNComLimits::kDatagramLimits, &object))
        return std::nullopt;

    DiscoveryDatagram datagram;
    datagram.type = connectionTypeFromText(object.value(kKeyType).toString());
    if (!acceptsPeerType(ownType, datagram.type))
        return std::nullopt;
    const QJsonValue id = object.value(kKeyId);
    if (!id.isString() || id.toString().isEmpty() || id.toString() == ownId)
        return std::nullopt;
    datagram.id = id.toString();

    datagram.frameType = object.value(kKeyFrameType).toString();
    datagram.hasServerPort = object.contains(kKeyServerPort);
    datagram.serverPort = object.value(kKeyServerPort).toInt(0);
    datagram.communicationPort = object.value(kKeyCommunicationPort).toInt(0);
    return datagram;
}
