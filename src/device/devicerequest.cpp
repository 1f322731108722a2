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

bool CVNDeviceRequest::operator==(const CVNDeviceRequest& other) const
{
    return type == other.type && id == other.id && name == other.name && text == other.text
        && value == other.value && arguments == other.arguments && data == other.data;
}
