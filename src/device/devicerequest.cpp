#include "device/devicerequest.h"

CVNDeviceRequest::CVNDeviceRequest()
    : data(DataSize, '\0')
{
}

CVNDeviceRequest::CVNDeviceRequest(quint8 type, const QString& name, quint32 id)
    : type(type)
    , id(id)
    , name(name)
    , data(DataSize, '\0')
{
}

CVNDeviceRequest CVNDeviceRequest::makeReply() const
{
    return CVNDeviceRequest(type, name, id);
}

CVNDeviceRequest CVNDeviceRequest::makeReply(const QVariant& value) const
{
    CVNDeviceRequest reply = makeReply();
    reply.value = value;
    return reply;
}

CVNDeviceRequest CVNDeviceRequest::makeErrorReply(const QString& text) const
{
    CVNDeviceRequest reply(Error, name, id);
    reply.text = text;
    return reply;
}

bool CVNDeviceRequest::operator==(const CVNDeviceRequest& other) const
{
    return type == other.type && id == other.id && name == other.name && text == other.text
        && value == other.value && arguments == other.arguments && data == other.data;
}
