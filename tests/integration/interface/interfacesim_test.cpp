// Interfaces built for simulated controllers: the description's entities
// with their types, commands, access modes and domains, and reads, writes
// and calls that reach the simulated controller through the HID channel.
#include "device/devicehid.h"
#include "device/devicemanager.h"
#include "interface/accessmode.h"
#include "interface/deviceentitybuilder.h"
#include "interface/devicefunction.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfaceview.h"
#include "interface/deviceproperty.h"
#include "interface/devicepropertynumber.h"

#include "simprocess.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int WaitMs = 10000;
const QString Vasta = QStringLiteral("0200000001A3");
const QString TwinPoint = QStringLiteral("0C00000001C5");
const QString Lyn = QStringLiteral("0400000001B4");

class InterfaceOverSim : public ::testing::Test
{
protected:
    void start(const QString& setup, const QString& serial)
    {
        sim = std::make_unique<SimProcess>(QStringList{setup});
        ASSERT_TRUE(sim->isRunning());
        qputenv("CORVANE_SIM_SOCKET", sim->socketPath().toLocal8Bit());
        manager = std::make_unique<CVNDeviceManager>();
        QSignalSpy inserted(manager.get(), &CVNDeviceManager::deviceInserted);
        manager->start();
        for (int i = 0; i < WaitMs / 100 && !manager->device(serial); ++i)
            inserted.wait(100);
        CVNDeviceParent* parent = manager->device(serial);
        ASSERT_NE(parent, nullptr);
        CVNDevice* hid = parent->child(CVNDeviceKind::Hid);
        ASSERT_NE(hid, nullptr);
        builder = std::make_unique<DeviceInterfaceBuilder>();
        iface.reset(builder->build(hid));
        ASSERT_TRUE(iface);
        m_serial = serial;
    }

    void TearDown() override
    {
        iface.reset();
        manager.reset();
        sim.reset();
        qunsetenv("CORVANE_SIM_SOCKET");
    }

    QString run(const QString& command, const QStringList& words = {})
    {
        return iface->executeCommand(command, words);
    }
    CVNProperty* property(const QString& name) const
    {
        return static_cast<CVNProperty*>(iface->entity(name));
    }
    // Traffic lines of this controller's exchanges for one command word.
    QStringList traffic(const QString& command) const
    {
        QStringList lines;
        const QString start = m_serial + QLatin1Char(' ') + command + QLatin1Char(' ');
        for (const QString& line : sim->trafficLines()) {
            if (line.startsWith(start))
                lines.append(line);
        }
        return lines;
    }

