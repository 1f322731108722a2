#include "descriptioncheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

namespace descriptions {

namespace {

const QSet<QString> kTypes{
    "FirmwareUpload", "bool", "int", "int32", "float", "double", "Matrix3x3", "String", "string", "(int, int)",
    "(int, int, int)", "ShieldVasta", "ShieldTwinPoint", "ShieldLyn", "BlobRejection", "Enum", "EnumList", "Frame",
    "EnableDisableCells", "DeviceSettings", "GeomCalibration", "Touches", "TouchEntities", "TouchCalibration", "Tuio",
    "ORConfig", "Function", "function", "FoilHealth", "AutoTune", "GridTest", "TuneVasta", "Tste", "Cba", "ByteArray",
    "Alias"};
// Types whose device exchange sends the entity name as the command word.
const QSet<QString> kPlainTypes{"bool", "int", "int32", "float", "double", "Matrix3x3", "String", "string",
                                "(int, int)", "(int, int, int)", "Enum", "EnumList", "ByteArray", "Function",
                                "function"};
const QSet<QString> kAccessWords{"read", "write", "mutable", "read_mutable", "read_write", "read_write_mutable"};
const QSet<QString> kEntityKeys{"type", "name", "description", "command", "access_mode", "arg_exp",
                                "domain", "values", "property", "size", "depends", "symbols_extra"};
// The action family that a composite's sub-command symbols must belong to.
const QHash<QString, QString> kFamilies{
    {"DeviceSettings", "settings"}, {"FoilHealth", "foilh"}, {"Tste", "tste"}, {"Cba", "cba"}};

bool isFunction(const QString& type)
{
    return type == "Function" || type == "function";
}

class Checker {
public:
    explicit Checker(CheckedDescription& out, const QSet<QString>& tolerated) : m_out(out), m_tolerated(tolerated) {}

    void run(const QJsonObject& root)
    {
        for (const QString& key : root.keys()) {
            if (key != "entities" && key != "views")
                problem(QString("unknown top-level key \"%1\"").arg(key));
        }
        if (!root.value("entities").isArray() || !root.value("views").isArray())
            problem("\"entities\" and \"views\" must be arrays");
        readEntities(root.value("entities").toArray());
        checkDuplicates();
        for (const QString& name : qAsConst(m_out.names)) {
            const QJsonObject e = m_out.entities.value(name);
            if (e.contains("depends"))
                checkDepends(name, e.value("depends"));
            if (e.contains("symbols_extra"))
                checkSymbols(name, e.value("type").toString(), e.value("symbols_extra").toObject());
        }
        readViews(root.value("views").toArray());
    }

private:
    void problem(const QString& text) { m_out.problems << text; }

    void readEntities(const QJsonArray& array)
    {
        static const QRegularExpression namePattern("^[a-z][a-z0-9_]*$");
        for (const QJsonValue& value : array) {
            const QJsonObject entity = value.toObject();
            const QString name = entity.value("name").toString();
            if (!namePattern.match(name).hasMatch()) {
                problem(QString("entity with the invalid name \"%1\"").arg(name));
                continue;
            }
            checkEntity(name, entity);
            if (!m_out.declarations.contains(name))
                m_out.names << name;
            m_declarationTypes[name] << entity.value("type").toString();
            m_out.declarations[name] += 1;
            m_out.entities.insert(name, entity);
        }
    }

    void checkEntity(const QString& name, const QJsonObject& e)
    {
        const QString type = e.value("type").toString();
        for (const QString& key : e.keys()) {
            if (!kEntityKeys.contains(key))
                problem(QString("%1: unknown key \"%2\"").arg(name, key));
        }
        if (!kTypes.contains(type))
            problem(QString("%1: unknown type \"%2\"").arg(name, type));
        if (e.value("description").toString().trimmed().isEmpty())
            problem(QString("%1: missing description").arg(name));
        if (kPlainTypes.contains(type) && e.value("command").toString() != name)
            problem(QString("%1: the command of a %2 must equal its name").arg(name, type));
        if (isFunction(type) || type == "Alias") {
            if (e.contains("access_mode"))
                problem(QString("%1: a %2 has no access mode").arg(name, type));
        } else if (!kAccessWords.contains(e.value("access_mode").toString())) {
            problem(QString("%1: missing or unknown access mode").arg(name));
        }
    }

