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

const QStringList PlainTypes = {"int", "int32", "(int, int)", "(int, int, int)", "bool", "String", "string",
                                "Enum", "Function", "function"};

bool isError(const QString& answer)
{
    return answer.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

// The last declaration of a name is the one the service holds.
QMap<QString, QJsonObject> plainEntities(const QJsonObject& description)
{
    QMap<QString, QJsonObject> result;
    for (const QJsonValue& v : description.value(QStringLiteral("entities")).toArray()) {
        const QJsonObject e = v.toObject();
        const QString name = e.value(QStringLiteral("name")).toString();
        if (name.isEmpty())
            continue;
        if (PlainTypes.contains(e.value(QStringLiteral("type")).toString()))
            result.insert(name, e);
        else
            result.remove(name);
    }
    return result;
}

bool isReadOnly(const QJsonObject& e)
{
    const QString mode = e.value(QStringLiteral("access_mode")).toString();
    return mode == QLatin1String("read") || mode == QLatin1String("read_mutable");
}

int expectedNumbers(const QString& type)
{
    if (type == QLatin1String("(int, int)"))
        return 2;
    if (type == QLatin1String("(int, int, int)"))
        return 3;
    return 1;
}

void checkValueInDomain(const QJsonObject& e, const QString& value)
{
    const QString type = e.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("bool")) {
        EXPECT_TRUE(value == QLatin1String("0") || value == QLatin1String("1")) << value.toStdString();
    } else if (type == QLatin1String("Enum")) {
        QStringList values;
        for (const QJsonValue& v : e.value(QStringLiteral("values")).toArray())
            values.append(v.toString());
        EXPECT_TRUE(values.contains(value)) << value.toStdString();
    } else if (type.startsWith(QLatin1String("(int"))) {
        EXPECT_EQ(value.split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), expectedNumbers(type)) << value.toStdString();
    } else if (e.contains(QStringLiteral("domain"))) {
        const QJsonObject domain = e.value(QStringLiteral("domain")).toObject();
        bool ok = false;
        const double n = value.toDouble(&ok);
        EXPECT_TRUE(ok) << value.toStdString();
        EXPECT_GE(n, domain.value(QStringLiteral("begin")).toDouble()) << value.toStdString();
        EXPECT_LE(n, domain.value(QStringLiteral("end")).toDouble()) << value.toStdString();
    }
}

void checkWritable(CVNRegisterTable* table, const QString& word, const QJsonObject& e, const QString& current)
{
    if (e.value(QStringLiteral("type")).toString() == QLatin1String("Enum")) {
        for (const QJsonValue& v : e.value(QStringLiteral("values")).toArray())
            EXPECT_EQ(table->exchange(word, v.toString()), v.toString());
        return;
    }
    if (e.contains(QStringLiteral("domain"))) {
        const QJsonObject domain = e.value(QStringLiteral("domain")).toObject();
        const QString begin = QString::number(domain.value(QStringLiteral("begin")).toInt());
        const QString end = QString::number(domain.value(QStringLiteral("end")).toInt());
        EXPECT_EQ(table->exchange(word, begin), begin);
        EXPECT_EQ(table->exchange(word, end), end);
        EXPECT_TRUE(isError(table->exchange(word, QString::number(domain.value(QStringLiteral("end")).toInt() + 1))));
    }
    if (!current.isEmpty())
        EXPECT_EQ(table->exchange(word, current), current) << "writing the held value back";
}

void checkEntity(CVNRegisterTable* table, const QString& name, const QJsonObject& e)
{
    SCOPED_TRACE(name.toStdString());
    ASSERT_TRUE(table->has(name));
    const QString command = e.value(QStringLiteral("command")).toString();
    EXPECT_TRUE(command.isEmpty() || command == name);
    const QString type = e.value(QStringLiteral("type")).toString();
    if (type.compare(QLatin1String("function"), Qt::CaseInsensitive) == 0) {
        EXPECT_FALSE(isError(table->exchange(name, {})));
        return;
    }
    QString value;
    ASSERT_TRUE(table->value(name, &value));
    EXPECT_FALSE(isError(table->exchange(name, {})));
    checkValueInDomain(e, value);
    if (isReadOnly(e)) {
        EXPECT_TRUE(isError(table->exchange(name, QStringLiteral("1"))));
        QString after;
        ASSERT_TRUE(table->value(name, &after));
        EXPECT_EQ(after, value);
    } else {
        checkWritable(table, name, e, value);
    }
}

}  // namespace

TEST(SimulatedDescriptions, EveryPlainEntityIsAKnownRegister)
{
    const QStringList files = QDir(DescriptionDir).entryList({QStringLiteral("*-hid.json")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        GTEST_SKIP() << "no interface descriptions in " << DescriptionDir.toStdString();
    static const QRegularExpression key(QStringLiteral("^([0-9a-f]+)-([0-9a-f]+)_([0-9a-f]{3})-hid\\.json$"));
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QRegularExpressionMatch m = key.match(file);
        ASSERT_TRUE(m.hasMatch());
        quint16 release = 0;
        ASSERT_TRUE(parseFirmware(m.captured(2) + QLatin1Char('.') + m.captured(3), &release));
        const quint16 productId = quint16(m.captured(1).toUInt(nullptr, 16));
        QFile f(DescriptionDir + file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QJsonObject description = QJsonDocument::fromJson(f.readAll()).object();
        const QMap<QString, QJsonObject> entities = plainEntities(description);
        EXPECT_FALSE(entities.isEmpty());
        CVNRegisterTable table(registerCatalog(productId, release, QStringLiteral("0000000000AB")), {});
        for (auto it = entities.constBegin(); it != entities.constEnd(); ++it)
            checkEntity(&table, it.key(), it.value());
    }
}
