// Self-description: the document made from a controller's metadata answers,
// answers of the wrong shape refused with a text naming them, and a whole
// interface built in this process for a simulated controller with an entity
// set of its own, its typed values read and written through every property
// type.
#include "bulkfakes.h"

#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacebulk.h"
#include "interface/deviceinterfaceview.h"
#include "interface/entity.h"
#include "interface/jsontextkeys.h"
#include "interface/selfdescription.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Answers by the arguments joined with spaces; a missing entry is an error.
CVNSelfDescription::Call scripted(const QHash<QString, QString>& answers, QStringList* asked = nullptr)
{
    return [answers, asked](const QStringList& arguments, QString* answer, QString* error) {
        const QString key = arguments.join(QLatin1Char(' '));
        if (asked)
            asked->append(key);
        if (!answers.contains(key)) {
            *error = QStringLiteral("error: unknown");
            return false;
        }
        *answer = answers.value(key);
        return true;
    };
}

QHash<QString, QString> goodAnswers()
{
    return {
        { "view all", R"({"name": "all", "entities": ["th", "tscale", "th"]})" },
        { "th", R"({"name": "th", "type": "int", "domain": {"begin": 0, "end": 255}})" },
        { "tscale", R"({"name": "tscale", "type": "float"})" },
        { "view list", R"({"list": ["all", "basic", "tuning", "empty"]})" },
        { "view basic", R"({"name": "basic", "entities": ["th"]})" },
        { "view tuning", R"({"name": "tuning", "entities": ["th", "tscale"]})" },
        { "view empty", "{}" },
    };
}

} // namespace

TEST(SelfDescription, AnswersMakeOneDescriptionDocument)
{
    QStringList asked;
    QJsonObject description;
    QString error;
    ASSERT_TRUE(CVNSelfDescription::describe(scripted(goodAnswers(), &asked), &description, &error))
        << qPrintable(error);
    // Each entity asked once; the list's own "all" is the first view, not asked again.
    EXPECT_EQ(asked, (QStringList { "view all", "th", "tscale", "view list", "view basic", "view tuning", "view empty" }));
    const QJsonArray entities = description.value("entities").toArray();
    ASSERT_EQ(entities.size(), 2);
    EXPECT_EQ(entities[1].toObject().value("type").toString(), "float");
    QStringList views;
    for (const QJsonValue& view : description.value("views").toArray())
        views.append(view.toObject().value("name").toString());
    EXPECT_EQ(views, (QStringList { "all", "basic", "tuning" }));

    // No entity at all: no views asked, an empty document.
    QHash<QString, QString> none { { "view all", R"({"name": "all", "entities": []})" } };
    asked.clear();
    ASSERT_TRUE(CVNSelfDescription::describe(scripted(none, &asked), &description, &error));
    EXPECT_EQ(asked, QStringList { "view all" });
    EXPECT_TRUE(description.value("entities").toArray().isEmpty());
}

TEST(SelfDescription, KeysNamedTwiceAreFoundAsQtWouldStoreThem)
{
    const struct {
        const char* text;
        bool twice;
    } cases[] = {
        { R"({"a": 1, "b": {"a": [1]}, "c": [{"a": 1}, {"a": 2}]})", false },
        { R"({"a": [1], "a": 2})", true },
        { R"({"x": {"a": {}, "b": 1, "a": 2}})", true },
        { R"({"a": "a", "b": "a"})", false },
        { R"({"\u0061": 1, "a": 2})", true },
        { R"({"\"": 1, "\u0022": 2})", true },
        { "{\"\xc3\xa9\": 1, \"\\u00e9\": 2}", true },
        { "{\"\xf0\x9f\x98\x80\": 1, \"\\ud83d\\ude00\": 2}", true },
        { R"({"a,b": 1, "a": 2, "b": 3})", false },
        { R"(["a", "a"])", false },
        { "not json {\"a\": \"a\"", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CVNJsonTextKeys::hasDuplicateKey(c.text), c.twice) << c.text;
}

