#include "registertable.h"

#include "simlimits.h"
#include "typedregisters.h"

namespace corvanesim {

namespace {

constexpr int NominalFrameRate = 120;
constexpr int SensorCycleMs = 5000;

int tupleSize(RegisterKind kind)
{
    switch (kind) {
    case RegisterKind::Pair:
        return 2;
    case RegisterKind::Triple:
        return 3;
    default:
        return 1;
    }
}

bool normaliseNumbers(const RegisterDef& def, const QString& value, QString* stored, QString* error)
{
    const QStringList parts = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != tupleSize(def.kind)) {
        *error = QLatin1String(answers::InvalidValue);
        return false;
    }
    QStringList numbers;
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok) {
            *error = QLatin1String(answers::InvalidValue);
            return false;
        }
        if (n < def.minimum || n > def.maximum) {
            *error = QLatin1String(answers::OutOfRange);
            return false;
        }
        numbers.append(QString::number(n));
    }
    *stored = numbers.join(QLatin1Char(' '));
    return true;
}

}  // namespace

bool normaliseValue(const RegisterDef& def, const QString& value, QString* stored, QString* error)
{
    switch (def.kind) {
    case RegisterKind::Int:
    case RegisterKind::Pair:
    case RegisterKind::Triple:
        return normaliseNumbers(def, value, stored, error);
    case RegisterKind::Bool:
        if (value != QLatin1String("0") && value != QLatin1String("1")) {
            *error = QLatin1String(answers::InvalidValue);
            return false;
        }
        *stored = value;
        return true;
    case RegisterKind::Enum:
        if (!def.values.contains(value)) {
            *error = QLatin1String(answers::InvalidValue);
            return false;
        }
        *stored = value;
        return true;
    case RegisterKind::Text:
    case RegisterKind::Function:
        *stored = value.left(CommandValueSize);
        return true;
    case RegisterKind::Real:
    case RegisterKind::Double:
    case RegisterKind::Matrix:
    case RegisterKind::Bytes:
    case RegisterKind::Words:
        return normaliseTypedValue(def, value, stored, error);
    }
    return false;
}

CVNRegisterTable::CVNRegisterTable(const QList<RegisterDef>& defs, LiveSources sources)
    : m_defs(defs), m_sources(std::move(sources))
{
    for (int i = 0; i < m_defs.size(); ++i) {
        m_index.insert(m_defs[i].word, i);
        m_values.insert(m_defs[i].word, m_defs[i].initial);
    }
}

const RegisterDef* CVNRegisterTable::definition(const QString& word) const
{
    const auto it = m_index.constFind(word);
    return it == m_index.constEnd() ? nullptr : &m_defs[*it];
}

QStringList CVNRegisterTable::words() const
{
    QStringList result;
    for (const RegisterDef& def : m_defs)
        result.append(def.word);
    return result;
}

QString CVNRegisterTable::exchange(const QString& word, const QString& value)
{
    const RegisterDef* def = definition(word);
    if (!def)
        return QLatin1String(answers::UnknownCommand);
    if (def->kind == RegisterKind::Function)
        return call(*def, value);
    if (value.isEmpty()) {
        QString current;
        (void)this->value(word, &current);
        return current;
    }
    if (!def->writable)
        return QLatin1String(answers::ReadOnly);
    return write(*def, value);
}

QString CVNRegisterTable::write(const RegisterDef& def, const QString& value)
{
    QString stored;
    QString error;
    if (!normaliseValue(def, value, &stored, &error))
        return error;
    m_values.insert(def.word, stored);
    m_overridden.insert(def.word, true);
    return stored;
}

QString CVNRegisterTable::call(const RegisterDef& def, const QString& value) const
{
    if (!value.isEmpty() && !def.values.contains(value))
        return QLatin1String(answers::InvalidArgument);
    return m_values.value(def.word);
}

bool CVNRegisterTable::preset(const QString& word, const QString& value, QString* error)
{
    if (!has(word)) {
        *error = QStringLiteral("unknown word \"%1\"").arg(word);
        return false;
    }
    if (value.size() > CommandValueSize) {
        *error = QStringLiteral("value longer than %1 characters").arg(CommandValueSize);
        return false;
    }
    m_values.insert(word, value);
    m_overridden.insert(word, true);
    return true;
}

bool CVNRegisterTable::value(const QString& word, QString* out) const
{
    const RegisterDef* def = definition(word);
    if (!def)
        return false;
    if (def->source != RegisterSource::Stored && !m_overridden.value(word))
        *out = liveValue(*def);
    else
        *out = m_values.value(word);
    return true;
}

QString CVNRegisterTable::liveValue(const RegisterDef& def) const
{
    const qint64 ms = m_sources.elapsedMs ? m_sources.elapsedMs() : 0;
    switch (def.source) {
    case RegisterSource::Uptime:
        return QString::number(ms / 1000);
    case RegisterSource::FrameRate:
        // A little jitter around the nominal rate, as a real scan loop shows.
        return QString::number(NominalFrameRate - 2 + (ms / 700) % 5);
    case RegisterSource::ContactCount:
        return QString::number(m_sources.contactCount ? m_sources.contactCount() : 0);
    case RegisterSource::ContactsBegun:
        return QString::number((m_sources.contactsBegun ? m_sources.contactsBegun() : 0) % (def.maximum + 1));
    case RegisterSource::SensorCycle:
        return QString::number((ms / SensorCycleMs) % (def.maximum + 1));
    case RegisterSource::Stored:
        break;
    }
    return m_values.value(def.word);
}

}  // namespace corvanesim
