#include "interface/devicefunction.h"

#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/deviceproperty.h"
#include "interface/interfacelog.h"

#include <QJsonArray>

namespace {
bool hasFileArguments(const QString& argumentText)
{
    return argumentText.startsWith(QLatin1String("file"), Qt::CaseInsensitive);
}
}  // namespace

DeviceFunction::DeviceFunction(CVNDeviceInterface* interface, const QString& name, const QString& command,
                               const QString& description, const QString& argumentText)
    : CVNFunction(name, description, command, argumentText)
    , m_interface(interface)
{
}

bool DeviceFunction::isFileUpload() const
{
    return hasFileArguments(argumentText()) && name().endsWith(QLatin1String("upload"));
}

bool DeviceFunction::isFileDownload() const
{
    return hasFileArguments(argumentText()) && name().endsWith(QLatin1String("download"));
}

QString DeviceFunction::execute(CVNEntityContext& context)
{
    m_arguments.clear();
    m_result = QVariant();
    if (isFileUpload())
        return executeUpload(context);
    if (isFileDownload())
        return executeDownload(context);
    return executePlain(context);
}

QString DeviceFunction::executePlain(CVNEntityContext& context)
{
    for (const QString& word : context.arguments)
        m_arguments.append(word);
    if (!sendCall()) {
        context.failed = true;
        return m_lastError;
    }
    return m_result.toString();
}

QString DeviceFunction::executeUpload(CVNEntityContext& context)
{
    context.failed = true; // until the file went to the device
    if (context.arguments.isEmpty())
        return QStringLiteral("File name is missing");
    const QString path = context.arguments.first();
    if (!context.fileTable.contains(path)) {
        // The client reads the file and repeats the command.
        CVNFileOperation request;
        request.kind = CVNFileOperation::Kind::Read;
        context.fileTable.insert(path, request);
        context.failed = false;
        return QString();
    }
    // Taken out so that the repeated command is not asked for the file again.
    const CVNFileOperation operation = context.fileTable.take(path);
    if (operation.result == QLatin1String("Cannot open file")
        || operation.result == QLatin1String("Cannot write in file"))
        return operation.result;
    if (operation.data.isEmpty())
        return QStringLiteral("File is empty");
    m_arguments.append(operation.data);
    if (!sendCall())
        return m_lastError;
    context.failed = false;
    return QStringLiteral("File uploaded");
}

QString DeviceFunction::executeDownload(CVNEntityContext& context)
{
    if (context.arguments.isEmpty()) {
        context.failed = true;
        return QStringLiteral("File name is missing");
    }
    const QString path = context.arguments.first();
    if (context.fileTable.contains(path)) {
        const CVNFileOperation report = context.fileTable.take(path);
        context.failed = report.result != QLatin1String("File write successful");
        return report.result + QLatin1String(" to ") + path;
    }
    if (!sendCall()) {
        context.failed = true;
        return m_lastError;
    }
    // Written as it is, empty contents included.
    CVNFileOperation operation;
    operation.kind = CVNFileOperation::Kind::Write;
    operation.data = m_result.toByteArray();
    context.fileTable.insert(path, operation);
    return QStringLiteral("Downloading File");
}

void DeviceFunction::call(const QJsonValue& arguments)
{
    m_arguments.clear();
    m_result = QVariant();
    const QJsonArray array = arguments.toArray();
    if (isFileUpload() && array.size() == 1 && array.first().isString())
        m_arguments.append(QByteArray::fromBase64(array.first().toString().toLatin1()));
    else
        m_arguments = array.toVariantList();
    sendCall();
}

QJsonValue DeviceFunction::result() const
{
    if (isFileDownload())
        return QString::fromLatin1(m_result.toByteArray().toBase64());
    return QJsonValue::fromVariant(m_result);
}

CVNDeviceRequest DeviceFunction::makeRequest()
{
    if (m_requestState == ResultReceived)
        return CVNDeviceRequest();
    CVNDeviceRequest request(CVNDeviceRequest::Call, name(), 0);
    request.arguments = m_arguments;
    return request;
}

void DeviceFunction::handleReply(const CVNDeviceRequest& reply)
{
    switch (reply.type) {
    case CVNDeviceRequest::Call:
        m_lastError.clear();
        m_requestState = ResultReceived;
        m_result = reply.value;
        break;
    case CVNDeviceRequest::Error:
        m_lastError = reply.text;
        qCDebug(lcInterface) << reply.text;
        break;
    default:
        break;
    }
}

bool DeviceFunction::sendCall()
{
    m_lastError.clear();
    m_requestState = CallRequested;
    const CVNDevice* device = m_interface ? m_interface->device() : nullptr;
    if (!device || !device->isOpen()) {
        // Nothing would reach the device: no result is no answer.
        m_lastError = DeviceProperty::deviceNotOpenText();
        return false;
    }
    send();
    return m_lastError.isEmpty();
}

void DeviceFunction::send()
{
    if (m_interface)
        m_interface->sendFunction(this);
}