    // Every entity of the shipped description whose type this build knows
    // is held with its type, command, access mode and domain.
    void expectDescriptionBuilt(const QString& key, const QStringList& basicMustHold)
    {
        QJsonObject description;
        ASSERT_TRUE(DeviceInterfaceBuilder::readDescription(DeviceInterfaceBuilder::resourcePath(key), &description));
        QHash<QString, QJsonObject> last;
        for (const QJsonValue& value : description.value("entities").toArray())
            last.insert(value.toObject().value("name").toString(), value.toObject());
        int plain = 0;
        for (const QJsonObject& object : last) {
            const QString type = object.value("type").toString();
            if (!builder->builder(type))
                continue;
            ++plain;
            const QString name = object.value("name").toString();
            Entity* built = iface->entity(name);
            ASSERT_NE(built, nullptr) << name.toStdString();
            if (type != "Alias")
                EXPECT_EQ(built->typeName(), builder->builder(type)->typeName()) << name.toStdString();
            EXPECT_EQ(built->command(), object.value("command").toString()) << name.toStdString();
            if (built->kind() != Entity::PropertyKind)
                continue;
            if (type != "Alias")
                EXPECT_EQ(static_cast<CVNProperty*>(built)->accessMode(),
                          AccessMode::fromText(object.value("access_mode").toString()))
                    << name.toStdString();
            if (object.contains("domain")) {
                const QJsonObject d = object.value("domain").toObject();
                EXPECT_EQ(built->describe().value("domain").toString(),
                          QStringLiteral("[%1..%2]")
                              .arg(qMin(d.value("begin").toInt(), d.value("end").toInt()))
                              .arg(qMax(d.value("begin").toInt(), d.value("end").toInt())))
                    << name.toStdString();
            }
        }
        EXPECT_GT(plain, 40);
        EXPECT_EQ(iface->entities().size(), plain);
        DeviceInterfaceView* basic = iface->view("basic");
        ASSERT_NE(basic, nullptr);
        for (const QString& name : basicMustHold)
            EXPECT_TRUE(basic->hasEntity(name)) << name.toStdString();
        EXPECT_NE(iface->view("advanced"), nullptr);
        EXPECT_NE(iface->view("corvane_link"), nullptr);
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CVNDeviceManager> manager;
    std::unique_ptr<DeviceInterfaceBuilder> builder;
    std::unique_ptr<CVNDeviceInterface> iface;

private:
    QString m_serial;
};

TEST_F(InterfaceOverSim, VastaHoldsItsDescription)
{
    start("vasta:" + Vasta + ":2.005", Vasta);
    expectDescriptionBuilt("2-2_005-hid", {"th", "gain", "thn", "thni", "dversion", "dserial", "cenable", "flogs"});
    EXPECT_EQ(run("dserial"), Vasta);
    EXPECT_EQ(run("dversion"), "2.005");
    // The build hash as the controller sends it.
    EXPECT_EQ(run("dbuild"), sim->registerValue(Vasta, "dbuild"));
    EXPECT_EQ(run("dbuild").size(), 40);
}

TEST_F(InterfaceOverSim, ReadsAreCachedUnlessMutable)
{
    start("vasta:" + Vasta + ":2.005", Vasta);
    EXPECT_EQ(run("th"), "40");
    EXPECT_EQ(property("th")->value(), QJsonValue(40));
    EXPECT_EQ(traffic("th").size(), 1);

    (void)run("tcicount");
    (void)property("tcicount")->value();
    EXPECT_EQ(traffic("tcicount").size(), 2);

    EXPECT_EQ(run("gainmax", {"3"}), "Property is not writable");
    EXPECT_EQ(traffic("gainmax").size(), 0);
}

TEST_F(InterfaceOverSim, WritesReachTheControllerAndRefreshDependents)
{
    start("vasta:" + Vasta + ":2.005", Vasta);
    EXPECT_EQ(run("th", {"50"}), "50");
    EXPECT_EQ(traffic("th").value(0), Vasta + " th 50 -> 50");
    EXPECT_EQ(traffic("thn").size(), 1);
    EXPECT_EQ(traffic("thni").size(), 1);
    EXPECT_EQ(traffic("thbound").size(), 0);  // th depends on it, not the other way

    EXPECT_EQ(run("gain", {"9"}), "7");  // the domain clamps before sending
    EXPECT_EQ(traffic("gain").last(), Vasta + " gain 7 -> 7");
    EXPECT_EQ(run("cenable", {"yes"}), "true");
    EXPECT_TRUE(traffic("cenable").last().startsWith(Vasta + " cenable 1 -> "));
    EXPECT_EQ(run("thbound", {"20", "100"}), "20 100");
    EXPECT_TRUE(traffic("thbound").last().startsWith(Vasta + " thbound 20 100 -> "));
    EXPECT_EQ(run("fmode", {"RAW"}), "raw");
    EXPECT_EQ(run("cfo"), "0 0 0");
    EXPECT_EQ(run("sversion"), "2.5");  // the settings version of the firmware
    EXPECT_EQ(traffic("sversion").size(), 1);
    EXPECT_EQ(run("nosuchword"), "unknow command");
}

TEST_F(InterfaceOverSim, DeviceErrorsAreReportedAndChangeNothing)
{
    start("vasta:" + Vasta + ":2.005", Vasta);
    EXPECT_EQ(run("th"), "40");
    // The controller refuses 300 in its own words; a later read shows what it holds.
    EXPECT_EQ(run("th", {"300"}), "error: out of range");
    EXPECT_TRUE(traffic("th").value(1).contains("error"));
    EXPECT_EQ(run("th"), "40");

    // A word the controller does not know: the read answers its words.
    auto* unknown = new DevicePropertyInt(iface.get(), "nosuch", QString(), "nosuch", AccessMode::ReadWrite);
    iface->addEntity("nosuch", unknown);
    EXPECT_EQ(run("nosuch"), "error: unknown command");
    EXPECT_EQ(unknown->value(), QJsonValue(0));

    EXPECT_EQ(run("gain", {"x"}), "Invalid argument");
    EXPECT_EQ(traffic("gain").filter(" gain x").size(), 0);

    // A fraction from the controller for an integer is no value.
    ASSERT_TRUE(sim->control({"set", Vasta, "th", "12.7"}));
    static_cast<DeviceProperty*>(property("th"))->setRequestState(DeviceProperty::Idle);
    EXPECT_EQ(run("th"), "Unknown result");
    EXPECT_EQ(static_cast<DevicePropertyInt*>(property("th"))->cachedValue(), 40);
}

TEST_F(InterfaceOverSim, FailedChannelInvalidatesTheDevice)
{
    start("vasta:" + Vasta + ":2.005", Vasta);
    QSignalSpy invalidated(iface.get(), &CVNDeviceInterface::deviceInvalidated);
    ASSERT_TRUE(sim->control({"fail", Vasta, "30"}));
    (void)property("tcicount")->value();
    ASSERT_EQ(invalidated.count(), 1);
    EXPECT_EQ(invalidated.first().first().value<CVNDevice*>(), iface->device());
    // Nothing more is sent on a channel that is gone, and a value it never
    // reported is not made up.
    EXPECT_EQ(run("th"), "error: device not open");
    EXPECT_EQ(invalidated.count(), 1);
}

TEST_F(InterfaceOverSim, TwinPointHoldsItsDescription)
{
    start("twinpoint:" + TwinPoint + ":2.005", TwinPoint);
    expectDescriptionBuilt("c-2_005-hid", {"th", "gain", "thbound", "dserial"});
    EXPECT_FALSE(iface->hasEntity("tblobrej"));
    EXPECT_EQ(run("thbound"), "10 200");
    EXPECT_EQ(run("thn", {"60"}), "50");
    EXPECT_EQ(traffic("thn").first(), TwinPoint + " thn 50 -> 50");
}

TEST_F(InterfaceOverSim, LynHoldsItsDescription)
{
    start("lyn:" + Lyn + ":2.003", Lyn);
    expectDescriptionBuilt("4-2_003-hid", {"th", "gain", "thbound", "dmode"});
    EXPECT_FALSE(iface->hasEntity("tune_vasta"));
    EXPECT_FALSE(iface->view("corvane_link")->hasEntity("tune_vasta"));
    EXPECT_EQ(run("dversion"), "2.003");
    EXPECT_EQ(run("fmode", {"raw"}), "raw");
    EXPECT_EQ(traffic("fmode").first(), Lyn + " fmode raw -> raw");
}

}  // namespace
