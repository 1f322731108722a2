#include "hidcontroller.h"

#include "commandreport.h"
#include "registertable.h"
#include "simlimits.h"

namespace corvanesim {

QByteArray fitReport(const QByteArray& report, int length)
{
    QByteArray out = report.left(length);
    out.append(QByteArray(length - out.size(), '\0'));
    return out;
}

CVNHidController::CVNHidController(CVNRegisterTable* registers)
    : m_registers(registers), m_answer(encodeAnswerReport({}, {}))
{
}

TransferResult CVNHidController::setFeature(const QByteArray& report)
{
    CommandReport command;
    if (!decodeCommandReport(report, &command))
        return TransferResult::fail();
    const QString word = command.wordText();
    const QString value = command.isQuery() ? QString() : command.valueText();
    for (const RawHandler& handler : qAsConst(m_rawHandlers)) {
        RawAnswer raw;
        if (!handler(word, command.block, &raw))
            continue;
        m_answer = encodeAnswerBlock(command.word, raw.field);
        if (m_traffic) {
            const bool asText = raw.loggedValue.isNull() && raw.loggedAnswer.isNull();
            m_traffic(word, asText ? value : raw.loggedValue,
                      asText ? fieldText(m_answer.mid(1 + CommandWordSize)) : raw.loggedAnswer);
        }
        return TransferResult::ok();
    }
    QString answer = m_registers->exchange(word, value);
    if (m_hook)
        answer = m_hook(word, value, answer);
    m_answer = encodeAnswerReport(command.word, answer);
    if (m_traffic)
        m_traffic(word, value, fieldText(m_answer.mid(1 + CommandWordSize)));
    return TransferResult::ok();
}

TransferResult CVNHidController::getFeature(int reportId, int length) const
{
    if (reportId == CommandReportId)
        return TransferResult::ok(fitReport(m_answer, length));
    return TransferResult::fail();
}

TransferResult CVNHidController::getInput(int reportId, int length) const
{
    for (const InputHandler& handler : m_inputHandlers) {
        TransferResult result;
        if (handler(reportId, length, &result))
            return result;
    }
    return TransferResult::fail();
}

}  // namespace corvanesim
