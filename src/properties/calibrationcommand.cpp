#include "properties/calibrationcommand.h"

#include "properties/calibrationzone.h"

#include <QVector>

namespace
{

CVNCalibrationCommand invalid(const QString& message)
{
    CVNCalibrationCommand command;
    command.error = message;
    return command;
}

bool isReset(const QString& word)
{
    return word.compare(QLatin1String("reset"), Qt::CaseInsensitive) == 0;
}

// zN with N a base-10 integer (any sign; the range is checked against the
// zones the controller holds).
bool parseZoneWord(const QString& word, int* zone, QString* error)
{
    if (!word.startsWith(QLatin1Char('z'), Qt::CaseInsensitive)) {
        *error = CVNCalibrationCommand::invalidArguments();
        return false;
    }
    bool ok = false;
    *zone = word.mid(1).toInt(&ok, 10);
    if (!ok)
        *error = CVNCalibrationCommand::invalidParameter();
    return ok;
}

CVNCalibrationCommand zoneCommand(const QStringList& words)
{
    CVNCalibrationCommand command;
    if (!parseZoneWord(words.first(), &command.zone, &command.error))
        return command;
    command.zoneNamed = true;
    const QStringList rest = words.mid(1);
    switch (rest.size()) {
    case 0:
        command.kind = CVNCalibrationCommand::Kind::ShowZone;
        return command;
    case 1:
        if (!isReset(rest.first()))
            return invalid(CVNCalibrationCommand::invalidArguments());
        command.kind = CVNCalibrationCommand::Kind::ResetZone;
        return command;
    case 4:
        command.hasRectangle = true;
        break;
    case 9:
        command.hasTransform = true;
        break;
    case 13:
        command.hasTransform = true;
        command.hasRectangle = true;
        break;
    default:
        return invalid(CVNCalibrationCommand::invalidArguments());
    }
    if (command.hasTransform && !CVNCalibrationCommand::parseMatrix(rest.mid(0, 9), &command.transform))
        return invalid(CVNCalibrationCommand::invalidParameter());
    if (command.hasRectangle
        && !CVNCalibrationCommand::parseRectangle(rest.mid(command.hasTransform ? 9 : 0, 4), &command.rectangle))
        return invalid(CVNCalibrationCommand::invalidParameter());
    command.kind = CVNCalibrationCommand::Kind::SetZone;
    return command;
}

} // namespace

bool CVNCalibrationCommand::parseRectangle(const QStringList& words, QRect* rectangle)
{
    if (words.size() != 4)
        return false;
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = words.at(i).toInt(&ok, 10);
        if (!ok)
            return false;
    }
    return CVNCalibrationZone::storableRectangle(numbers[0], numbers[1], numbers[2], numbers[3], rectangle);
}

bool CVNCalibrationCommand::parseMatrix(const QStringList& words, QTransform* transform)
{
    if (words.size() != 9)
        return false;
    QVector<double> entries;
    for (const QString& word : words) {
        bool ok = false;
        entries.append(word.toDouble(&ok));
        if (!ok)
            return false;
    }
    const QTransform parsed = calibrationMatrixFromEntries(entries);
    if (!CVNCalibrationZone::isStorableMatrix(parsed))
        return false;
    *transform = parsed;
    return true;
}

CVNCalibrationCommand CVNCalibrationCommand::parse(const QStringList& words)
{
    CVNCalibrationCommand command;
    switch (words.size()) {
    case 0:
        command.kind = Kind::ShowAll;
        return command;
    case 1:
        if (isReset(words.first())) {
            command.kind = Kind::Reset;
            return command;
        }
        break;
    case 4:
        if (!parseRectangle(words, &command.rectangle))
            return invalid(invalidParameter());
        command.kind = Kind::SetZone;
        command.hasRectangle = true;
        return command;
    case 9:
        if (!parseMatrix(words, &command.transform))
            return invalid(invalidParameter());
        command.kind = Kind::SetZone;
        command.hasTransform = true;
        return command;
    default:
        break;
    }
    return zoneCommand(words);
}
