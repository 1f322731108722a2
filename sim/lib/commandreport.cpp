#include "commandreport.h"

#include "simlimits.h"

namespace corvanesim {

QString fieldText(const QByteArray& field)
{
    const int end = field.indexOf('\0');
    return QString::fromLatin1(end < 0 ? field : field.left(end));
}

QString CommandReport::wordText() const
{
    return fieldText(word);
}

QString CommandReport::valueText() const
{
    return fieldText(block);
}

bool CommandReport::isQuery() const
{
    return block.count('\0') == block.size();
}

bool decodeCommandReport(const QByteArray& report, CommandReport* command)
{
    if (report.size() < 2 || report.size() > CommandReportSize || quint8(report[0]) != CommandReportId)
        return false;
    QByteArray padded = report;
    padded.append(QByteArray(CommandReportSize - report.size(), '\0'));
    command->word = padded.mid(1, CommandWordSize);
    command->block = padded.mid(1 + CommandWordSize, CommandValueSize);
    return true;
}

QByteArray encodeAnswerReport(const QByteArray& word, const QString& answer)
{
    return encodeAnswerBlock(word, answer.toLatin1());
}

QByteArray encodeAnswerBlock(const QByteArray& word, const QByteArray& block)
{
    QByteArray report(CommandReportSize, '\0');
    report[0] = char(CommandReportId);
    const QByteArray w = word.left(CommandWordSize);
    report.replace(1, w.size(), w);
    const QByteArray value = block.left(CommandValueSize);
    report.replace(1 + CommandWordSize, value.size(), value);
    return report;
}

}  // namespace corvanesim
