#include "descriptioncheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>

namespace descriptions {

namespace {

// Domains outside this range are typing errors, not sensor settings.
constexpr double kDomainLowest = -65535;
constexpr double kDomainHighest = 65535;
// Shorter texts cannot say what an entity is.
constexpr int kMinDescriptionLength = 12;
// Largest frame grid that a controller reports.
constexpr int kMaxFrameSide = 1024;

const QSet<QString>& knownTypes()
{
    static const QSet<QString> types{
        "FirmwareUpload", "bool", "int", "int32", "float", "double", "Matrix3x3", "String", "string",
        "(int, int)", "(int, int, int)", "ShieldVasta", "ShieldTwinPoint", "ShieldLyn", "BlobRejection",
        "Enum", "EnumList", "Frame", "EnableDisableCells", "DeviceSettings", "GeomCalibration", "Touches",
        "TouchEntities", "TouchCalibration", "Tuio", "ORConfig", "Function", "function", "FoilHealth",
        "AutoTune", "GridTest", "TuneVasta", "Tste", "Cba", "ByteArray", "Alias"};
    return types;
}

// Types whose device exchange sends the entity name as the command word.
const QSet<QString>& plainTypes()
{
    static const QSet<QString> types{"bool", "int", "int32", "float", "double", "Matrix3x3", "String", "string",
                                     "(int, int)", "(int, int, int)", "Enum", "EnumList", "ByteArray",
                                     "Function", "function"};
    return types;
}

const QSet<QString>& accessWords()
{
    static const QSet<QString> words{"read", "write", "mutable", "read_mutable", "read_write",
                                     "read_write_mutable"};
    return words;
}

const QSet<QString>& entityKeys()
{
    static const QSet<QString> keys{"type", "name", "description", "command", "access_mode", "arg_exp",
                                    "domain", "values", "property", "size", "depends", "symbols_extra"};
    return keys;
}

bool allowsDomain(const QString& type)
{
    static const QSet<QString> types{"int", "int32", "float", "double", "ShieldVasta", "ShieldLyn",
                                     "ShieldTwinPoint", "BlobRejection", "TouchCalibration"};
    return types.contains(type);
}

bool allowsValues(const QString& type)
{
    return type == "Enum" || type == "EnumList" || type == "FoilHealth";
}

// The action family that a composite's sub-command symbols must belong to.
QString subCommandFamily(const QString& type)
{
    static const QHash<QString, QString> families{
        {"DeviceSettings", "settings"}, {"FoilHealth", "foilh"}, {"Tste", "tste"}, {"Cba", "cba"}};
    return families.value(type);
}

bool isProperty(const QJsonObject& entity)
{
    return !isFunctionType(entity.value("type").toString());
}

class Checker {
public:
    Checker(CheckedDescription& out, const QSet<QString>& tolerated) : m_out(out), m_tolerated(tolerated) {}

    void run(const QJsonObject& root)
    {
        for (const QString& key : root.keys()) {
            if (key != "entities" && key != "views")
                problem(QString("unknown top-level key \"%1\"").arg(key));
        }
        if (!root.value("entities").isArray() || root.value("entities").toArray().isEmpty())
            problem("\"entities\" must be a non-empty array");
        if (!root.value("views").isArray())
            problem("\"views\" must be an array");
        readEntities(root.value("entities").toArray());
        checkDuplicates();
        for (const QString& name : qAsConst(m_out.names))
            checkLinks(name, m_out.entities.value(name));
        checkCommands();
        readViews(root.value("views").toArray());
    }

private:
    void problem(const QString& text) { m_out.problems << text; }

