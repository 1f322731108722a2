// The strict reader must reject each kind of fault it exists to catch;
// otherwise a clean result on the shipped files would prove nothing.
#include "descriptioncheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace descriptions;

namespace {

QJsonObject number(const QString& name)
{
    return {{"name", name}, {"type", "int"}, {"command", name}, {"access_mode", "read_write"},
            {"description", "A threshold of the test sensor."}};
}

QJsonObject function(const QString& name)
{
    return {{"name", name}, {"type", "Function"}, {"command", name}, {"description", "A function of the test sensor."}};
}

QJsonObject settings()
{
    return {{"name", "device_settings"}, {"type", "DeviceSettings"}, {"command", "device-settings"},
            {"access_mode", "read_write_mutable"}, {"description", "Configuration of the test sensor."},
            {"symbols_extra", QJsonObject{{"upload", "settings.upload"}, {"save", "settings.save"}}}};
}

QByteArray document(const QJsonArray& entities, const QJsonArray& extraViews = {})
{
    QJsonArray names;
    for (const QJsonValue& e : entities) {
        if (!names.contains(e.toObject().value("name")))
            names.append(e.toObject().value("name"));
    }
    QJsonArray views{QJsonObject{{"name", "basic"}, {"entities", names}},
                     QJsonObject{{"name", "corvane_link"}, {"entities", names}}};
    for (const QJsonValue& v : extraViews)
        views.append(v);
    return QJsonDocument(QJsonObject{{"entities", entities}, {"views", views}}).toJson();
}

QJsonObject with(QJsonObject o, const QString& key, const QJsonValue& value)
{
    o.insert(key, value);
    return o;
}

}  // namespace

TEST(DescriptionCheck, AcceptsASoundDescription)
{
    const QJsonObject th = with(number("th"), "depends", QJsonArray{"gain"});
    const QJsonObject alias{{"name", "level"}, {"type", "Alias"}, {"property", "gain"}, {"command", "level"},
                            {"description", "Another name of the gain."}};
    const CheckedDescription d = checkDescription(document({number("gain"), th, alias, settings(), function("ssave")}));
    EXPECT_TRUE(d.problems.isEmpty()) << d.problems.join("; ").toStdString();
    EXPECT_EQ(d.names, (QStringList{"gain", "th", "level", "device_settings", "ssave"}));
    EXPECT_EQ(builtViewSize(d, "basic"), 5);
}

TEST(DescriptionCheck, RejectsEachKindOfFault)
{
    const QJsonObject gain = number("gain");
    struct Case {
        const char* fault;
        const char* expected;  // part of the problem text the fault must raise
        QByteArray json;
    };
    const QList<Case> cases{
        {"invalid JSON", "not a JSON object", "{\"entities\": ["},
        {"unknown entity key", "unknown key", document({with(gain, "acces_mode", "read")})},
        {"unknown type", "unknown type", document({with(gain, "type", "Int")})},
        {"unknown access word", "access mode", document({with(gain, "access_mode", "readonly")})},
        {"no description", "description", document({with(gain, "description", "")})},
        {"command differs from name", "must equal its name", document({with(gain, "command", "gn")})},
        {"depends on a missing name", "depends on \"th\"", document({with(gain, "depends", QJsonArray{"th"})})},
        {"depends on a function", "depends on \"ssave\"", document({with(gain, "depends", QJsonArray{"ssave"}), function("ssave")})},
        {"symbol names a missing entity", "no property here", document({with(settings(), "symbols_extra", QJsonObject{{"upload", "sup"}})})},
        {"foreign sub-command", "foreign sub-command", document({with(settings(), "symbols_extra", QJsonObject{{"upload", "foilh.start"}})})},
        {"reversed domain", "out of bounds", document({with(gain, "domain", QJsonObject{{"begin", 7}, {"end", 0}})})},
        {"domain out of bounds", "out of bounds", document({with(gain, "domain", QJsonObject{{"begin", 0}, {"end", 1e9}})})},
        {"values on a number", "\"values\" does not apply", document({with(gain, "values", QJsonArray{"1"})})},
        {"enumeration without values", "needs \"values\"", document({with(gain, "type", "Enum")})},
        {"duplicate name", "declared 2 times", document({gain, gain})},
        {"duplicate command", "command \"gain\" used by", document({gain, with(number("th"), "command", "gain")})},
        {"alias before its target", "not declared before it",
         document({QJsonObject{{"name", "level"}, {"type", "Alias"}, {"property", "gain"}, {"command", "level"},
                               {"description", "Another name of the gain."}},
                   gain})},
        {"view names a missing entity", "unknown entity",
         document({gain}, {QJsonObject{{"name", "extra"}, {"entities", QJsonArray{"th"}}}})},
        {"advanced view incomplete", "view advanced",
         document({gain, number("th")}, {QJsonObject{{"name", "advanced"}, {"entities", QJsonArray{"th"}}}})},
        {"no basic view", "view \"basic\" is missing",
         QJsonDocument(QJsonObject{{"entities", QJsonArray{gain}},
                                   {"views", QJsonArray{QJsonObject{{"name", "corvane_link"}, {"entities", QJsonArray{}}}}}})
             .toJson()},
    };
    for (const Case& c : cases) {
        const QStringList problems = checkDescription(c.json).problems;
        EXPECT_TRUE(problems.join("; ").contains(c.expected)) << c.fault << ": " << problems.join("; ").toStdString();
    }
}

TEST(DescriptionCheck, AllowsOnlyTheFunctionThenReadOnlyStringRedeclaration)
{
    const QJsonObject text{{"name", "dversion"}, {"type", "String"}, {"command", "dversion"},
                           {"access_mode", "read"}, {"description", "Firmware version text."}};
    const CheckedDescription quirk = checkDescription(document({function("dversion"), text}));
    EXPECT_TRUE(quirk.problems.isEmpty()) << quirk.problems.join("; ").toStdString();
    EXPECT_EQ(quirk.names.size(), 1);
    EXPECT_EQ(quirk.declarations.value("dversion"), 2);
    EXPECT_EQ(quirk.entities.value("dversion").value("type").toString(), "String");

    EXPECT_FALSE(checkDescription(document({text, function("dversion")})).problems.isEmpty());
    EXPECT_FALSE(checkDescription(document({function("dversion"), with(text, "access_mode", "read_write")})).problems.isEmpty());
}

TEST(DescriptionCheck, ToleratesOnlyTheNamedViewEntries)
{
    const QByteArray json = document({number("gain")}, {QJsonObject{{"name", "extra"}, {"entities", QJsonArray{"tune_vasta"}}}});
    EXPECT_TRUE(checkDescription(json, {"tune_vasta"}).problems.isEmpty());
    EXPECT_FALSE(checkDescription(json, {"th"}).problems.isEmpty());
}
