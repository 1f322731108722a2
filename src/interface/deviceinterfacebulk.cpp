#include "interface/deviceinterfacebulk.h"

#include "device/devicebulk.h"
#include "interface/bulkrecord.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/interfacelog.h"
#include "interface/qtdatastream.h"
#include "interface/selfdescription.h"

const QString CVNDeviceInterfaceBulk::NoReply = QStringLiteral("No reply from the controller");
const QString CVNDeviceInterfaceBulk::MalformedReply = QStringLiteral("Malformed reply: ");
const QString CVNDeviceInterfaceBulk::ExchangeFailed = QStringLiteral("Bulk exchange failed: ");

CVNDeviceInterfaceBulk::CVNDeviceInterfaceBulk(CVNDevice* device)
    : CVNDeviceInterface(QStringLiteral("root"), device)
{
}

CVNDeviceReplies CVNDeviceInterfaceBulk::readReplies(const QByteArray& message, QString* fault)
{
    CVNDeviceReplies replies;
    fault->clear();
    QByteArray buffer = message;
    CVNQtDataStream stream(&buffer);
    while (!stream.atEnd()) {
        quint8 typeByte = 0;
        const CVNDeviceRequest record = CVNBulkRecord::read(stream, &typeByte);
        if (stream.status() != CVNQtDataStream::Ok) {
            *fault = stream.statusText();
            break;
        }
        if (record.type == CVNDeviceRequest::None) {
            // A zero type byte is how a message may end; any other is a fault.
            if (typeByte != CVNDeviceRequest::None)
                *fault = QStringLiteral("%1 %2").arg(record.text).arg(typeByte);
            break;
        }
        replies.insert(record.id, record);
    }
    return replies;
}

CVNDeviceReplies CVNDeviceInterfaceBulk::execute(const CVNDeviceRequest& request)
{
    auto* bulk = qobject_cast<CVNDeviceBulk*>(device());
    if (!bulk || request.isEmpty())
        return CVNDeviceReplies();

    CVNQtDataStream output(&m_output);
    CVNBulkRecord::write(output, request);
    QString error;
    const bool exchanged = bulk->exchange(m_output, &m_input, &error);
    m_output.clear();
    if (!exchanged) {
        m_input.clear();
        // A controller that stopped answering is dropped; its requests stay
        // without reply like those of every channel that failed for good.
        if (!bulk->isOpen())
            return CVNDeviceReplies();
        qCWarning(lcInterface) << "bulk exchange failed:" << error;
        return { { request.id, request.makeErrorReply(ExchangeFailed + error) } };
    }

    QString fault;
    CVNDeviceReplies replies = readReplies(m_input, &fault);
    m_input.clear();
    if (!fault.isEmpty())
        qCWarning(lcInterface) << "malformed bulk reply to" << request.name << ":" << fault;
    if (!replies.contains(request.id))
        replies.insert(request.id, request.makeErrorReply(fault.isEmpty() ? NoReply : MalformedReply + fault));
    return replies;
}

CVNDeviceInterface* buildBulkInterface(const DeviceInterfaceBuilder& builder, CVNDevice* device)
{
    QJsonObject description;
    const QStringList keys
        = DeviceInterfaceBuilder::bulkResourceKeys(device->productType(), device->firmwareVersion());
    // An unreadable or invalid file counts as none: the controller says itself.
    if (!DeviceInterfaceBuilder::findDescription(keys, &description) || description.isEmpty()) {
        QString error;
        if (!CVNSelfDescription::describe(device, &description, &error)) {
            qCWarning(lcInterface) << "no self-description from" << device->serialNumber() << ":" << error;
            return nullptr;
        }
    }
    auto* interface = new CVNDeviceInterfaceBulk(device);
    if (!builder.populate(interface, description, true)) {
        delete interface;
        return nullptr;
    }
    return interface;
}
