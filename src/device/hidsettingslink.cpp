#include "device/hidsettingslink.h"

#include "device/devicehid.h"
#include "device/hidcommandreport.h"

bool CVNHidSettingsLink::Answer::failed() const
{
    return !read || text.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

QString CVNHidSettingsLink::Answer::reason() const
{
    return read ? QStringLiteral("\"%1\"").arg(text) : QStringLiteral("no answer");
}

CVNHidSettingsLink::CVNHidSettingsLink(CVNDeviceHid& device)
    : m_device(device)
{
}

CVNHidSettingsLink::Answer CVNHidSettingsLink::send(const QString& command, const QByteArray& block)
{
    QByteArray argument = block.left(CVNHidCommandReport::ValueSize);
    argument.append(QByteArray(CVNHidCommandReport::ValueSize - argument.size(), '\0'));
    Answer answer;
    answer.read = m_device.sendCommandRaw(command, argument, answer.block, true);
    if (!answer.read)
        answer.block = QByteArray(CVNHidCommandReport::ValueSize, '\0');
    const int end = answer.block.indexOf('\0');
    answer.text = QString::fromLatin1(end < 0 ? answer.block : answer.block.left(end));
    return answer;
}

CVNHidSettingsLink::Answer CVNHidSettingsLink::sendText(const QString& command, const QString& text)
{
    // The last byte stays zero: the device reads the text up to a NUL.
    return send(command, text.toLatin1().left(CVNHidCommandReport::ValueSize - 1));
}
