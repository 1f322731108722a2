#include "interface/devicepropertyfirmwareupload.h"

#include "device/dfuupload.h"
#include "interface/deferredresult.h"
#include "interface/deviceinterfacedfu.h"

#include <QJsonObject>

namespace {
bool isFailedRead(const QString& status)
{
    // The client's words for a file it could not read (or, for a file to
    // write, not write).
    return status == QLatin1String("Cannot open file") || status == QLatin1String("Cannot write in file")
        || status == QLatin1String("Cannot write to file");
}
}  // namespace

DevicePropertyFirmwareUpload::DevicePropertyFirmwareUpload(CVNDeviceInterface* interface, const QString& name,
                                                           const QString& description, const QString& command,
                                                           int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QString DevicePropertyFirmwareUpload::execute(CVNEntityContext& context)
{
    if (context.arguments.isEmpty())
        return QStringLiteral("Invalid arguments\n") + argumentHint();
    if (!isWritable())
        return notWritableText();
    // Only the file the user named is asked for and taken.
    const QString path = context.arguments.first();
    if (!context.fileTable.contains(path)) {
        context.fileTable.clear();
        context.fileTable.insert(path, CVNFileOperation());
        return uploadingText();
    }
    const CVNFileOperation operation = context.fileTable.take(path);
    context.fileTable.clear();
    if (isFailedRead(operation.result))
        return operation.result;
    if (operation.data.isEmpty())
        return QStringLiteral("File is empty");
    m_firmware = operation.data;
    if (!startUpload()) {
        // Ended before it began; a caller that waits learns it the same way.
        if (context.canDefer) {
            context.deferred = std::make_shared<CVNDeferredResult>();
            context.deferred->finish(m_lastResult, false);
        }
        return m_lastResult;
    }
    auto* dfu = dynamic_cast<DeviceInterfaceDfu*>(deviceInterface());
    if (context.canDefer) {
        context.deferred = dfu->uploadResult();
        return uploadingText();
    }
    dfu->waitForUpload();
    return m_lastResult;
}

bool DevicePropertyFirmwareUpload::startUpload()
{
    // A device that is gone answers nothing at all.
    m_lastResult = CVNDfuUpload::NoDevice;
    setRequestState(ActionRequested);
    auto* dfu = dynamic_cast<DeviceInterfaceDfu*>(deviceInterface());
    const auto before = dfu ? dfu->uploadResult() : nullptr;
    send();
    // A new result object means an upload began; it may well be over already.
    return dfu && dfu->uploadResult() && dfu->uploadResult() != before;
}

void DevicePropertyFirmwareUpload::setValue(const QJsonValue& value)
{
    if (!isWritable() || !assignJson(value))
        return;
    (void)startUpload();
    refreshDependents();
}

bool DevicePropertyFirmwareUpload::assignJson(const QJsonValue& value)
{
    const QJsonValue data = value.toObject().value(QStringLiteral("data"));
    if (!data.isString())
        return false;
    auto decoded = QByteArray::fromBase64Encoding(data.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || (*decoded).isEmpty())
        return false;
    m_firmware = *decoded;
    return true;
}

QString DevicePropertyFirmwareUpload::writeWords(const QStringList& words)
{
    // Files arrive through the file table, never as words.
    (void)words;
    return invalidArgumentText();
}

CVNDeviceRequest DevicePropertyFirmwareUpload::makeRequest()
{
    CVNDeviceRequest request(CVNDeviceRequest::Set, name(), 0);
    request.value = m_firmware;
    return request;
}

void DevicePropertyFirmwareUpload::handleReply(const CVNDeviceRequest& reply)
{
    if (reply.type != CVNDeviceRequest::Error)
        return;
    m_lastResult = reply.text;
    setRequestState(Idle);
    // Every outcome, success included, arrives this way; those who watch
    // learn that the upload has ended.
    notifyChanged();
}
