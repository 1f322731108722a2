#include "cli/pendingoption.h"

#include <QJsonObject>
#include <QJsonValue>

namespace {
// JSON "dash" numbers: 1 for a short option, anything else for a long one.
constexpr int kJsonShortDash = 1;
constexpr int kJsonLongDash = 2;

// A value is any word that is not an option: no leading "-", or "-" followed
// by a digit (a negative number). A lone "-" is not a value.
bool isValueWord(const QString& word)
{
    if (!word.startsWith(QLatin1Char('-')))
        return true;
    return word.size() > 1 && word.at(1).isDigit();
}

// Splits "-x", "--name" or "--name=value" into a pending option; returns the
// error text for this word (empty when the word is well formed).
QString readOptionWord(const QString& word, CVNPendingOption& option)
{
    QString rest;
    if (word.startsWith(QLatin1String("--"))) {
        option.dash = CVNPendingOption::Long;
        rest = word.mid(2);
    } else if (word.startsWith(QLatin1Char('-'))) {
        option.dash = CVNPendingOption::Short;
        rest = word.mid(1);
    } else {
        return QStringLiteral(" Malformed option.");
    }
    const int equals = rest.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        option.name = rest.left(equals);
        option.values.append(rest.mid(equals + 1));
    } else {
        option.name = rest;
    }
    if (option.name.isEmpty())
        return QStringLiteral(" Empty option.");
    if ((option.dash == CVNPendingOption::Short && option.name.size() > 1)
        || (option.dash == CVNPendingOption::Long && option.name.size() == 1))
        return QStringLiteral(" Malformed dash option.");
    return QString();
}

QJsonArray fileOperationsToJson(const CVNFileTable& table)
{
    QJsonArray array;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        QJsonObject entry;
        entry.insert(QStringLiteral("filename"), it.key());
        entry.insert(QStringLiteral("data"), QString::fromLatin1(it.value().data.toBase64()));
        entry.insert(QStringLiteral("result"), it.value().result);
        if (it.value().kind == CVNFileOperation::Kind::Read)
            entry.insert(QStringLiteral("operation"), QStringLiteral("read"));
        else if (it.value().kind == CVNFileOperation::Kind::Write)
            entry.insert(QStringLiteral("operation"), QStringLiteral("write"));
        array.append(entry);
    }
    return array;
}

CVNFileTable fileOperationsFromJson(const QJsonArray& array)
{
    CVNFileTable table;
    for (const QJsonValue& value : array) {
        const QJsonObject entry = value.toObject();
        CVNFileOperation operation;
        operation.data = QByteArray::fromBase64(entry.value(QStringLiteral("data")).toString().toLatin1());
        operation.result = entry.value(QStringLiteral("result")).toString();
        const QString kind = entry.value(QStringLiteral("operation")).toString();
        if (kind == QLatin1String("read"))
            operation.kind = CVNFileOperation::Kind::Read;
        else if (kind == QLatin1String("write"))
            operation.kind = CVNFileOperation::Kind::Write;
        table.insert(entry.value(QStringLiteral("filename")).toString(), operation);
    }
    return table;
}
}

bool CVNPendingOptionList::parse(const QStringList& arguments)
{
    clear();
    int index = 1;
    while (index < arguments.size() && m_error.isEmpty()) {
        CVNPendingOption option;
        const QString error = readOptionWord(arguments.at(index), option);
        if (error == QLatin1String(" Malformed option.")) {
            m_error += error;
            break;
        }
        ++index;
        if (!error.isEmpty()) {
            // The faulty option is kept so that the caller can show it.
            m_error += error;
            m_options.append(option);
            break;
        }
        while (index < arguments.size() && isValueWord(arguments.at(index)))
            option.values.append(arguments.at(index++));
        m_options.append(option);
    }
    return m_error.isEmpty();
}

QJsonArray CVNPendingOptionList::toJson() const
{
    QJsonArray array;
    for (const CVNPendingOption& option : m_options) {
        QJsonObject object;
        object.insert(QStringLiteral("option"), option.name);
        object.insert(QStringLiteral("dash"),
                      option.dash == CVNPendingOption::Short ? kJsonShortDash : kJsonLongDash);
        object.insert(QStringLiteral("values"), QJsonArray::fromStringList(option.values));
        if (!option.fileOperations.isEmpty())
            object.insert(QStringLiteral("file_operations"), fileOperationsToJson(option.fileOperations));
        array.append(object);
    }
    return array;
}

void CVNPendingOptionList::fromJson(const QJsonArray& array)
{
    clear();
    for (const QJsonValue& value : array) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        CVNPendingOption option;
        option.name = object.value(QStringLiteral("option")).toString();
        option.dash = object.value(QStringLiteral("dash")).toInt() == kJsonShortDash ? CVNPendingOption::Short
                                                                                      : CVNPendingOption::Long;
        for (const QJsonValue& word : object.value(QStringLiteral("values")).toArray())
            option.values.append(word.toString());
        if (object.contains(QStringLiteral("file_operations")))
            option.fileOperations = fileOperationsFromJson(object.value(QStringLiteral("file_operations")).toArray());
        m_options.append(option);
    }
}

QStringList CVNPendingOptionList::names() const
{
    QStringList result;
    for (const CVNPendingOption& option : m_options)
        result.append(option.name);
    return result;
}
