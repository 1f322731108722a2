#include "properties/borderexchanges.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"

#include <QStringList>

namespace
{

const QString kAll = QStringLiteral("all");
const QString kReset = QStringLiteral("reset");
// The order in which sides are asked for and written.
const char* const kLetters[] = {"l", "t", "r", "b"};

// One command; false with the reason when there was no answer or an error.
bool ask(CVNDeviceHid& device, const char* command, const QString& argument, QString* answer, QString* error)
{
    *answer = device.sendCommand(QLatin1String(command), argument, true);
    if (answer->isEmpty() && !device.isOpen()) {
        *error = QStringLiteral("No answer from the controller");
        return false;
    }
    if (CVNHidExchanges::isErrorAnswer(*answer)) {
        *error = *answer;
        return false;
    }
    return true;
}

int integerOf(const QString& answer)
{
    bool ok = false;
    const int number = answer.trimmed().toInt(&ok, 10);
    return ok ? number : 0;
}

// The first two words of an answer (fewer when it has fewer).
QVariantList firstTwoWords(const QString& answer)
{
    QVariantList words;
    for (const QString& word : answer.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(0, 2))
        words.append(word);
    return words;
}

// Index of a side letter in the value order top, right, bottom, left.
int valueIndex(const QString& letter)
{
    static const QStringList order{QStringLiteral("t"), QStringLiteral("r"), QStringLiteral("b"), QStringLiteral("l")};
    return order.indexOf(letter);
}

QString actionOf(const QString& name, const QString& prefix)
{
    const int at = name.indexOf(prefix, 0, Qt::CaseInsensitive);
    return at < 0 ? kAll : name.mid(at + prefix.size()).toLower();
}

CVNDeviceRequest snapAll(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    QVariantList numbers;
    const bool write = request.type == CVNDeviceRequest::Set;
    if (write && !CVNHidExchanges::integersOf(request.value, 4, numbers))
        return request.makeErrorReply(CVNHidExchanges::InvalidArgument);
    QVariantList values{0, 0, 0, 0};
    for (const char* letter : kLetters) {
        const int index = valueIndex(QLatin1String(letter));
        QString argument = QLatin1String(letter);
        if (write)
            argument += QLatin1Char(' ') + QString::number(numbers.at(index).toInt());
        QString answer;
        QString error;
        if (!ask(device, CVNBorderExchanges::SnapCommand, argument, &answer, &error))
            return request.makeErrorReply(error);
        values[index] = integerOf(answer);
    }
    return request.makeReply(values);
}

} // namespace

QString CVNBorderExchanges::sideLetter(const QString& side)
{
    if (side == QLatin1String("top"))
        return QStringLiteral("t");
    if (side == QLatin1String("right"))
        return QStringLiteral("r");
    if (side == QLatin1String("bottom"))
        return QStringLiteral("b");
    if (side == QLatin1String("left"))
        return QStringLiteral("l");
    return QString();
}

CVNDeviceRequest CVNBorderExchanges::edgeSnapping(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const QString action = request.name == QLatin1String(SnapCommand) ? kAll : actionOf(request.name, "tste.");
    const bool write = request.type == CVNDeviceRequest::Set;
    if (action == kAll)
        return snapAll(device, request);
    QString answer;
    QString error;
    if (action == kReset) {
        // Only a write resets; a read must not change the controller.
        if (!write)
            return request.makeErrorReply(CVNHidExchanges::InvalidArgument);
        if (!ask(device, SnapCommand, kReset, &answer, &error))
            return request.makeErrorReply(error);
        return request.makeReply();
    }
    const QString letter = sideLetter(action);
    if (letter.isEmpty())
        return request.makeErrorReply(CVNHidExchanges::InvalidArgument);
    QString argument = letter;
    if (write) {
        QVariantList number;
        if (!CVNHidExchanges::integersOf(QVariantList{request.value}, 1, number))
            return request.makeErrorReply(CVNHidExchanges::InvalidArgument);
        argument += QLatin1Char(' ') + QString::number(number.first().toInt());
    }
    if (!ask(device, SnapCommand, argument, &answer, &error))
        return request.makeErrorReply(error);
    return request.makeReply(integerOf(answer));
}

CVNDeviceRequest CVNBorderExchanges::borderAdjust(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const QString action = actionOf(request.name, QStringLiteral("cba."));
    const bool write = request.type == CVNDeviceRequest::Set;
    QString answer;
    QString error;
    if (action == kAll) {
        if (write)
            return request.makeErrorReply(CVNHidExchanges::InvalidArgument);
        QVector<QVariantList> sides(4);
        for (const char* letter : kLetters) {
            if (!ask(device, AdjustCommand, QLatin1String(letter), &answer, &error))
                return request.makeErrorReply(error);
            sides[valueIndex(QLatin1String(letter))] = firstTwoWords(answer);
        }
        QVariantList texts;
        for (const QVariantList& side : qAsConst(sides))
            texts += side;
        return request.makeReply(texts);
    }
    const QString letter = sideLetter(action);
    if (letter.isEmpty())
        return request.makeErrorReply(CVNHidExchanges::InvalidArgument);
    QString argument = letter;
    if (write) {
        QVariantList pair;
        argument += CVNHidExchanges::integersOf(request.value, 2, pair)
            ? QStringLiteral(" %1 %2").arg(pair.at(0).toInt()).arg(pair.at(1).toInt())
            : QStringLiteral(" a");
    }
    if (!ask(device, AdjustCommand, argument, &answer, &error))
        return request.makeErrorReply(error);
    return request.makeReply(firstTwoWords(answer));
}