    void readEntities(const QJsonArray& array)
    {
        static const QRegularExpression namePattern("^[a-z][a-z0-9_]*$");
        for (int i = 0; i < array.size(); ++i) {
            if (!array.at(i).isObject()) {
                problem(QString("entity #%1 is not an object").arg(i));
                continue;
            }
            const QJsonObject entity = array.at(i).toObject();
            const QString name = entity.value("name").toString();
            if (!namePattern.match(name).hasMatch()) {
                problem(QString("entity #%1 has the invalid name \"%2\"").arg(i).arg(name));
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
            if (!entityKeys().contains(key))
                problem(QString("%1: unknown key \"%2\"").arg(name, key));
        }
        if (!knownTypes().contains(type))
            problem(QString("%1: unknown type \"%2\"").arg(name, type));
        if (!e.value("description").isString() || e.value("description").toString().trimmed().size() < kMinDescriptionLength)
            problem(QString("%1: missing or too short description").arg(name));
        checkCommand(name, type, e);
        checkAccess(name, type, e);
        checkTypeKeys(name, type, e);
        if (e.contains("domain"))
            checkDomain(name, type, e.value("domain"));
        if (e.contains("values"))
            checkValues(name, e.value("values"));
        if (e.contains("size"))
            checkSize(name, e.value("size"));
    }

    void checkCommand(const QString& name, const QString& type, const QJsonObject& e)
    {
        static const QRegularExpression commandPattern("^[a-z][a-z0-9-]*$");
        if (!e.contains("command")) {
            if (plainTypes().contains(type))
                problem(QString("%1: a %2 needs a command").arg(name, type));
            return;
        }
        const QString command = e.value("command").toString();
        if (!e.value("command").isString() || !commandPattern.match(command).hasMatch())
            problem(QString("%1: invalid command \"%2\"").arg(name, command));
        else if (plainTypes().contains(type) && command != name)
            problem(QString("%1: the command of a %2 must equal its name").arg(name, type));
    }

    void checkAccess(const QString& name, const QString& type, const QJsonObject& e)
    {
        const bool takesAccess = !isFunctionType(type) && type != "Alias";
        if (!takesAccess) {
            if (e.contains("access_mode"))
                problem(QString("%1: a %2 has no access mode").arg(name, type));
            return;
        }
        if (!accessWords().contains(e.value("access_mode").toString()))
            problem(QString("%1: missing or unknown access mode").arg(name));
    }

    void checkTypeKeys(const QString& name, const QString& type, const QJsonObject& e)
    {
        const auto onlyFor = [&](const char* key, bool allowed) {
            if (e.contains(key) && !allowed)
                problem(QString("%1: \"%2\" does not apply to a %3").arg(name, key, type));
        };
        onlyFor("arg_exp", isFunctionType(type));
        onlyFor("domain", allowsDomain(type));
        onlyFor("values", allowsValues(type));
        onlyFor("size", type == "Frame");
        onlyFor("property", type == "Alias");
        if ((type == "Enum" || type == "EnumList") && !e.contains("values"))
            problem(QString("%1: an enumeration needs \"values\"").arg(name));
        if (type == "Frame" && !e.contains("size"))
            problem(QString("%1: a frame needs \"size\"").arg(name));
        if (type == "Alias")
            checkAliasTarget(name, e.value("property").toString());
        if (isFunctionType(type) && (e.contains("depends") || e.contains("symbols_extra")))
            problem(QString("%1: functions take no links").arg(name));
    }

    void checkAliasTarget(const QString& name, const QString& target)
    {
        // The alias builder only sees entities built before it.
        const auto it = m_out.entities.constFind(target);
        if (it == m_out.entities.constEnd())
            problem(QString("%1: alias target \"%2\" is not declared before it").arg(name, target));
        else if (!isProperty(*it) || it->value("type").toString() == "Alias")
            problem(QString("%1: alias target \"%2\" is not a plain property").arg(name, target));
    }

    void checkDomain(const QString& name, const QString& type, const QJsonValue& value)
    {
        const QJsonObject domain = value.toObject();
        if (!value.isObject() || domain.size() != 2 || !domain.value("begin").isDouble() || !domain.value("end").isDouble()) {
            problem(QString("%1: a domain is an object with the numbers begin and end").arg(name));
            return;
        }
        const double begin = domain.value("begin").toDouble();
        const double end = domain.value("end").toDouble();
        if (begin >= end || begin < kDomainLowest || end > kDomainHighest)
            problem(QString("%1: domain [%2..%3] out of bounds").arg(name).arg(begin).arg(end));
        const bool integral = type != "float" && type != "double";
        if (integral && (begin != qint64(begin) || end != qint64(end)))
            problem(QString("%1: integer domain with fractions").arg(name));
    }

    void checkValues(const QString& name, const QJsonValue& value)
    {
        const QJsonArray values = value.toArray();
        QSet<QString> seen;
        for (const QJsonValue& v : values) {
            if (!v.isString() || v.toString().isEmpty() || seen.contains(v.toString()))
                problem(QString("%1: values must be distinct non-empty words").arg(name));
            seen.insert(v.toString());
        }
        if (!value.isArray() || values.isEmpty())
            problem(QString("%1: values must be a non-empty array").arg(name));
    }

    void checkSize(const QString& name, const QJsonValue& value)
    {
        const QJsonObject size = value.toObject();
        const int width = size.value("width").toInt(-1);
        const int height = size.value("height").toInt(-1);
        if (size.size() != 2 || width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide)
            problem(QString("%1: size needs positive width and height").arg(name));
    }

    // A name may be declared twice only as the function-then-read-only-string
    // pair that older clients rely on.
    void checkDuplicates()
    {
        for (auto it = m_declarationTypes.cbegin(); it != m_declarationTypes.cend(); ++it) {
            if (it->size() == 1)
                continue;
            const QJsonObject last = m_out.entities.value(it.key());
            const bool quirk = it->size() == 2 && isFunctionType(it->first())
                               && it->last().compare("String", Qt::CaseInsensitive) == 0
                               && last.value("access_mode").toString() == "read";
            if (!quirk)
                problem(QString("%1: declared %2 times").arg(it.key()).arg(it->size()));
        }
    }

    void checkLinks(const QString& name, const QJsonObject& e)
    {
        if (e.contains("depends"))
            checkDepends(name, e.value("depends"));
        if (e.contains("symbols_extra"))
            checkSymbols(name, e.value("type").toString(), e.value("symbols_extra"));
    }

    bool namesProperty(const QString& target) const
    {
        return m_out.entities.contains(target) && isProperty(m_out.entities.value(target));
    }

    void checkDepends(const QString& name, const QJsonValue& value)
    {
        QSet<QString> seen;
        const QJsonArray depends = value.toArray();
        if (!value.isArray() || depends.isEmpty())
            problem(QString("%1: depends must be a non-empty array").arg(name));
        for (const QJsonValue& v : depends) {
            const QString target = v.toString();
            if (!namesProperty(target))
                problem(QString("%1: depends on \"%2\", which is no property here").arg(name, target));
            if (target == name || seen.contains(target))
                problem(QString("%1: depends lists \"%2\" twice or itself").arg(name, target));
            seen.insert(target);
        }
    }

    void checkSymbols(const QString& name, const QString& type, const QJsonValue& value)
    {
        const QJsonObject symbols = value.toObject();
        if (!value.isObject() || symbols.isEmpty())
            problem(QString("%1: symbols_extra must be a non-empty object").arg(name));
        const QString family = subCommandFamily(type);
        for (auto it = symbols.constBegin(); it != symbols.constEnd(); ++it) {
            const QString target = it.value().toString();
            if (!target.contains('.')) {
                if (!namesProperty(target))
                    problem(QString("%1: symbol %2 names \"%3\", which is no property here").arg(name, it.key(), target));
            } else if (family.isEmpty() || target != family + '.' + it.key()) {
                problem(QString("%1: symbol %2 has the foreign sub-command \"%3\"").arg(name, it.key(), target));
            }
        }
    }

    // Commands are unique except for the foil health test, whose composite
    // shares the word of the plain entity that reaches the same device command.
    void checkCommands()
    {
        QHash<QString, QString> owners;
        for (const QString& name : qAsConst(m_out.names)) {
            const QJsonObject e = m_out.entities.value(name);
            const QString command = e.value("command").toString();
            if (command.isEmpty())
                continue;
            const QString other = owners.value(command);
            if (!other.isEmpty()) {
                const QString otherType = m_out.entities.value(other).value("type").toString();
                const bool shared = (e.value("type").toString() == "FoilHealth" && other == command)
                                    || (otherType == "FoilHealth" && name == command);
                if (!shared)
                    problem(QString("command \"%1\" used by %2 and %3").arg(command, other, name));
            }
            owners.insert(command, name);
        }
    }

    void readViews(const QJsonArray& array)
    {
        for (const QJsonValue& v : array) {
            const QJsonObject view = v.toObject();
            const QString name = view.value("name").toString();
            for (const QString& key : view.keys()) {
                if (key != "name" && key != "entities")
                    problem(QString("view %1: unknown key \"%2\"").arg(name, key));
            }
            if (name.isEmpty() || m_out.views.contains(name) || !view.value("entities").isArray()) {
                problem(QString("view \"%1\": needs a unique name and an entities array").arg(name));
                continue;
            }
            m_out.views.insert(name, readViewNames(name, view.value("entities").toArray()));
        }
        for (const char* required : {"basic", "corvane_link"}) {
            if (!m_out.views.contains(required))
                problem(QString("view \"%1\" is missing").arg(required));
        }
        if (m_out.views.contains("advanced") && m_out.views.value("advanced") != m_out.names)
            problem("view advanced must list every entity once, in file order");
    }

    QStringList readViewNames(const QString& view, const QJsonArray& array)
    {
        QStringList names;
        for (const QJsonValue& v : array) {
            const QString name = v.toString();
            if (names.contains(name))
                problem(QString("view %1 lists \"%2\" twice").arg(view, name));
            if (!m_out.entities.contains(name) && !m_tolerated.contains(name))
                problem(QString("view %1 names the unknown entity \"%2\"").arg(view, name));
            names << name;
        }
        return names;
    }

    CheckedDescription& m_out;
    const QSet<QString>& m_tolerated;
    QHash<QString, QStringList> m_declarationTypes;
};

}  // namespace

bool isFunctionType(const QString& type)
{
    return type == "Function" || type == "function";
}

CheckedDescription checkDescription(const QByteArray& json, const QSet<QString>& toleratedViewNames)
{
    CheckedDescription out;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        out.problems << QString("not a JSON object: %1").arg(error.errorString());
        return out;
    }
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
