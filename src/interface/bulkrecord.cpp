#include "interface/bulkrecord.h"

#include "interface/qtdatastream.h"

const QString CVNBulkRecord::UnknownType = QStringLiteral("Unknown type");

void CVNBulkRecord::write(CVNQtDataStream& stream, const CVNDeviceRequest& request)
{
    if (request.type == CVNDeviceRequest::None)
        return;
    stream.writeUInt8(request.type);
    stream.writeUInt32(request.id);
    stream.writeText(request.name);
    switch (request.type) {
    case CVNDeviceRequest::Set:
        stream.writeVariant(request.value);
        break;
    case CVNDeviceRequest::Call:
        stream.writeVariantList(request.arguments);
        break;
    case CVNDeviceRequest::Error:
        stream.writeText(request.text);
        break;
    case CVNDeviceRequest::Data:
        stream.writeRaw(request.data);
        break;
    default:
        break;
    }
}

CVNDeviceRequest CVNBulkRecord::read(CVNQtDataStream& stream, quint8* typeByte)
{
    CVNDeviceRequest record;
    const quint8 type = stream.readUInt8();
    if (typeByte)
        *typeByte = type;
    if (stream.status() != CVNQtDataStream::Ok)
        return record;
    if (type < CVNDeviceRequest::Get || type > CVNDeviceRequest::Data) {
        record.text = UnknownType;
        return record;
    }
    record.type = type;
    record.id = stream.readUInt32();
    record.name = stream.readText();
    switch (type) {
    case CVNDeviceRequest::Get:
    case CVNDeviceRequest::Set:
    case CVNDeviceRequest::Call:
        record.value = stream.readVariant();
        break;
    case CVNDeviceRequest::Error:
        record.text = stream.readText();
        break;
    case CVNDeviceRequest::Data:
        record.data = stream.readRaw(CVNDeviceRequest::DataSize);
        break;
    default:
        break;
    }
    // The rest of a cut record counts as missing: nothing of it is used.
    if (stream.status() != CVNQtDataStream::Ok)
        return CVNDeviceRequest();
    return record;
}
