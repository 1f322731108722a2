// The simulated controllers must know every plain word that the shipped
// interface descriptions name, hold values inside the described domains and
// refuse writes to read-only words, so the service can be proven against them.
#include "controllersetup.h"
#include "registercatalog.h"
#include "registertable.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

const QString DescriptionDir = QStringLiteral(CORVANE_SOURCE_DIR "/resources/devices-interfaces-resources/");

bool isError(const QString& answer)
{
    return answer.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

// The last declaration of a name is the one the service holds.
QMap<QString, QJsonObject> plainEntities(const QJsonObject& description)
{
    static const QStringList plainTypes = {"int", "int32", "(int, int)", "(int, int, int)", "bool", "String",
                                           "string", "Enum", "Function", "function"};
    QMap<QString, QJsonObject> result;
    for (const QJsonValue& v : description.value("entities").toArray()) {
        const QJsonObject e = v.toObject();
        const QString name = e.value("name").toString();
        if (plainTypes.contains(e.value("type").toString()))
            result.insert(name, e);
        else
            result.remove(name);
    }
    return result;
}

QStringList values(const QJsonObject& e)
{
    return e.value("values").toVariant().toStringList();
}

void checkValueInDomain(const QJsonObject& e, const QString& value)
{
    const QString type = e.value("type").toString();
    const QJsonObject domain = e.value("domain").toObject();
    bool ok = true;
    if (type == "bool")
        ok = value == "0" || value == "1";
    else if (type == "Enum")
        ok = values(e).contains(value);
    else if (type.startsWith("(int"))
        ok = value.split(' ', Qt::SkipEmptyParts).size() == type.count("int");
    else if (type == "int" || type == "int32") {
        // The service takes an integer entity's answer only when it is a whole number.
        const int n = value.toInt(&ok);
        if (ok && !domain.isEmpty())
            ok = n >= domain.value("begin").toDouble() && n <= domain.value("end").toDouble();
    } else if (!domain.isEmpty()) {
        const double n = value.toDouble(&ok);
        ok = ok && n >= domain.value("begin").toDouble() && n <= domain.value("end").toDouble();
    }
    EXPECT_TRUE(ok) << value.toStdString();
}

void checkWritable(CVNRegisterTable* table, const QString& word, const QJsonObject& e, const QString& current)
{
    QStringList accepted = values(e);
    if (e.contains("domain")) {
        const int end = e.value("domain").toObject().value("end").toInt();
        accepted << QString::number(e.value("domain").toObject().value("begin").toInt()) << QString::number(end);
        EXPECT_TRUE(isError(table->exchange(word, QString::number(end + 1))));
    }
    if (!current.isEmpty() && e.value("type").toString() != "Enum")
        accepted << current; // writing the held value back
    for (const QString& v : accepted)
        EXPECT_EQ(table->exchange(word, v), v);
}

void checkEntity(CVNRegisterTable* table, const QString& name, const QJsonObject& e)
{
    SCOPED_TRACE(name.toStdString());
    ASSERT_TRUE(table->has(name));
    const QString command = e.value("command").toString();
    EXPECT_TRUE(command.isEmpty() || command == name);
    EXPECT_FALSE(isError(table->exchange(name, {})));
    if (e.value("type").toString().compare("function", Qt::CaseInsensitive) == 0)
        return;
    QString value;
    ASSERT_TRUE(table->value(name, &value));
    checkValueInDomain(e, value);
    const QString mode = e.value("access_mode").toString();
    if (mode != "read" && mode != "read_mutable")
        return checkWritable(table, name, e, value);
    EXPECT_TRUE(isError(table->exchange(name, QStringLiteral("1"))));
    QString after;
    ASSERT_TRUE(table->value(name, &after));
    EXPECT_EQ(after, value);
}

}  // namespace

TEST(SimulatedDescriptions, EveryPlainEntityIsAKnownRegister)
{
    const QStringList files = QDir(DescriptionDir).entryList({QStringLiteral("*-hid.json")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no interface descriptions in " << DescriptionDir.toStdString();
    static const QRegularExpression key(QStringLiteral("^([0-9a-f]+)-([0-9a-f]+)_([0-9a-f]{3})-hid\\.json$"));
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QRegularExpressionMatch m = key.match(file);
        ASSERT_TRUE(m.hasMatch());
        quint16 release = 0;
        ASSERT_TRUE(parseFirmware(m.captured(2) + QLatin1Char('.') + m.captured(3), &release));
        QFile f(DescriptionDir + file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QMap<QString, QJsonObject> entities = plainEntities(QJsonDocument::fromJson(f.readAll()).object());
        EXPECT_FALSE(entities.isEmpty());
        CVNRegisterTable table(registerCatalog(quint16(m.captured(1).toUInt(nullptr, 16)), release, "0000000000AB"), {});
        for (auto it = entities.constBegin(); it != entities.constEnd(); ++it)
            checkEntity(&table, it.key(), it.value());
    }
}
