#include "com/comconnection.h"

#include "com/binaryjson.h"

CVNComConnection::CVNComConnection(const HostEndpoint& endpoint, QObject* parent)
    : QObject(parent)
    , m_endpoint(endpoint)
{
}

CVNComConnection::~CVNComConnection() = default;

qint64 CVNComConnection::writeDocument(const QJsonObject& object)
{
    return write(CVNBinaryJson::encodeDocument(object), 0);
}

qint64 CVNComConnection::writeDocument(const QJsonDocument& document)
{
    return write(CVNBinaryJson::encodeDocument(document), 0);
}

void CVNComConnection::setTypes(ConnectionType localType, ConnectionType peerType)
{
    m_localType = localType;
    m_peerType = peerType;
    emit connectionTypeChanged();
}

void CVNComConnection::setIdPair(const QString& serviceId, const QString& clientId)
{
    m_idPair = IdPair(serviceId, clientId);
}
