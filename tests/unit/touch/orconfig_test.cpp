// or-conf: every command with its reply, the clamps, refusals that change
// nothing, JSON, and the stored values that the next start finds (the
// latest write of any controller wins).
#include "interface/accessmode.h"
#include "touch/devicepropertytouchentities.h"
#include "touch/objectparameters.h"
#include "touch/orconfig.h"
#include "touch/orconfigvalues.h"
#include "touch/touchparameters.h"

#include "touchrig.h"

#include <QJsonArray>
#include <QSettings>
#include <QTemporaryDir>

namespace
{

struct OrConf : ::testing::Test {
    TouchRig rig;
    ~OrConf() override
    {
        CVNObjectParameters::setCurrent(CVNObjectParameters());
        CVNTouchParameters::setCurrent(CVNTouchParameters());
    }
    ORConfig* config() const { return rig.entity<ORConfig>("or_conf"); }
    QJsonObject json() const { return config()->value().toObject(); }
    void orSpec(int spec) { rig.entity<DevicePropertyTouchEntities>("touches")->setOrSpec(spec); }
};

} // namespace

TEST_F(OrConf, CommandsRepliesAndClamps)
{
    ASSERT_TRUE(config());
    orSpec(1);
    struct Case {
        QStringList words;
        QString reply;
        bool changes;
    };
    const QString bad = "Invalid parameter";
    const std::vector<Case> cases{
        { {}, "Invalid arguments", false },
        { { "frobnicate", "1" }, "Invalid arguments", false },
        { { "time-lock" }, "time-lock: 1000ms", false },
        { { "time-lock", "300" }, "time-lock: 300ms", true },
        { { "time-lock", "-5" }, "time-lock: 0ms", true },
        { { "time-lock", "soon" }, bad, false },
        { { "time-lock", "1", "2" }, "Invalid arguments", false },
        { { "pressure-rejection", "200" }, "pressure-rejection: 200", true },
        { { "pressure-rejection", "-1" }, bad, false },
        { { "pressure-rejection-locked", "YES" }, "pressure-rejection-locked: true", true },
        { { "pressure-rejection-locked", "maybe" }, bad, false },
        { { "angle-range" }, "Object ID not specified", false },
        { { "angle-range", "two" }, bad, false },
        { { "angle-range", "999" }, "angle-range not supported for this type", false },
        { { "angle-range", "516", "1", "2" }, "angle-range not supported for this type", false },
        { { "angle-range", "201" }, "angle-range: 201 (18, 38) degrees", false },
        { { "angle-range", "201", "200", "100" }, "angle-range: 201 (100, 200) degrees", true },
        { { "angle-range", "302", "-5", "400.5" }, "angle-range: 302 (0, 360) degrees", true },
        { { "angle-range", "201", "5" }, "Invalid arguments", false },
        { { "angle-range", "201", "5", "x" }, bad, false },
        { { "max-distance" }, "max-distance: 1000", false },
        { { "max-distance", "1200" }, "max-distance: 1200", true },
        { { "max-distance", "-3" }, "max-distance: 0", true },
        { { "point-rejection", "5" }, "point-rejection: 5% of radius", true },
        { { "point-rejection", "inf" }, bad, false },
        { { "max-capture" }, "max-capture: 500% of points max distance", false },
        { { "max-capture", "250" }, "max-capture: 250% of points max distance", true },
        { { "idle", "0" }, "idle: 1", true },
        { { "idle", "4" }, "idle: 4", true },
        { { "base-diff", "-1" }, "base-diff: 0 degrees", true },
        { { "base-diff", "nan" }, bad, false },
        { { "default", "now" }, "Invalid arguments", false },
        { { "default" }, "Default parameters applied", true },
    };
    for (const Case& c : cases) {
        const QJsonObject before = json();
        const CVNTouchParameters touches = CVNTouchParameters::current();
        CVNEntityContext context;
        context.arguments = c.words;
        EXPECT_EQ(config()->execute(context), c.reply) << qPrintable(c.words.join(' '));
        const bool changed = before != json() || touches.pressureThreshold != CVNTouchParameters::current().pressureThreshold
            || touches.pressureRejectsLocked != CVNTouchParameters::current().pressureRejectsLocked;
        EXPECT_EQ(changed, c.changes) << qPrintable(c.words.join(' '));
        const bool refused = c.reply.startsWith("Invalid") || c.reply.contains("not ");
        EXPECT_EQ(context.failed, refused) << qPrintable(c.words.join(' '));
    }
    EXPECT_EQ(CVNObjectParameters::current(), CVNObjectParameters()) << "default restores everything";
    EXPECT_EQ(CVNTouchParameters::current().keepAlive, CVNTouchParameters::DefaultKeepAlive);

    // The maximum side of whichever or-spec is on.
    orSpec(2);
    EXPECT_EQ(rig.run("or-conf", { "max-distance", "1700" }), "max-distance: 1700");
    EXPECT_EQ(CVNObjectParameters::current().maxDistanceV1, 1000);
    orSpec(0);
    EXPECT_EQ(rig.run("or-conf", { "base-diff", "3" }), "Object recognition is disabled");
    EXPECT_EQ(rig.run("or-conf", { "time-lock", "20" }), "time-lock: 20ms") << "not a recognition parameter";
}

