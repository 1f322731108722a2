// The register table of one controller: answers command words the way its
// firmware does (queries, validated writes, function calls, error texts).
#pragma once

#include "registerdef.h"

#include <QHash>
#include <QList>
#include <functional>

namespace corvanesim {

// Where the self-changing words read their values from.
struct LiveSources {
    std::function<qint64()> elapsedMs;  // time since the controller started
    std::function<int()> contactCount;  // fingers on the sensor now
    std::function<int()> contactsBegun;  // fingers put down since start
};

class CVNRegisterTable {
public:
    CVNRegisterTable(const QList<RegisterDef>& defs, LiveSources sources);

    // One command as the firmware performs it: an empty value is a query,
    // anything else a write or a call. Returns the answer text.
    QString exchange(const QString& word, const QString& value);

    // Stores a value as the controller holds it, without validation.
    [[nodiscard]] bool preset(const QString& word, const QString& value, QString* error);
    // The value a query would answer, without performing a command.
    [[nodiscard]] bool value(const QString& word, QString* out) const;

    bool has(const QString& word) const { return m_index.contains(word); }
    const RegisterDef* definition(const QString& word) const;
    QStringList words() const;

private:
    QString write(const RegisterDef& def, const QString& value);
    QString call(const RegisterDef& def, const QString& value) const;
    QString liveValue(const RegisterDef& def) const;

    QList<RegisterDef> m_defs;
    QHash<QString, int> m_index;
    QHash<QString, QString> m_values;
    QHash<QString, bool> m_overridden;  // a preset pins a self-changing word
    LiveSources m_sources;
};

// Error answers; every one contains "error" as a controller's does.
namespace answers {
inline const char* UnknownCommand = "error: unknown command";
inline const char* ReadOnly = "error: read only";
inline const char* OutOfRange = "error: out of range";
inline const char* InvalidValue = "error: invalid value";
inline const char* InvalidArgument = "error: invalid argument";
}  // namespace answers

// Checks a written value against a word's kind and range; on success gives
// the value in the form the controller stores it.
[[nodiscard]] bool normaliseValue(const RegisterDef& def, const QString& value, QString* stored, QString* error);

}  // namespace corvanesim
