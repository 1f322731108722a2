#include "calibrationcommands.h"

#include "commandreport.h"
#include "registercatalog.h"
#include "registertable.h"

namespace corvanesim {

namespace {

constexpr quint16 TwinPoint = 12;
constexpr quint16 BorderRelease = 0x0204;
constexpr quint16 TwinPointAdjustRelease = 0x0205;

QSize logicalSizeOf(const CVNRegisterTable* registers)
{
    QString text;
    if (!registers->value(QStringLiteral("flogs"), &text))
        return QSize(4095, 4095);
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return QSize(parts.value(0).toInt(), parts.value(1).toInt());
}

QByteArray textField(const QString& text)
{
    return text.toLatin1().leftJustified(CVNCalibrationZones::BlockSize, '\0', true);
}

}  // namespace

CVNCalibrationCommands::CVNCalibrationCommands(quint16 productId, quint16 release, const CVNRegisterTable* registers)
    : m_productId(productId), m_release(release),
      m_zones([registers] { return logicalSizeOf(registers); })
{
}

bool CVNCalibrationCommands::perform(const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer)
{
    const bool zones = m_release >= FullCommandSetRelease;
    const bool snap = m_release >= BorderRelease;
    const bool adjust = m_release >= (m_productId == TwinPoint ? TwinPointAdjustRelease : BorderRelease);
    const QString argument = fieldText(block);
    QString text;
    if (zones && word == QLatin1String("cmatrix")) {
        // Blocks go to the traffic log as hex: they are binary.
        answer->field = m_zones.matrix(block);
        answer->loggedValue = QString::fromLatin1(block.toHex());
        answer->loggedAnswer = QString::fromLatin1(answer->field.toHex());
        return true;
    }
    if (zones && word == QLatin1String("cclear"))
        text = m_zones.clear(argument);
    else if (snap && word == QLatin1String("tste"))
        text = m_borders.snap(argument);
    else if (adjust && word == QLatin1String("cba"))
        text = m_borders.adjust(argument);
    else
        return false;
    answer->field = textField(text);
    answer->loggedValue = argument;
    answer->loggedAnswer = text;
    return true;
}

}  // namespace corvanesim