    // A name may be declared twice only as the function-then-read-only-string
    // pair that older clients rely on.
    void checkDuplicates()
    {
        for (auto it = m_declarationTypes.cbegin(); it != m_declarationTypes.cend(); ++it) {
            const bool quirk = it->size() == 2 && isFunction(it->first())
                               && it->last().compare("String", Qt::CaseInsensitive) == 0
                               && m_out.entities.value(it.key()).value("access_mode").toString() == "read";
            if (it->size() > 1 && !quirk)
                problem(QString("%1: declared %2 times").arg(it.key()).arg(it->size()));
        }
    }

    bool namesProperty(const QString& target) const
    {
        return m_out.entities.contains(target) && !isFunction(m_out.entities.value(target).value("type").toString());
    }

    void checkDepends(const QString& name, const QJsonValue& value)
    {
        QSet<QString> seen;
        for (const QJsonValue& v : value.toArray()) {
            const QString target = v.toString();
            if (!namesProperty(target))
                problem(QString("%1: depends on \"%2\", which is no property here").arg(name, target));
            if (target == name || seen.contains(target))
                problem(QString("%1: depends lists \"%2\" twice or itself").arg(name, target));
            seen.insert(target);
        }
    }

    void checkSymbols(const QString& name, const QString& type, const QJsonObject& symbols)
    {
        for (auto it = symbols.constBegin(); it != symbols.constEnd(); ++it) {
            const QString target = it.value().toString();
            if (!target.contains('.') && !namesProperty(target))
                problem(QString("%1: symbol %2 names \"%3\", which is no property here").arg(name, it.key(), target));
            else if (target.contains('.') && target != kFamilies.value(type) + '.' + it.key())
                problem(QString("%1: symbol %2 has the foreign sub-command \"%3\"").arg(name, it.key(), target));
        }
    }

    void readViews(const QJsonArray& array)
    {
        for (const QJsonValue& v : array) {
            const QJsonObject view = v.toObject();
            const QString name = view.value("name").toString();
            QStringList listed;
            for (const QJsonValue& entry : view.value("entities").toArray()) {
                if (!m_out.entities.contains(entry.toString()) && !m_tolerated.contains(entry.toString()))
                    problem(QString("view %1 names the unknown entity \"%2\"").arg(name, entry.toString()));
                listed << entry.toString();
            }
            if (name.isEmpty() || m_out.views.contains(name) || listed.removeDuplicates() > 0)
                problem(QString("view \"%1\": needs a unique name and distinct entries").arg(name));
            m_out.views.insert(name, listed);
        }
        for (const char* required : {"basic", "corvane_link"}) {
            if (!m_out.views.contains(required))
                problem(QString("view \"%1\" is missing").arg(required));
        }
        if (m_out.views.contains("advanced") && m_out.views.value("advanced") != m_out.names)
            problem("view advanced must list every entity once, in file order");
    }

    CheckedDescription& m_out;
    const QSet<QString>& m_tolerated;
    QHash<QString, QStringList> m_declarationTypes;
};

}  // namespace

CheckedDescription checkDescription(const QByteArray& json, const QSet<QString>& toleratedViewNames)
{
    CheckedDescription out;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        out.problems << QString("not a JSON object: %1").arg(error.errorString());
    else
        Checker(out, toleratedViewNames).run(document.object());
    return out;
}

int builtViewSize(const CheckedDescription& description, const QString& view)
{
    QSet<QString> held;
    for (const QString& name : description.views.value(view)) {
        if (description.entities.contains(name))
            held.insert(name);
    }
    return held.size();
}

}  // namespace descriptions
