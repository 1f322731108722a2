#pragma once

#include "interface/deviceproperty.h"

#include <QJsonObject>
#include <QVariant>
#include <QtGlobal>

#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

// The shortest decimal text that reads back as the same float: 3.3f gives
// "3.3", not the digits of its binary approximation as a double.
inline QString shortestFloatText(float value)
{
    char digits[32];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    return end.ec == std::errc() ? QString::fromLatin1(digits, int(end.ptr - digits)) : QString();
}

// The text of a device's answer. A float (as the bulk channel carries it)
// reads as the text the command channel would have sent for it.
inline QString numberReplyText(const QVariant& value)
{
    return value.userType() == QMetaType::Float ? shortestFloatText(value.toFloat()) : value.toString();
}

// Names and conversions of the value types of the number properties.
template <typename T>
struct DeviceNumberTraits;

template <>
struct DeviceNumberTraits<int>
{
    static QString typeName() { return QStringLiteral("int"); }
    // Rounded to nearest; values beyond the type's range saturate.
    static int fromDouble(double value, bool rounded)
    {
        const double whole = rounded ? std::round(value) : std::trunc(value);
        if (whole <= double(std::numeric_limits<int>::min()))
            return std::numeric_limits<int>::min();
        if (whole >= double(std::numeric_limits<int>::max()))
            return std::numeric_limits<int>::max();
        return int(whole);
    }
    static QString text(int value) { return QString::number(value); }
    // An answer with a fraction is no integer: taking it would round it.
    static bool isValue(double number) { return std::trunc(number) == number; }
};

template <>
struct DeviceNumberTraits<float>
{
    static QString typeName() { return QStringLiteral("float"); }
    static float fromDouble(double value, bool rounded)
    {
        (void)rounded;
        const double limit = double(std::numeric_limits<float>::max());
        return float(qBound(-limit, value, limit));
    }
    static QString text(float value) { return shortestFloatText(value); }
    static bool isValue(double number)
    {
        (void)number;
        return true;
    }
};

template <>
struct DeviceNumberTraits<double>
{
    static QString typeName() { return QStringLiteral("double"); }
    static double fromDouble(double value, bool rounded)
    {
        (void)rounded;
        return value;
    }
    static QString text(double value) { return QVariant(value).toString(); }
    static bool isValue(double number)
    {
        (void)number;
        return true;
    }
};

// A number with an optional domain [minimum..maximum] into which every
// stored value is clamped.
template <typename T>
class DevicePropertyNumberTemplate : public DeviceProperty
{
    using Traits = DeviceNumberTraits<T>;

public:
    DevicePropertyNumberTemplate(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                 const QString& command, int accessMode)
        : DeviceProperty(interface, name, description, command, accessMode)
    {
    }

    static QString staticTypeName() { return Traits::typeName(); }
    QString typeName() const override { return staticTypeName(); }

    QString argumentHint() const override
    {
        if (!isWritable())
            return QString();
        if (!m_hasDomain)
            return Traits::typeName();
        return Traits::text(m_minimum) + QLatin1String("..") + Traits::text(m_maximum);
    }

    QJsonObject describe() const override
    {
        QJsonObject object = DeviceProperty::describe();
        if (m_hasDomain)
            object.insert(QStringLiteral("domain"),
                          QStringLiteral("[%1..%2]").arg(Traits::text(m_minimum), Traits::text(m_maximum)));
        return object;
    }

    // The bounds in either order; the cached value is clamped at once.
    void setDomain(double begin, double end)
    {
        const T first = Traits::fromDouble(begin, false);
        const T second = Traits::fromDouble(end, false);
        m_minimum = qMin(first, second);
        m_maximum = qMax(first, second);
        m_hasDomain = true;
        m_value = clamped(m_value);
    }

    bool hasDomain() const { return m_hasDomain; }
    T minimum() const { return m_minimum; }
    T maximum() const { return m_maximum; }
    T cachedValue() const { return m_value; }

protected:
    QString writeWords(const QStringList& words) override
    {
        if (!isWritable())
            return notWritableText();
        T parsed{};
        if (!parse(words.first(), parsed))
            return invalidArgumentText();
        m_value = parsed;
        return QString();
    }

    bool assignJson(const QJsonValue& value) override
    {
        T parsed{};
        if (value.isDouble()) {
            if (!std::isfinite(value.toDouble()))
                return false;
            parsed = clamped(Traits::fromDouble(value.toDouble(), true));
        } else if (!value.isString() || !parse(value.toString(), parsed)) {
            return false;
        }
        m_value = parsed;
        return true;
    }

    // A device answer must be a number (a whole one for int).
    bool acceptsReply(const QVariant& value) const override
    {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(number) && Traits::isValue(number);
    }

    void assignReply(const QVariant& value) override
    {
        bool ok = false;
        const double number = numberReplyText(value).trimmed().toDouble(&ok);
        m_value = clamped(ok && std::isfinite(number) ? Traits::fromDouble(number, true) : T(0));
    }

    QString valueText() const override { return Traits::text(m_value); }
    QJsonValue cachedJson() const override { return QJsonValue(double(m_value)); }
    QVariant requestValue() const override { return QVariant::fromValue(m_value); }

private:
    T clamped(T value) const { return m_hasDomain ? qBound(m_minimum, value, m_maximum) : value; }

    bool parse(const QString& word, T& out) const
    {
        bool ok = false;
        const double number = word.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(number))
            return false;
        out = clamped(Traits::fromDouble(number, true));
        return true;
    }

    T m_value = T(0);
    T m_minimum = T(0);
    T m_maximum = T(0);
    bool m_hasDomain = false;
};

using DevicePropertyInt = DevicePropertyNumberTemplate<int>;
using DevicePropertyFloat = DevicePropertyNumberTemplate<float>;
using DevicePropertyDouble = DevicePropertyNumberTemplate<double>;
