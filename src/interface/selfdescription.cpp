#include "interface/selfdescription.h"

#include "interface/devicefunction.h"
#include "interface/deviceinterfacebulk.h"
#include "interface/jsontextkeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

const QString CVNSelfDescription::FunctionName = QStringLiteral("metadata");

namespace
{

const QString View = QStringLiteral("view");
const QString All = QStringLiteral("all");

class Conversation
{
public:
    Conversation(const CVNSelfDescription::Call& call, QString* error)
        : m_call(call)
        , m_error(error)
    {
    }

    // The answer to the arguments as an object (may be empty).
    bool ask(const QStringList& arguments, QJsonObject* object)
    {
        QString answer;
        QString why;
        if (!m_call(arguments, &answer, &why))
            return fail(arguments, why.isEmpty() ? QStringLiteral("no answer") : why);
        m_total += answer.size();
        if (m_total > CVNSelfDescription::MaxTotalBytes)
            return fail(
                arguments, QStringLiteral("answers exceed %1 bytes").arg(CVNSelfDescription::MaxTotalBytes));
        const QByteArray text = answer.toUtf8();
        if (CVNJsonTextKeys::hasDuplicateKey(text))
            return fail(arguments, QStringLiteral("answer names a key twice"));
        QJsonParseError parse;
        const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
        if (parse.error != QJsonParseError::NoError)
            return fail(arguments, QStringLiteral("answer is not JSON (%1)").arg(parse.errorString()));
        if (!document.isObject())
            return fail(arguments, QStringLiteral("answer is not an object"));
        *object = document.object();
        return true;
    }

    // The names listed under key: an array of non-empty texts.
    bool names(const QStringList& arguments, const QJsonObject& object, const QString& key, int limit,
        QStringList* out)
    {
        const QJsonValue value = object.value(key);
        if (!value.isArray())
            return fail(arguments, QStringLiteral("\"%1\" is not a list").arg(key));
        const QJsonArray array = value.toArray();
        if (array.size() > limit)
            return fail(arguments, QStringLiteral("\"%1\" lists more than %2 names").arg(key).arg(limit));
        QStringList result;
        for (const QJsonValue& element : array) {
            if (!element.isString() || element.toString().isEmpty())
                return fail(arguments, QStringLiteral("\"%1\" holds something that is not a name").arg(key));
            if (!result.contains(element.toString()))
                result.append(element.toString());
        }
        *out = result;
        return true;
    }

    bool fail(const QStringList& arguments, const QString& why)
    {
        *m_error = QStringLiteral("%1 [%2]: %3")
                       .arg(CVNSelfDescription::FunctionName, arguments.join(QStringLiteral(", ")), why);
        return false;
    }

private:
    const CVNSelfDescription::Call& m_call;
    QString* m_error;
    qint64 m_total = 0;
};

bool collectEntities(Conversation& talk, const QStringList& names, QJsonArray* entities)
{
    for (const QString& name : names) {
        const QStringList arguments { name };
        QJsonObject entity;
        if (!talk.ask(arguments, &entity))
            return false;
        if (entity.isEmpty())
            return talk.fail(arguments, QStringLiteral("empty answer"));
        if (entity.value(QStringLiteral("name")).toString() != name)
            return talk.fail(arguments, QStringLiteral("answer describes another entity"));
        entities->append(entity);
    }
    return true;
}

bool collectViews(Conversation& talk, const QJsonObject& all, QJsonArray* views)
{
    const QStringList listArguments { View, QStringLiteral("list") };
    QJsonObject list;
    QStringList names;
    if (!talk.ask(listArguments, &list)
        || !talk.names(listArguments, list, QStringLiteral("list"), CVNSelfDescription::MaxViews, &names))
        return false;
    views->append(all);
    for (const QString& name : qAsConst(names)) {
        if (name == All)
            continue;
        const QStringList arguments { View, name };
        QJsonObject view;
        QStringList members;
        if (!talk.ask(arguments, &view))
            return false;
        if (view.isEmpty())
            continue;
        if (!view.value(QStringLiteral("name")).isString())
            return talk.fail(arguments, QStringLiteral("answer is not a view"));
        if (!talk.names(
                arguments, view, QStringLiteral("entities"), CVNSelfDescription::MaxEntities, &members))
            return false;
        views->append(view);
    }
    return true;
}

} // namespace

bool CVNSelfDescription::describe(const Call& call, QJsonObject* description, QString* error)
{
    Conversation talk(call, error);
    const QStringList allArguments { View, All };
    QJsonObject all;
    QStringList names;
    if (!talk.ask(allArguments, &all))
        return false;
    if (all.isEmpty())
        return talk.fail(allArguments, QStringLiteral("empty answer"));
    if (!talk.names(allArguments, all, QStringLiteral("entities"), MaxEntities, &names))
        return false;

    QJsonArray entities;
    QJsonArray views;
    if (!collectEntities(talk, names, &entities))
        return false;
    if (!entities.isEmpty() && !collectViews(talk, all, &views))
        return false;
    *description
        = QJsonObject { { QStringLiteral("entities"), entities }, { QStringLiteral("views"), views } };
    return true;
}

bool CVNSelfDescription::describe(CVNDevice* device, QJsonObject* description, QString* error)
{
    CVNDeviceInterfaceBulk channel(device);
    DeviceFunction metadata(&channel, FunctionName, QString(), QString(), QString());
    const Call call = [&metadata](const QStringList& arguments, QString* answer, QString* why) {
        metadata.call(QJsonArray::fromStringList(arguments));
        if (!metadata.lastError().isEmpty()) {
            *why = metadata.lastError();
            return false;
        }
        if (metadata.requestState() != DeviceFunction::ResultReceived) {
            *why = QStringLiteral("no answer");
            return false;
        }
        const QVariant result = metadata.resultValue();
        if (result.userType() != QMetaType::QString) {
            *why = QStringLiteral("answer is not a text");
            return false;
        }
        *answer = result.toString();
        return true;
    };
    return describe(call, description, error);
}
