#include "typedregisters.h"

#include "registertable.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace corvanesim {

namespace {

constexpr int MatrixSize = 9;
constexpr int MaxBytesHex = 64;

QStringList wordsOf(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QList<BulkValue> integers(const QString& text)
{
    QList<BulkValue> items;
    for (const QString& word : wordsOf(text))
        items.append(BulkValue::integer(word.toLongLong()));
    return items;
}

bool realsOf(const QString& text, int count, QVector<double>* out)
{
    const QStringList words = wordsOf(text);
    if (words.size() != count)
        return false;
    out->clear();
    for (const QString& word : words) {
        bool ok = false;
        const double d = word.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return false;
        out->append(d);
    }
    return true;
}

QString realText(double d)
{
    return QString::number(d, 'g', 7);
}

}  // namespace

BulkValue typedRegisterValue(const RegisterDef& def, const QString& text)
{
    switch (def.kind) {
    case RegisterKind::Int:
        // The counters the controller keeps by itself are unsigned.
        return BulkValue::integer(text.toLongLong(),
                                  def.source == RegisterSource::Stored ? bulktag::I32 : bulktag::U32);
    case RegisterKind::Pair: {
        const QList<BulkValue> two = integers(text);
        if (two.size() != 2)
            return BulkValue::text(text);
        return BulkValue::pair(bulktag::Point, two[0].ints[0], two[1].ints[0]);
    }
    case RegisterKind::Triple:
        return BulkValue::list(integers(text));
    case RegisterKind::Bool:
        return BulkValue::flag(text == QLatin1String("1"));
    case RegisterKind::Real:
    case RegisterKind::Double:
        return BulkValue::real(text.toFloat());
    case RegisterKind::Matrix: {
        QVector<double> numbers;
        if (!realsOf(text, MatrixSize, &numbers))
            return BulkValue::text(text);
        QVector<float> nine;
        for (double d : numbers)
            nine.append(float(d));
        return BulkValue::matrix(nine);
    }
    case RegisterKind::Bytes:
        return BulkValue::byteArray(QByteArray::fromHex(text.toLatin1()));
    case RegisterKind::Words: {
        QList<BulkValue> items;
        for (const QString& word : wordsOf(text))
            items.append(BulkValue::text(word));
        return BulkValue::list(items);
    }
    case RegisterKind::Text:
    case RegisterKind::Enum:
    case RegisterKind::Function:
        break;
    }
    return BulkValue::text(text);
}

QString registerWords(const RegisterDef& def, const BulkValue& value)
{
    if (def.kind == RegisterKind::Bytes && value.tag == bulktag::Bytes)
        return QString::fromLatin1(value.bytes.toHex());
    return valueWords(value);
}

bool normaliseTypedValue(const RegisterDef& def, const QString& value, QString* stored, QString* error)
{
    *error = QLatin1String(answers::InvalidValue);
    switch (def.kind) {
    case RegisterKind::Real:
    case RegisterKind::Double: {
        QVector<double> number;
        if (!realsOf(value, 1, &number))
            return false;
        if (number[0] < def.minimum || number[0] > def.maximum) {
            *error = QLatin1String(answers::OutOfRange);
            return false;
        }
        *stored = realText(number[0]);
        return true;
    }
    case RegisterKind::Matrix: {
        QVector<double> numbers;
        if (!realsOf(value, MatrixSize, &numbers))
            return false;
        QStringList words;
        for (double d : numbers)
            words.append(realText(d));
        *stored = words.join(QLatin1Char(' '));
        return true;
    }
    case RegisterKind::Bytes: {
        static const QRegularExpression hex(QStringLiteral("^([0-9a-fA-F]{2})+$"));
        if (value.size() > MaxBytesHex || !hex.match(value).hasMatch())
            return false;
        *stored = value.toLower();
        return true;
    }
    case RegisterKind::Words: {
        const QStringList words = wordsOf(value);
        for (const QString& word : words) {
            if (!def.values.contains(word))
                return false;
        }
        if (words.isEmpty())
            return false;
        *stored = words.join(QLatin1Char(' '));
        return true;
    }
    default:
        return false;
    }
}

}  // namespace corvanesim
