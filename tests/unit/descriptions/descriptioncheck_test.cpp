// The strict reader must reject each kind of fault it exists to catch;
// otherwise a clean result on the shipped files would prove nothing.
#include "descriptioncheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace descriptions;

namespace {

QJsonObject entity(const QString& name, const QString& type = "int", const QString& access = "read_write")
{
    QJsonObject e{{"name", name}, {"type", type}, {"command", name}, {"description", "A word of the test sensor."}};
    if (!access.isEmpty())
        e.insert("access_mode", access);
    return e;
}

QJsonObject with(QJsonObject o, const QString& key, const QJsonValue& value)
{
    o.insert(key, value);
    return o;
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

QJsonObject view(const QString& name, const QJsonArray& entries)
{
    return {{"name", name}, {"entities", entries}};
}

}  // namespace

TEST(DescriptionCheck, AcceptsASoundDescriptionAndTheVersionQuirk)
{
    const QJsonObject settings = with(entity("device_settings", "DeviceSettings"), "symbols_extra",
                                      QJsonObject{{"upload", "settings.upload"}, {"gain", "gain"}});
    const CheckedDescription d = checkDescription(
        document({entity("gain"), with(entity("th"), "depends", QJsonArray{"gain"}), settings,
                  entity("dversion", "Function", ""), entity("dversion", "String", "read")},
                 {view("advanced", {"gain", "th", "device_settings", "dversion"}), view("extra", {"tune_vasta"})}),
        {"tune_vasta"});
    EXPECT_TRUE(d.problems.isEmpty()) << d.problems.join("; ").toStdString();
    EXPECT_EQ(d.names, (QStringList{"gain", "th", "device_settings", "dversion"}));
    EXPECT_EQ(d.declarations.value("dversion"), 2);
    EXPECT_EQ(d.entities.value("dversion").value("type").toString(), "String");
    EXPECT_EQ(builtViewSize(d, "extra"), 0);
}

TEST(DescriptionCheck, RejectsEachKindOfFault)
{
    const QJsonObject gain = entity("gain");
    const QJsonObject settings = entity("device_settings", "DeviceSettings");
    struct Case {
        const char* fault;
        const char* expected;  // part of the problem text the fault must raise
        QByteArray json;
    };
    const QList<Case> cases{
        {"invalid JSON", "not a JSON object", "{\"entities\": ["},
        {"unknown top-level key", "unknown top-level key", "{\"entities\": [], \"views\": [], \"extra\": 1}"},
        {"unknown entity key", "unknown key", document({with(gain, "acces_mode", "read")})},
        {"unknown type", "unknown type", document({with(gain, "type", "Int")})},
        {"unknown access word", "access mode", document({with(gain, "access_mode", "readonly")})},
        {"function with access", "has no access mode", document({entity("ssave", "Function")})},
        {"no description", "description", document({with(gain, "description", "")})},
        {"command differs from name", "must equal its name", document({with(gain, "command", "gn")})},
        {"depends on a missing name", "depends on \"th\"", document({with(gain, "depends", QJsonArray{"th"})})},
        {"depends on a function", "depends on \"ssave\"",
         document({with(gain, "depends", QJsonArray{"ssave"}), entity("ssave", "Function", "")})},
        {"symbol names a missing entity", "no property here",
         document({with(settings, "symbols_extra", QJsonObject{{"upload", "sup"}})})},
        {"foreign sub-command", "foreign sub-command",
         document({with(settings, "symbols_extra", QJsonObject{{"upload", "foilh.start"}})})},
        {"duplicate name", "declared 2 times", document({gain, gain})},
        {"string before function", "declared 2 times",
         document({entity("dversion", "String", "read"), entity("dversion", "Function", "")})},
        {"writable version text", "declared 2 times",
         document({entity("dversion", "Function", ""), entity("dversion", "String", "read_write")})},
        {"view names a missing entity", "unknown entity", document({gain}, {view("extra", {"th"})})},
        {"advanced view incomplete", "view advanced", document({gain, entity("th")}, {view("advanced", {"th"})})},
        {"no basic view", "view \"basic\" is missing",
         QJsonDocument(QJsonObject{{"entities", QJsonArray{gain}}, {"views", QJsonArray{view("corvane_link", {})}}})
             .toJson()},
    };
    for (const Case& c : cases) {
        const QStringList problems = checkDescription(c.json).problems;
        EXPECT_TRUE(problems.join("; ").contains(c.expected)) << c.fault << ": " << problems.join("; ").toStdString();
    }
}
