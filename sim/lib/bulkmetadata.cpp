#include "bulkmetadata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvanesim {

namespace {

const QString All = QStringLiteral("all");
const QString View = QStringLiteral("view");

QString typeWord(RegisterKind kind)
{
    switch (kind) {
    case RegisterKind::Int: return QStringLiteral("int");
    case RegisterKind::Pair: return QStringLiteral("(int, int)");
    case RegisterKind::Triple: return QStringLiteral("(int, int, int)");
    case RegisterKind::Bool: return QStringLiteral("bool");
    case RegisterKind::Text: return QStringLiteral("String");
    case RegisterKind::Enum: return QStringLiteral("Enum");
    case RegisterKind::Function: return QStringLiteral("Function");
    case RegisterKind::Real: return QStringLiteral("float");
    case RegisterKind::Double: return QStringLiteral("double");
    case RegisterKind::Matrix: return QStringLiteral("Matrix3x3");
    case RegisterKind::Bytes: return QStringLiteral("ByteArray");
    case RegisterKind::Words: return QStringLiteral("EnumList");
    }
    return QString();
}

QString accessWord(const RegisterDef& def)
{
    const bool changesByItself = def.source != RegisterSource::Stored;
    if (def.writable)
        return changesByItself ? QStringLiteral("read_write_mutable") : QStringLiteral("read_write");
    return changesByItself ? QStringLiteral("read_mutable") : QStringLiteral("read");
}

QJsonObject describeWord(const RegisterDef& def)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), def.word);
    o.insert(QStringLiteral("type"), typeWord(def.kind));
    o.insert(QStringLiteral("command"), def.word);
    o.insert(QStringLiteral("description"),
             def.description.isEmpty() ? QStringLiteral("Controller word %1").arg(def.word) : def.description);
    if (def.kind == RegisterKind::Function) {
        o.insert(QStringLiteral("arg_exp"),
                 def.values.isEmpty() ? QString() : QLatin1Char('[') + def.values.join(QLatin1Char('|')) + QLatin1Char(']'));
        return o;
    }
    o.insert(QStringLiteral("access_mode"), accessWord(def));
    switch (def.kind) {
    case RegisterKind::Int:
    case RegisterKind::Real:
    case RegisterKind::Double:
        o.insert(QStringLiteral("domain"), QJsonObject{{QStringLiteral("begin"), def.minimum}, {QStringLiteral("end"), def.maximum}});
        break;
    case RegisterKind::Enum:
    case RegisterKind::Words:
        o.insert(QStringLiteral("values"), QJsonArray::fromStringList(def.values));
        break;
    default:
        break;
    }
    return o;
}

QString json(const QJsonObject& o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QJsonObject viewObject(const QString& name, const QStringList& words)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("entities"), QJsonArray::fromStringList(words)}};
}

}  // namespace

QList<ViewDef> productViews(const QStringList& words)
{
    return {{QStringLiteral("basic"), words}, {QStringLiteral("corvane_link"), words}};
}

bool metadataAnswer(const CVNRegisterTable& registers, const QList<ViewDef>& views, const QStringList& arguments,
                    QString* answer)
{
    if (arguments.size() == 2 && arguments[0] == View) {
        const QString& name = arguments[1];
        if (name == All) {
            *answer = json(viewObject(All, registers.words()));
            return true;
        }
        if (name == QLatin1String("list")) {
            QStringList names{All};
            for (const ViewDef& v : views)
                names.append(v.name);
            *answer = json({{QStringLiteral("list"), QJsonArray::fromStringList(names)}});
            return true;
        }
        for (const ViewDef& v : views) {
            if (v.name == name) {
                *answer = json(viewObject(v.name, v.words));
                return true;
            }
        }
        *answer = QStringLiteral("error: unknown view");
        return false;
    }
    if (arguments.size() == 1) {
        if (const RegisterDef* def = registers.definition(arguments[0])) {
            *answer = json(describeWord(*def));
            return true;
        }
        *answer = QLatin1String(answers::UnknownCommand);
        return false;
    }
    *answer = QLatin1String(answers::InvalidArgument);
    return false;
}

}  // namespace corvanesim
