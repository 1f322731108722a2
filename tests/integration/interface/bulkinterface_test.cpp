// A controller driven over its bulk channel gives the answers it gives over
// HID: once with a description resource for its bulk interface, once
// described by the controller itself. The same commands run on a HID-only
// twin and on the bulk-only controller, both in a corvane-sim process.
#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacebulk.h"

#include "simprocess.h"

#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int WaitMs = 10000;
const QString OverHid = QStringLiteral("0200000001A3");
const QString OverBulk = QStringLiteral("0200000001A4");

struct Command {
    const char* word;
    QStringList arguments;
};

// Reads, writes (clamped, refused by the property, refused by the
// controller), function calls; in this order on a fresh controller.
const QList<Command> Commands = {
    { "th", {} }, { "gain", {} }, { "thn", {} }, { "thbound", {} }, { "cfo", {} }, { "cenable", {} },
    { "fmode", {} }, { "dversion", {} }, { "tcenable", {} }, { "fsize", {} }, { "flogs", {} }, { "csize", {} },
    { "dmode", {} }, { "dserial", {} },
    { "th", { "45" } }, { "th", {} }, { "gain", { "9" } }, { "gain", { "-1" } }, { "thbound", { "5", "100" } },
    { "thbound", { "5", "300" } }, { "thbound", { "5" } }, { "cfo", { "1", "2", "3" } }, { "cenable", { "yes" } },
    { "cenable", { "on" } }, { "fmode", { "RAW" } }, { "fmode", { "fast" } }, { "dmode", { "pen", "only" } },
    { "th", { "abc" } }, { "fsize", { "1", "2" } }, { "dserial", { "x" } }, { "tcenable", { "2.6" } },
    { "ssave", {} }, { "fpsnr", {} }, { "dreset", { "sideways" } }, { "nosuch", {} },
};

class BulkLikeHid : public ::testing::Test
{
protected:
    void start()
    {
        sim = std::make_unique<SimProcess>(QStringList { "vasta:" + OverHid + ":2.005",
            "vasta:" + OverBulk + ":2.005,bulk=only,dserial=0200000001A3" });
        ASSERT_TRUE(sim->isRunning());
        qputenv("CORVANE_SIM_SOCKET", sim->socketPath().toLocal8Bit());
        manager = std::make_unique<CVNDeviceManager>();
        QSignalSpy inserted(manager.get(), &CVNDeviceManager::deviceInserted);
        manager->start();
        for (int i = 0; i < WaitMs / 100 && !(manager->device(OverHid) && manager->device(OverBulk)); ++i)
            inserted.wait(100);
        ASSERT_TRUE(manager->device(OverHid) && manager->device(OverBulk));
        CVNDevice* hid = manager->device(OverHid)->child(CVNDeviceKind::Hid);
        CVNDevice* bulk = manager->device(OverBulk)->child(CVNDeviceKind::Bulk);
        ASSERT_TRUE(hid && bulk);
        builder = std::make_unique<DeviceInterfaceBuilder>();
        hidInterface.reset(builder->build(hid));
        bulkInterface.reset(builder->build(bulk));
        ASSERT_TRUE(hidInterface && bulkInterface);
        ASSERT_NE(qobject_cast<CVNDeviceInterfaceBulk*>(bulkInterface.get()), nullptr);
    }

    void TearDown() override
    {
        hidInterface.reset();
        bulkInterface.reset();
        manager.reset();
        sim.reset();
        qunsetenv("CORVANE_SIM_SOCKET");
    }

    void expectSameAnswers()
    {
        QStringList answers;
        for (const Command& c : Commands) {
            const QString overHid = hidInterface->executeCommand(c.word, c.arguments);
            const QString overBulk = bulkInterface->executeCommand(c.word, c.arguments);
            EXPECT_EQ(overBulk, overHid) << c.word << ' ' << qPrintable(c.arguments.join(' '));
            answers.append(overHid);
        }
        // The answers are the controller's, not empty agreement.
        EXPECT_EQ(answers.mid(0, 4), (QStringList { "40", "3", "20", "10 200" }));
        EXPECT_EQ(answers.mid(14, 7), (QStringList { "45", "45", "7", "0", "5 100", "error: out of range", "invalid arguments" }));
        EXPECT_EQ(answers.mid(31), (QStringList { "ok", "42", "error: invalid argument", "unknow command" }));
        for (const QString& word : { "th", "gain", "thbound", "cfo", "cenable", "fmode", "dmode", "tcenable" })
            EXPECT_EQ(sim->registerValue(OverBulk, word), sim->registerValue(OverHid, word)) << qPrintable(word);
        EXPECT_TRUE(sim->trafficHas(OverBulk + " cfo 1 2 3 -> 1 2 3"));
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CVNDeviceManager> manager;
    std::unique_ptr<DeviceInterfaceBuilder> builder;
    std::unique_ptr<CVNDeviceInterface> hidInterface;
    std::unique_ptr<CVNDeviceInterface> bulkInterface;
};

} // namespace

TEST_F(BulkLikeHid, SelfDescribedController)
{
    start();
    EXPECT_TRUE(sim->trafficHas(OverBulk + " metadata view all -> {"));
    expectSameAnswers();
}

TEST_F(BulkLikeHid, ControllerWithADescriptionOfItsBulkInterface)
{
    // A hand-made resource index, kept as it is because of the plain value
    // of the same name: the bulk interface gets the HID description.
    const QString resource = QStringLiteral(":/devices-interfaces-resources/2-2_005-hid.json");
    QSettings settings;
    settings.setValue("DeviceInterfaceBuilder", "kept");
    settings.beginGroup("DeviceInterfaceBuilder");
    settings.setValue("2-2_005-hid", resource);
    settings.setValue("2-2_005-bulk", resource);
    settings.endGroup();
    settings.sync();
    start();
    EXPECT_FALSE(sim->trafficHas(OverBulk + " metadata"));
    EXPECT_EQ(bulkInterface->entities().size(), hidInterface->entities().size());
    EXPECT_NE(bulkInterface->entity("infinity"), nullptr); // an alias only the description has
    expectSameAnswers();
}
