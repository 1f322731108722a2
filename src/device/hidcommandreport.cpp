#include "device/hidcommandreport.h"

QByteArray CVNHidCommandReport::makeWithValue(const QString& command, const QByteArray& valueBytes)
{
    QByteArray report(ReportSize, '\0');
    report[0] = static_cast<char>(ReportId);
    const QByteArray word = command.toLocal8Bit().left(CommandSize);
    report.replace(CommandOffset, word.size(), word);
    const QByteArray value = valueBytes.left(ValueSize);
    report.replace(ValueOffset, value.size(), value);
    return report;
}

QByteArray CVNHidCommandReport::make(const QString& command, const QString& value)
{
    return makeWithValue(command, value.toLocal8Bit());
}

QByteArray CVNHidCommandReport::makeRaw(const QString& command, const QByteArray& block)
{
    return makeWithValue(command, block);
}

QByteArray CVNHidCommandReport::answerBuffer()
{
    QByteArray report(ReportSize, '\0');
    report[0] = static_cast<char>(ReportId);
    return report;
}

QString CVNHidCommandReport::answerText(const QByteArray& report)
{
    const QByteArray block = answerBlock(report);
    const int end = block.indexOf('\0');
    return QString::fromLatin1(end < 0 ? block : block.left(end));
}

QByteArray CVNHidCommandReport::answerBlock(const QByteArray& report)
{
    QByteArray block = report.mid(ValueOffset, ValueSize);
    if (block.size() < ValueSize)
        block.append(QByteArray(ValueSize - block.size(), '\0'));
    return block;
}