TEST(SelfDescription, AnswersOfTheWrongShapeEndTheAttempt)
{
    struct Case {
        QString key;
        QString answer; // replaces the good one; empty: the call fails
        QString error;
    };
    const QList<Case> cases = {
        { "view all", "not json", "metadata [view, all]: answer is not JSON (" },
        { "view all", "[1, 2]", "metadata [view, all]: answer is not an object" },
        { "view all", "{}", "metadata [view, all]: empty answer" },
        { "view all", R"({"entities": "th"})", "metadata [view, all]: \"entities\" is not a list" },
        { "view all", R"({"entities": ["th", 7]})", "metadata [view, all]: \"entities\" holds something that is not a name" },
        { "view all", R"({"entities": ["th", ""]})", "metadata [view, all]: \"entities\" holds something that is not a name" },
        { "th", "{}", "metadata [th]: empty answer" },
        { "th", R"({"name": "gain", "type": "int"})", "metadata [th]: answer describes another entity" },
        { "th", QString(), "metadata [th]: error: unknown" },
        { "view list", R"({"views": []})", "metadata [view, list]: \"list\" is not a list" },
        { "view tuning", R"({"name": "tuning", "entities": {}})", "metadata [view, tuning]: \"entities\" is not a list" },
        { "view tuning", R"({"entities": ["th"]})", "metadata [view, tuning]: answer is not a view" },
        // Qt's parser would lose the memory of the first list.
        { "view all", R"({"entities": ["th"], "entities": ["th"]})", "metadata [view, all]: answer names a key twice" },
    };
    for (const Case& c : cases) {
        QHash<QString, QString> answers = goodAnswers();
        if (c.answer.isNull())
            answers.remove(c.key);
        else
            answers.insert(c.key, c.answer);
        QJsonObject description;
        QString error;
        EXPECT_FALSE(CVNSelfDescription::describe(scripted(answers), &description, &error)) << qPrintable(c.key);
        EXPECT_TRUE(error.startsWith(c.error)) << qPrintable(error);
        EXPECT_TRUE(description.isEmpty());
    }
    // Counts beyond the limits are refused before anything is asked for them.
    QJsonArray many;
    for (int i = 0; i <= CVNSelfDescription::MaxEntities; ++i)
        many.append(QStringLiteral("e%1").arg(i));
    QHash<QString, QString> answers {
        { "view all", QJsonDocument(QJsonObject { { "entities", many } }).toJson() } };
    QStringList asked;
    QJsonObject description;
    QString error;
    EXPECT_FALSE(CVNSelfDescription::describe(scripted(answers, &asked), &description, &error));
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(error, "metadata [view, all]: \"entities\" lists more than 4096 names");
}

class OwnController : public ::testing::Test
{
protected:
    void SetUp() override
    {
        controller = simulatedController("4660:1234000000A1:1.000,bulk=only,entities=own");
        ASSERT_TRUE(controller);
        controller->setTrafficSink([this](const QString& line) { traffic.append(line); });
        device = std::make_unique<BulkDevice>(std::make_unique<SimBulkHandle>(controller.get()));
        iface.reset(builder.build(device->bulk));
        ASSERT_TRUE(iface);
    }

    QString run(const QString& command, const QStringList& words = {})
    {
        return iface->executeCommand(command, words);
    }
    QString held(const QString& word)
    {
        QString value;
        EXPECT_TRUE(controller->registers().value(word, &value)) << qPrintable(word);
        return value;
    }

    std::unique_ptr<corvanesim::CVNVirtualController> controller;
    std::unique_ptr<BulkDevice> device;
    DeviceInterfaceBuilder builder;
    std::unique_ptr<CVNDeviceInterface> iface;
    QStringList traffic;
};