TEST_F(OrConf, WithoutTouchesOrWriteAccess)
{
    ORConfig alone(nullptr, "or_conf", "", "or-conf", AccessMode::Read);
    CVNEntityContext context;
    context.arguments = QStringList{ "idle", "5" };
    EXPECT_EQ(alone.execute(context), "Invalid touch properties");
    context.arguments = QStringList{ "time-lock", "5" };
    EXPECT_EQ(alone.execute(context), "Property is not writable");
    context.arguments = QStringList{ "default" };
    EXPECT_EQ(alone.execute(context), "Property is not writable");
    context.arguments = QStringList{ "time-lock" };
    EXPECT_EQ(alone.execute(context), "time-lock: 1000ms");
    EXPECT_FALSE(alone.value().toObject().contains("point-rejection")) << "shown only with the touches link";
    EXPECT_EQ(alone.writeValue(QJsonObject{ { "idle", 7 } }), "Property is not writable");
    EXPECT_EQ(CVNTouchParameters::current().keepAlive, 3);
}

TEST_F(OrConf, JsonValueAndWrite)
{
    QJsonObject value = json();
    EXPECT_EQ(value.value("base-diff").toDouble(), 27);
    EXPECT_EQ(value.value("max-capture").toDouble(), 5);
    EXPECT_EQ(value.value("max-distance-v2").toDouble(), 1500);
    EXPECT_EQ(value.value("point-rejection").toDouble(), 0);
    EXPECT_EQ(value.value("angle-range-408").toArray(), (QJsonArray{ 110, 130 }));
    EXPECT_EQ(value.size(), 7 + CVNObjectParameters::ClassCount);

    EXPECT_EQ(config()->writeValue(QJsonObject{ { "time-lock", 250 }, { "idle", 0 }, { "point-rejection", 20 },
                                                { "max-capture", 2 }, { "angle-range-302", QJsonArray{ 10, 5 } } }),
              QString());
    value = json();
    EXPECT_EQ(value.value("time-lock").toInt(), 250);
    EXPECT_EQ(value.value("idle").toInt(), 1);
    EXPECT_EQ(value.value("point-rejection").toDouble(), 20);
    EXPECT_DOUBLE_EQ(CVNObjectParameters::current().pointRejection, 0.2);
    EXPECT_EQ(value.value("angle-range-302").toArray(), (QJsonArray{ 5, 10 }));

    for (const QJsonValue& refused : { QJsonValue(QJsonObject{ { "time-lock", 1.5 } }), QJsonValue(QJsonObject{ { "idle", "3" } }),
                                       QJsonValue(QJsonObject{ { "base-diff", 3 }, { "angle-range-201", QJsonArray{ 1 } } }),
                                       QJsonValue(QJsonObject{ { "unknown", 1 } }), QJsonValue(7) }) {
        EXPECT_EQ(config()->writeValue(refused), "Invalid argument");
        EXPECT_EQ(json(), value) << "nothing changed";
    }
}

TEST_F(OrConf, StoredAtOnceAndTheLatestWriteOfAnyControllerWins)
{
    EXPECT_EQ(rig.run("or-conf", { "time-lock", "420" }), "time-lock: 420ms");
    QSettings settings;
    settings.beginGroup("ApplicationServer/devices/0200000001A3/or_conf");
    EXPECT_EQ(settings.value("time-lock").toInt(), 420);
    const qint64 written = settings.value("changed-at").toLongLong();
    // Settings of another controller: older ones do not replace what was written since, later ones do.
    QTemporaryDir dir;
    QSettings other(dir.filePath("other.ini"), QSettings::IniFormat);
    for (const qint64 stamp : { written - 1, written + 1 }) {
        CVNTouchParameters stored;
        stored.timeLockMs = stamp > written ? 77 : 99;
        other.beginGroup("or_conf");
        CVNORConfigValues::save(other, CVNObjectParameters(), stored, stamp);
        other.setValue("idle", "many"); // does not convert: keeps its value
        other.endGroup();
        config()->loadSettings(other);
        EXPECT_EQ(CVNTouchParameters::current().timeLockMs, stamp > written ? stored.timeLockMs : 420);
        EXPECT_EQ(CVNTouchParameters::current().keepAlive, 3);
    }
}
