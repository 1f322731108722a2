#include "device/hidexchanges.h"

#include "device/devicehid.h"
#include "device/hidtouchreports.h"

#include <QPoint>
#include <QSize>
#include <QStringList>

const QString CVNHidExchanges::UnknownResult = QStringLiteral("Unknown result");
const QString CVNHidExchanges::InvalidArgument = QStringLiteral("Invalid argument");
const QString CVNHidExchanges::TransferFailed = QStringLiteral("error: transfer failed");

namespace
{

QString argumentsText(const QVariantList& arguments)
{
    QStringList parts;
    for (const QVariant& argument : arguments)
        parts.append(argument.toString());
    return parts.join(QLatin1Char(' '));
}

bool toInteger(const QVariant& value, int& out)
{
    bool ok = false;
    if (value.userType() == QMetaType::QString)
        out = value.toString().trimmed().toInt(&ok);
    else if (value.canConvert<int>())
        out = value.toInt(&ok);
    return ok;
}

} // namespace

QString CVNHidExchanges::valueText(const CVNDeviceRequest& request)
{
    switch (request.type) {
    case CVNDeviceRequest::Set:
        return request.value.toString();
    case CVNDeviceRequest::Call:
        return argumentsText(request.arguments);
    default:
        return QString();
    }
}

bool CVNHidExchanges::isErrorAnswer(const QString& answer)
{
    return answer.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

CVNDeviceRequest CVNHidExchanges::answered(CVNDeviceHid& device, const CVNDeviceRequest& request, const QString& value)
{
    QString answer;
    if (!device.exchangeCommand(request.name, value, answer))
        return request.makeErrorReply(TransferFailed);
    if (isErrorAnswer(answer))
        return request.makeErrorReply(answer);
    return request.makeReply(answer);
}

CVNDeviceRequest CVNHidExchanges::generic(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    return answered(device, request, valueText(request));
}

CVNDeviceRequest CVNHidExchanges::gain(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    CVNDeviceRequest reply = generic(device, request);
    if (reply.type != CVNDeviceRequest::Error)
        reply.value = reply.value.toString().section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    return reply;
}

CVNDeviceRequest CVNHidExchanges::function(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    return answered(device, request, argumentsText(request.arguments));
}

CVNDeviceRequest CVNHidExchanges::boolean(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    QString text;
    if (request.type == CVNDeviceRequest::Set)
        text = request.value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    CVNDeviceRequest reply = answered(device, request, text);
    if (reply.type != CVNDeviceRequest::Error)
        reply.value = reply.value.toString() == QLatin1String("1");
    return reply;
}

bool CVNHidExchanges::integersOf(const QVariant& value, int count, QVariantList& numbers)
{
    QVariantList items;
    switch (value.userType()) {
    case QMetaType::QPoint:
        items = { value.toPoint().x(), value.toPoint().y() };
        break;
    case QMetaType::QSize:
        items = { value.toSize().width(), value.toSize().height() };
        break;
    case QMetaType::QString: {
        for (const QString& part : value.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            items.append(part);
        break;
    }
    default:
        items = value.toList();
        break;
    }
    if (items.size() != count)
        return false;
    numbers.clear();
    for (const QVariant& item : qAsConst(items)) {
        int number = 0;
        if (!toInteger(item, number))
            return false;
        numbers.append(number);
    }
    return true;
}

CVNDeviceRequest CVNHidExchanges::integers(CVNDeviceHid& device, const CVNDeviceRequest& request, int count)
{
    QString text;
    if (request.type == CVNDeviceRequest::Set) {
        QVariantList numbers;
        // Nothing goes to the device for a value that is not `count` integers.
        if (!integersOf(request.value, count, numbers))
            return request.makeErrorReply(InvalidArgument);
        text = argumentsText(numbers);
    }
    CVNDeviceRequest answer = answered(device, request, text);
    if (answer.type == CVNDeviceRequest::Error)
        return answer;
    QVariantList numbers;
    if (!integersOf(answer.value.toString(), count, numbers))
        return request.makeErrorReply(UnknownResult);
    return request.makeReply(numbers);
}

CVNDeviceRequest CVNHidExchanges::touches(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    QByteArray block;
    // A frame not read whole is no frame: the touch stream keeps what it has.
    if (!CVNHidTouchReports::read(device, &block))
        return request.makeErrorReply(QStringLiteral("Touch reports not read"));
    return request.makeReply(block);
}