TEST_F(OwnController, BuiltFromWhatItSaysAboutItself)
{
    EXPECT_NE(qobject_cast<CVNDeviceInterfaceBulk*>(iface.get()), nullptr);
    EXPECT_EQ(iface->name(), "root");
    EXPECT_TRUE(traffic.first().startsWith("1234000000A1 metadata view all -> {"));
    QStringList views = iface->viewNames();
    views.sort();
    EXPECT_EQ(views, (QStringList { "advanced", "all", "basic", "corvane_link", "tuning" }));
    EXPECT_EQ(iface->view("tuning")->entityNames().size(), 6);
    // Types no shipped description uses, with their access modes.
    for (const char* name : { "tscale", "tgamma", "cmat", "dkey", "fmodes" })
        ASSERT_NE(iface->entity(name), nullptr) << name;
    EXPECT_EQ(iface->entity("cmat")->typeName(), "Matrix3x3");
    EXPECT_EQ(iface->entity("dkey")->describe().value("access_mode").toString(), "read");
    EXPECT_EQ(iface->entity("duptime")->describe().value("access_mode").toString(), "read_mutable");
    EXPECT_EQ(iface->entity("tscale")->describe().value("domain").toString(), "[0..4]");
}

TEST_F(OwnController, EveryPropertyTypeReadsAndWritesTypedValues)
{
    struct Step {
        const char* command;
        QStringList words;
        QString answer;
        const char* word; // the register the controller now holds, with its text
        QString held;
    };
    const QList<Step> steps = {
        { "th", {}, "40", nullptr, {} },
        { "th", { "300" }, "255", "th", "255" }, // clamped into the domain before it is sent
        { "tscale", { "3.3" }, "3.3", "tscale", "3.3" },
        { "tgamma", { "2.2" }, "2.2", "tgamma", "2.2" }, // a double travels as float and reads back as written
        { "cmat", { "2", "0", "0", "0", "2", "0", "5", "6", "1" }, "\n2 0 0\n0 2 0\n5 6 1", "cmat", "2 0 0 0 2 0 5 6 1" },
        { "fmodes", { "object", "touch" }, "object, touch", "fmodes", "object touch" },
        { "fmodes", { "mouse" }, "Invalid arguments", "fmodes", "object touch" },
        { "dkey", {}, "[-64,-1,-18,1,2,3,4,5]", nullptr, {} },
        { "dkey", { "[1]" }, "Property is not writable", nullptr, {} },
        { "cenable", { "yes" }, "true", "cenable", "1" },
        { "fsize", {}, "40 24", nullptr, {} },
        { "cfo", { "1", "2", "3" }, "1 2 3", "cfo", "1 2 3" },
        // Refused by the controller, in its own words.
        { "cfo", { "1", "2", "9" }, "error: out of range", "cfo", "1 2 3" },
        { "dlabel", { "bench", "two" }, "bench two", "dlabel", "bench two" },
        { "fmode", { "RAW" }, "raw", "fmode", "raw" },
        { "ssave", {}, "ok", nullptr, {} },
        { "dreset", { "sideways" }, "error: invalid argument", nullptr, {} },
        { "dversion", {}, "1.000", nullptr, {} },
    };
    for (const Step& s : steps) {
        EXPECT_EQ(run(s.command, s.words), s.answer) << s.command << ' ' << qPrintable(s.words.join(' '));
        if (s.word)
            EXPECT_EQ(held(s.word), s.held) << s.command;
    }
    // Every exchange is one record out and one back, logged per record.
    EXPECT_TRUE(traffic.contains("1234000000A1 tgamma 2.2 -> 2.2")) << qPrintable(traffic.join('\n'));
}

TEST_F(OwnController, ControllerErrorsAndBrokenMessagesReachTheClientAsText)
{
    // A word the controller does not know.
    ASSERT_TRUE(controller->registers().has("th"));
    CVNDeviceRequest unknown(CVNDeviceRequest::Get, "nosuch", 1);
    const CVNDeviceReplies replies = iface->execute(unknown);
    ASSERT_TRUE(replies.contains(1));
    EXPECT_EQ(replies[1].type, CVNDeviceRequest::Error);
    EXPECT_EQ(replies[1].text, "error: unknown command");

    // Garbage on the IN pipe: the exchange fails with what was wrong, and
    // the next one works again.
    controller->faults().garbageNext(1);
    const QString broken = run("th");
    EXPECT_TRUE(broken.startsWith("Bulk exchange failed: ") || broken.startsWith("Malformed reply: ")
        || broken == "No reply from the controller")
        << qPrintable(broken);
    EXPECT_TRUE(device->parent->isOpen());
    EXPECT_EQ(run("th"), "40");
}
