#include "bordersettings.h"

#include "registertable.h"

#include <QStringList>

namespace corvanesim {

namespace {

const QString Sides = QStringLiteral("ltrb");

// The side letter of the first word; a null QChar when it is none.
QChar sideOf(const QStringList& words)
{
    if (words.isEmpty() || words.first().size() != 1 || !Sides.contains(words.first().at(0)))
        return QChar();
    return words.first().at(0);
}

// A number 0..MaxValue; the error answer otherwise.
bool numberOf(const QString& word, int* out, QString* error)
{
    bool ok = false;
    *out = word.toInt(&ok, 10);
    if (!ok)
        *error = QLatin1String(answers::InvalidValue);
    else if (*out < 0 || *out > CVNBorderSettings::MaxValue)
        *error = QLatin1String(answers::OutOfRange);
    return error->isEmpty();
}

}  // namespace

CVNBorderSettings::CVNBorderSettings()
{
    for (const QChar side : Sides) {
        m_snap.insert(side, DefaultSnap);
        m_adjust.insert(side, {NeutralAdjust, NeutralAdjust});
    }
}

QString CVNBorderSettings::snap(const QString& argument)
{
    const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 1 && words.first() == QLatin1String("reset")) {
        for (const QChar side : Sides)
            m_snap.insert(side, DefaultSnap);
        return QStringLiteral("ok");
    }
    const QChar side = sideOf(words);
    if (side.isNull() || words.size() > 2)
        return QLatin1String(answers::InvalidArgument);
    if (words.size() == 2) {
        int value = 0;
        QString error;
        if (!numberOf(words.at(1), &value, &error))
            return error;
        m_snap.insert(side, value);
    }
    return QString::number(m_snap.value(side));
}

QString CVNBorderSettings::adjust(const QString& argument)
{
    const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QChar side = sideOf(words);
    if (side.isNull() || words.size() > 3)
        return QLatin1String(answers::InvalidArgument);
    if (words.size() == 2) {
        if (words.at(1) != QLatin1String("a"))
            return QLatin1String(answers::InvalidArgument);
        m_adjust.insert(side, {NeutralAdjust, NeutralAdjust});
    } else if (words.size() == 3) {
        int x = 0;
        int y = 0;
        QString error;
        if (!numberOf(words.at(1), &x, &error) || !numberOf(words.at(2), &y, &error))
            return error;
        m_adjust.insert(side, {x, y});
    }
    const QPair<int, int> value = m_adjust.value(side);
    return QStringLiteral("%1 %2").arg(value.first).arg(value.second);
}

}  // namespace corvanesim
