// The sensor properties built from the shipped descriptions and run against
// a simulated controller in this process: frames, cell mask, blob
// rejection, shield levels, foil health and grid test, through the
// service's own HID device and exchanges.
#include "eventwait.h"
#include "inprocesscontroller.h"

#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacehid.h"
#include "properties/devicepropertyblobrejection.h"
#include "properties/devicepropertyenabledisablecells.h"
#include "properties/devicepropertyfoilh.h"
#include "properties/devicepropertyframe.h"
#include "properties/devicepropertygridtest.h"
#include "properties/devicepropertyshield.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>

#include <functional>

namespace
{

const QString kVasta = QStringLiteral("vasta:0200000001A3:2.005");
const QString kDamagedVasta = kVasta + QStringLiteral(",gain=5,capmode=2,deadcols=60,brokenrows=5");

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 8000)
{
    return waitUntil(condition, timeoutMs);
}

// Counts notifications and notes the controller's test settings at each.
struct FrameWatch : CVNPropertyObserver
{
    explicit FrameWatch(InProcessController& c) : c(c) {}
    void propertyChanged(CVNProperty*) override
    {
        settings.append(c.reg("gain") + QLatin1Char(' ') + c.reg("capmode") + QLatin1Char(' ') + c.reg("fmode"));
    }
    void propertyDestroyed(CVNProperty*) override {}
    InProcessController& c;
    QStringList settings;
};

} // namespace

TEST(FrameProperty, OneFrameInFourInputReportsAsAGreyPicture)
{
    InProcessController c(kDamagedVasta);
    auto* frame = c.entity<DevicePropertyFrame>("frame");
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->value().isNull());
    frame->setValue(QJsonValue(true));

    EXPECT_EQ(c.handle->inputReports, 4);
    EXPECT_EQ(c.exchanges("frirf").size(), 1);
    EXPECT_EQ(frame->frameSize(), QSize(168, 96));
    EXPECT_EQ(frame->transferLength(), 4 * 4032 + 1);
    EXPECT_EQ(frame->describe().value("size").toObject().value("width").toInt(), 168);
    const QByteArray cells = frame->frameBytes();
    ASSERT_EQ(cells, c.controller->sensor().sendingFrame());
    for (int y = 0; y < 96; ++y)
        ASSERT_EQ(cells.at(y * 168 + 60), '\0') << "dead column reads 0";

    const QImage image = QImage::fromData(QByteArray::fromBase64(frame->value().toString().toLatin1()), "PNG");
    ASSERT_EQ(image.size(), QSize(672, 384));
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x)
            ASSERT_EQ(grey.constScanLine(y)[x], uchar(cells.at(y / 4 * 168 + x / 4))) << x << "," << y;
    }
}

TEST(FrameProperty, PollsWhileObservedAndKeepsThePictureOnFailedReports)
{
    InProcessController c(kVasta);
    auto* frame = c.entity<DevicePropertyFrame>("frame");
    FrameWatch watch(c);
    frame->addObserver(&watch);
    EXPECT_TRUE(frame->isPolling());
    ASSERT_TRUE(waitFor([&] { return watch.settings.size() >= 3; }));

    // Frames switched off: reports fail, the last picture stays, the
    // channel stays open.
    const QJsonValue last = frame->value();
    ASSERT_TRUE(c.controller->registers().preset("frirf", "0", nullptr));
    const int seen = watch.settings.size();
    const int reports = c.handle->inputReports;
    ASSERT_TRUE(waitFor([&] { return c.handle->inputReports > reports + 20; }));
    EXPECT_EQ(watch.settings.size(), seen);
    EXPECT_EQ(frame->value(), last);
    EXPECT_TRUE(c.parent->isOpen());

    frame->removeObserver(&watch);
    EXPECT_FALSE(frame->isPolling());
}

TEST(FrameProperty, ReportsOfAnotherIdOrLengthAreNoFrame)
{
    InProcessController c(kVasta);
    auto* frame = c.entity<DevicePropertyFrame>("frame");
    frame->setValue(QJsonValue(1));
    const QByteArray first = frame->frameBytes();
    ASSERT_EQ(first.size(), 168 * 96);
    FrameWatch watch(c);
    frame->addObserver(&watch);
    const std::function<void(QByteArray&)> tampers[] = {
        [](QByteArray& report) { report[0] = 7; },
        [](QByteArray& report) { report.chop(1); },
        [](QByteArray& report) { report.append('x'); },
    };
    for (const auto& tamper : tampers) {
        c.handle->tamperInput = tamper;
        const int reports = c.handle->inputReports;
        ASSERT_TRUE(waitFor([&] { return c.handle->inputReports > reports + 2; }));
        EXPECT_TRUE(watch.settings.isEmpty());
        EXPECT_EQ(frame->frameBytes(), first);
    }
    frame->removeObserver(&watch);
    EXPECT_TRUE(c.parent->isOpen());
}

TEST(FrameProperty, InfoTextsAndRefusedBindings)
{
    InProcessController c(kVasta);
    // The same controller once more, described with an info text and a
    // size bound to a property of the wrong class.
    const QJsonObject description = QJsonDocument::fromJson(R"({
      "entities": [
        {"name": "fcolsf", "type": "String", "command": "fcolsf", "access_mode": "read_mutable"},
        {"name": "fmode", "type": "Enum", "command": "fmode", "values": ["normal", "raw"]},
        {"name": "gain", "type": "int", "command": "gain"},
        {"name": "frame", "type": "Frame", "access_mode": "read_mutable", "size": {"width": 168, "height": 96},
         "symbols_extra": {"info": "fcolsf", "mode": "fmode"}},
        {"name": "bad_frame", "type": "Frame", "command": "badframe", "access_mode": "read_mutable",
         "size": {"width": 168, "height": 96}, "symbols_extra": {"size": "gain"}}
      ],
      "views": [{"name": "basic", "entities": ["frame", "bad_frame"]}]})").object();
    auto iface = std::make_unique<CVNDeviceInterfaceHid>(c.hid);
    ASSERT_TRUE(c.builder->populate(iface.get(), description));
    auto* frame = dynamic_cast<DevicePropertyFrame*>(iface->entity("frame"));
    auto* bad = dynamic_cast<DevicePropertyFrame*>(iface->entity("bad_frame"));
    ASSERT_TRUE(frame && bad);

    EXPECT_FALSE(bad->isUsable());
    EXPECT_EQ(iface->executeCommand("badframe", QStringList()), bad->unusableReason());
    bad->setValue(QJsonValue(1));
    FrameWatch watch(c);
    bad->addObserver(&watch);
    EXPECT_FALSE(bad->isPolling());
    EXPECT_EQ(c.handle->inputReports, 0);
    bad->removeObserver(&watch);

    struct Case {
        const char* info;
        const char* mode;
        QSize size;
        int bytesPerCell;
    };
    const Case cases[] = {
        {"168 96 1 2", "raw", {168, 96}, 2},
        {"56 32 1 1", "normal", {56, 32}, 1},
        {"168 96", "normal", {56, 32}, 1}, // malformed: unchanged
        {"0 96 1 1", "normal", {56, 32}, 1},
        {"100000 96 1 1", "normal", {56, 32}, 1},
        {"168 96 3 9", "raw", {56, 32}, 1},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(c.controller->registers().preset("fcolsf", k.info, nullptr));
        ASSERT_TRUE(c.controller->registers().preset("fmode", k.mode, nullptr));
        frame->computeGeometry();
        EXPECT_EQ(frame->frameSize(), k.size) << k.info;
        EXPECT_EQ(frame->bytesPerCell(), k.bytesPerCell) << k.info;
    }
    ASSERT_TRUE(c.controller->registers().preset("fcolsf", "168 96 1 2", nullptr));
    ASSERT_TRUE(c.controller->registers().preset("fmode", "raw", nullptr));
    frame->computeGeometry();
    EXPECT_EQ(frame->transferLength(), 4 * 2 * 4032 + 1);
    ASSERT_TRUE(c.controller->registers().preset("fsize", "168 96", nullptr));
    frame->setValue(QJsonValue(1));
    EXPECT_EQ(frame->frameBytes().size(), 168 * 96);
}

TEST(CellMaskProperty, CommandsRoundTripThroughFecBlocks)
{
    InProcessController c(kVasta);
    auto* cells = c.entity<DevicePropertyEnableDisableCells>("enable_disable_cells");
    ASSERT_NE(cells, nullptr);
    const QString cmd = QStringLiteral("enable-disable-cells");

    EXPECT_EQ(c.run(cmd, {"row", "5", "0"}), "row is disabled");
    const QStringList fec = c.exchanges("fec");
    ASSERT_EQ(fec.size(), 68); // 34 blocks read, 34 written
    EXPECT_TRUE(fec.first().startsWith("fec bg00 ")) << fec.first().toStdString();
    EXPECT_TRUE(fec.at(33).startsWith("fec bg33 "));
    EXPECT_TRUE(fec.at(34).startsWith("fec bs00"));
    EXPECT_TRUE(fec.last().startsWith("fec bs33"));
    const QByteArray held = c.controller->sensor().mask();
    for (int x = 0; x < 168; ++x) {
        const int i = 5 * 168 + x;
        ASSERT_EQ((quint8(held.at(i / 8)) >> (i % 8)) & 1, 0);
    }

    struct Case {
        QStringList words;
        const char* answer;
    };
    const Case cases[] = {
        {{"row", "5"}, "row is disabled"},
        {{"col", "7"}, "col is mixed"},
        {{"cells", "0", "0", "168", "10"}, "invalid arguments"},
        {{"cells", "160", "90", "20", "40", "false"}, "cells is disabled"},
        {{"cells", "160", "90", "7", "5"}, "cells is disabled"},
        {{"cells", "0", "0", "4", "4", "maybe"}, "invalid arguments"},
        {{"col", "168", "1"}, "invalid arguments"},
        {{"row", "-1", "1"}, "invalid arguments"},
        {{"row", "x"}, "invalid arguments"},
        {{"rows", "1"}, "invalid arguments"},
        {{"cells", "1", "2", "3"}, "invalid arguments"},
        {{"reset", "now"}, "invalid arguments"},
        {{"col", "167", "Enable"}, "col is enabled"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(c.run(cmd, k.words), k.answer) << k.words.join(' ').toStdString();

    // Read back from the controller, not from the cache.
    cells->setRequestState(DeviceProperty::Idle);
    const QJsonObject read = cells->value().toObject();
    EXPECT_EQ(read.value("rows").toArray().at(5).toInt(), 2); // column 167 enabled again
    EXPECT_FALSE(read.value("frame").toObject().value("data").toArray().at(5).toArray().at(0).toBool());
    EXPECT_EQ(read.value("rows").toArray().at(4).toInt(), 1);
    EXPECT_EQ(read.value("rows").toArray().at(90).toInt(), 2);
    EXPECT_EQ(read.value("cols").toArray().at(7).toInt(), 2);
    EXPECT_EQ(read.value("frame").toObject().value("data").toArray().at(95).toArray().at(165).toBool(), false);
    EXPECT_EQ(read.value("frame").toObject().value("size").toObject().value("width").toInt(), 168);

    EXPECT_EQ(c.run(cmd, {"reset"}), "All cells are enable");
    EXPECT_EQ(c.controller->sensor().mask().left(2016), QByteArray(2016, char(0xFF)));

    // Structured writes: rectangles clipped to the grid, lines by number.
    cells->setValue(QJsonObject{
        {"cells", QJsonObject{{"action", "disable"},
                              {"value", QJsonArray{QJsonObject{{"origin", QJsonObject{{"x", -5}, {"y", -5}}},
                                                               {"size", QJsonObject{{"width", 8}, {"height", 7}}}},
                                                   QJsonObject{{"origin", QJsonObject{{"x", 2000000000}, {"y", 1}}},
                                                               {"size", QJsonObject{{"width", 2000000000}, {"height", 1}}}}}}}},
        {"cols", QJsonArray{QJsonObject{{"col", 100}, {"action", "0"}}, QJsonObject{{"col", 9999}, {"action", "0"}}}},
        {"rows", QJsonArray{QJsonObject{{"row", 50}, {"action", "false"}}, QJsonObject{{"row", "x"}, {"action", "0"}}}},
    });
    cells->setRequestState(DeviceProperty::Idle);
    (void)cells->value();
    const CVNCellMask mask = cells->mask();
    EXPECT_FALSE(mask.isEnabled(2, 1));
    EXPECT_TRUE(mask.isEnabled(3, 2));
    EXPECT_EQ(mask.columnState(100), CVNCellMask::Disabled);
    EXPECT_EQ(mask.rowState(50), CVNCellMask::Disabled);
    EXPECT_EQ(mask.rowState(51), CVNCellMask::Mixed);
    cells->setValue(QJsonObject{{"reset", true}});
    EXPECT_EQ(cells->mask().state(QRect(0, 0, 168, 96)), CVNCellMask::Enabled);
}

TEST(CellMaskProperty, RefusedTransfersKeepTheMaskAndSayWhy)
{
    InProcessController c(kVasta);
    auto* cells = c.entity<DevicePropertyEnableDisableCells>("enable_disable_cells");
    ASSERT_TRUE(cells->readMask());
    c.handle->tamper = [](QByteArray& report) {
        if (report.mid(1, 3) == "fec")
            report.replace(9, 25, QByteArray("error: flash busy\0\0\0\0\0\0\0\0", 25));
    };
    EXPECT_EQ(c.run("enable-disable-cells", {"row", "3", "0"}), "error: flash busy");
    EXPECT_EQ(cells->mask().rowState(3), CVNCellMask::Enabled);
}

TEST(BlobRejection, LevelsWriteAndReadBackThroughTheCompanions)
{
    InProcessController c(kVasta);
    EXPECT_EQ(c.run("blob-rejection"), "0");
    EXPECT_EQ(c.run("blob-rejection", {"3"}), "3");
    EXPECT_EQ(c.reg("tblobrej"), "1");
    EXPECT_EQ(c.reg("tblobdis"), "333 333");
    EXPECT_EQ(c.reg("tblobth"), "5");
    EXPECT_EQ(c.reg("tdelayn"), "4"); // raised from 2 to the minimum 4

    ASSERT_TRUE(c.controller->registers().preset("tblobdis", "50 50", nullptr));
    c.iface->refreshAll();
    EXPECT_EQ(c.run("blob-rejection"), "1");
    ASSERT_TRUE(c.controller->registers().preset("tblobdis", "777 777", nullptr));
    c.iface->refreshAll();
    EXPECT_EQ(c.entity<DevicePropertyBlobRejection>("blob_rejection")->value().toInt(), 7);

    for (const QStringList& words : {QStringList{"x"}, QStringList{"1", "2"}, QStringList{"2.5"}})
        EXPECT_EQ(c.run("blob-rejection", words), "invalid arguments");
    EXPECT_EQ(c.run("blob-rejection", {"0"}), "0");
    EXPECT_EQ(c.reg("tblobrej"), "0");
    EXPECT_EQ(c.run("blob-rejection", {"42"}), "10");
    EXPECT_EQ(c.reg("tblobdis"), "1110 1110");
}

TEST(BlobRejection, LynFirmware2UsesItsOwnDistances)
{
    InProcessController c(QStringLiteral("lyn:0400000001B4:2.005"));
    EXPECT_EQ(c.run("blob-rejection", {"9"}), "9");
    EXPECT_EQ(c.reg("tblobdis"), "1500 750");
    EXPECT_EQ(c.reg("tblobth"), "4");
    c.iface->refreshAll();
    EXPECT_EQ(c.run("blob-rejection"), "9");
}

TEST(ShieldLevels, RowsWriteAndReadBackAsTheTablesSay)
{
    InProcessController c(kVasta);
    EXPECT_EQ(c.run("shield", {"5"}), "5");
    EXPECT_EQ(c.reg("tdelayn") + c.reg("tidlee") + c.reg("bmode") + c.reg("tcstrong"), "4231");
    c.iface->refreshAll();
    EXPECT_EQ(c.run("shield"), "5");

    // Changed by hand to no row of the table: custom.
    ASSERT_TRUE(c.controller->registers().preset("tidlee", "77", nullptr));
    c.iface->refreshAll();
    EXPECT_EQ(c.run("shield"), "-1");
    const int tidleeWrites = c.exchanges("tidlee").size();
    EXPECT_EQ(c.run("shield", {"-1"}), "-1");
    EXPECT_EQ(c.exchanges("tidlee").size(), tidleeWrites);

    // Out of the table: level 0, whose delay follows blob rejection (off).
    EXPECT_EQ(c.run("shield", {"9"}), "0");
    EXPECT_EQ(c.reg("tdelayn") + c.reg("tidlee") + c.reg("bmode") + c.reg("tcstrong"), "0010");
    for (const QStringList& words : {QStringList{"x"}, QStringList{"1", "2"}})
        EXPECT_EQ(c.run("shield", words), "invalid arguments");

    ASSERT_TRUE(c.controller->registers().preset("fphysc", "small size", nullptr));
    c.iface->refreshAll();
    EXPECT_EQ(c.run("shield", {"6"}), "6");
    EXPECT_EQ(c.reg("tdelayn") + c.reg("tidlee") + c.reg("bmode") + c.reg("tcstrong"), "8430");
    EXPECT_EQ(c.entity<DevicePropertyShieldVasta>("shield_vasta")->describe().value("domain").toString(), "[-1..6]");
}

TEST(ShieldLevels, LynAndTwinPointTables)
{
    InProcessController lyn(QStringLiteral("lyn:0400000001B4:2.003,tblobrej=1,tdelayn=9"));
    EXPECT_EQ(lyn.run("shield", {"0"}), "0");
    EXPECT_EQ(lyn.reg("tdelayn"), "0");
    EXPECT_EQ(lyn.reg("tidlee"), "0");

    InProcessController twin(QStringLiteral("twinpoint:0C00000001C5:2.005"));
    EXPECT_EQ(twin.run("shield", {"5"}), "5");
    EXPECT_EQ(twin.reg("tdelayn") + twin.reg("tidlee") + twin.reg("bmode") + twin.reg("tcstrong"), "6431");
    twin.iface->refreshAll();
    EXPECT_EQ(twin.run("shield"), "5");
}

TEST(FoilHealth, FindsTheDamagedLinesInTheControllersResult)
{
    InProcessController c(kDamagedVasta);
    auto* foil = c.entity<DevicePropertyFoilh>("foil_health");
    ASSERT_NE(foil, nullptr);
    QSignalSpy finished(foil, &DevicePropertyFoilh::testFinished);
    EXPECT_EQ(c.run("foilh", {"start"}), "start");
    EXPECT_EQ(foil->testState(), DevicePropertyFoilh::TestState::Running);
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_TRUE(finished.first().first().toBool());

    const QJsonObject value = foil->value().toObject();
    EXPECT_EQ(value.value("damaged_cols").toArray(), QJsonArray{60});
    EXPECT_EQ(value.value("damaged_rows").toArray(), QJsonArray{5});
    EXPECT_EQ(value.value("state").toString(), "done");
    EXPECT_GE(c.exchanges("foilh").filter(QRegularExpression("^foilh status ")).size(), 2);
    const QStringList blocks = c.exchanges("foilh").filter(QRegularExpression("^foilh bg[0-9][0-9]"));
    ASSERT_EQ(blocks.size(), 34);
    EXPECT_TRUE(blocks.last().startsWith("foilh bg33"));

    for (const QStringList& words : {QStringList{"bogus"}, QStringList{"start", "now"}, QStringList{}})
        EXPECT_EQ(c.run("foilh", words), "Invalid arguments");

    // Re-reading every property only asks for the status: no test restarts.
    c.iface->refreshAll();
    EXPECT_EQ(c.exchanges("foilh").filter(QRegularExpression("^foilh start ")).size(), 1);
    EXPECT_TRUE(c.exchanges("foilh").last().startsWith("foilh status "));
    EXPECT_EQ(foil->testState(), DevicePropertyFoilh::TestState::Done);
}

TEST(FoilHealth, AStatusThatStaysRunningIsBounded)
{
    InProcessController c(kVasta);
    auto* foil = c.entity<DevicePropertyFoilh>("foil_health");
    foil->setMaxRunMs(1500);
    // A controller whose test never ends.
    c.handle->tamper = [](QByteArray& report) {
        if (report.mid(1, 5) == "foilh" && report.at(9) >= '0' && report.at(9) <= '9')
            report[9] = '2';
    };
    QSignalSpy finished(foil, &DevicePropertyFoilh::testFinished);
    ASSERT_TRUE(foil->startTest());
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }, 6000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_EQ(foil->testState(), DevicePropertyFoilh::TestState::Failed);
    EXPECT_TRUE(foil->failureText().contains("did not end in time"));
    EXPECT_TRUE(c.traffic.last().startsWith("foilh stop "));
    EXPECT_EQ(foil->value().toObject().value("state").toString(), "failed");

    // A status that cannot be read at all ends it sooner.
    c.handle->tamper = [](QByteArray& report) {
        if (report.mid(1, 5) == "foilh" && report.at(9) >= '0' && report.at(9) <= '9')
            report.replace(9, 12, QByteArray("error: busy\0", 12));
    };
    foil->setMaxRunMs(60000);
    ASSERT_TRUE(foil->startTest());
    ASSERT_TRUE(waitFor([&] { return finished.size() == 2; }, 6000));
    EXPECT_TRUE(foil->failureText().contains("not readable: error: busy"));
}

TEST(GridTest, TheTwentyFifthFrameIsAnalysedAndTheSettingsComeBack)
{
    InProcessController c(kDamagedVasta);
    auto* grid = c.entity<DevicePropertyGridTest>("grid_test");
    auto* frame = c.entity<DevicePropertyFrame>("frame");
    ASSERT_TRUE(grid && frame);
    EXPECT_EQ(c.run("grid-test", {"status"}), "Please start the test first");
    EXPECT_EQ(c.run("grid-test", {"go"}), "Invalid arguments");
    QSignalSpy finished(grid, &DevicePropertyGridTest::testFinished);

    EXPECT_EQ(c.run("grid-test", {"start"}), "Grid Test started");
    EXPECT_EQ(c.reg("gain") + c.reg("capmode") + c.reg("fmode"), "00raw");
    EXPECT_EQ(c.run("grid-test", {"status"}), "Grid Test running");
    FrameWatch watch(c);
    frame->addObserver(&watch);
    // A second start while it runs keeps the settings saved first.
    EXPECT_EQ(c.run("grid-test", {"start"}), "Grid Test started");
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    frame->removeObserver(&watch);

    EXPECT_TRUE(finished.first().first().toBool());
    EXPECT_EQ(c.run("grid-test", {"status"}), "Damaged Cols: 60 Damaged Rows: 5 ");
    EXPECT_EQ(c.reg("gain") + " " + c.reg("capmode") + " " + c.reg("fmode"), "5 2 normal");
    // Frames 1..24 under the test settings, the 25th restores them.
    const int restoredAt = watch.settings.indexOf("5 2 normal");
    ASSERT_GT(restoredAt, 0);
    const QStringList during = watch.settings.mid(0, restoredAt);
    EXPECT_EQ(QSet<QString>(during.begin(), during.end()), QSet<QString>{"0 0 raw"});
    EXPECT_FALSE(frame->isPolling());
    const QJsonObject value = grid->value().toObject();
    EXPECT_EQ(value.value("damaged_cols").toArray(), QJsonArray{60});
    EXPECT_EQ(value.value("damaged_rows").toArray(), QJsonArray{5});
    EXPECT_EQ(value.value("size").toObject().value("height").toInt(), 96);

    InProcessController healthy(kVasta);
    auto* healthyGrid = healthy.entity<DevicePropertyGridTest>("grid_test");
    QSignalSpy healthyDone(healthyGrid, &DevicePropertyGridTest::testFinished);
    healthyGrid->setValue(QJsonObject{{"action", "init"}});
    ASSERT_TRUE(waitFor([&] { return healthyDone.size() == 1; }));
    EXPECT_EQ(healthy.run("grid-test", {"status"}), "Rows: OK, Cols: OK");
}

// The frames stop (command channel still working) or the controller goes
// mid-test: the test fails, and the settings come back where they can.
TEST(GridTest, FramesStoppingOrTheControllerGoingFailTheTest)
{
    struct Case {
        const char* name;
        std::function<void(InProcessController&)> fault;
        const char* failure;
        const char* settings;
        bool open;
    };
    const Case cases[] = {
        {"frames stop", [](InProcessController& c) { ASSERT_TRUE(c.controller->registers().preset("frirf", "0", nullptr)); },
         "gain, capmode and fmode restored", "5 2 normal", true},
        // Unplugged: every transfer fails from now on, nothing reaches the controller.
        {"unplugged", [](InProcessController& c) { c.handle->close(); }, "could not be restored", "0 0 raw", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        InProcessController c(kDamagedVasta);
        auto* grid = c.entity<DevicePropertyGridTest>("grid_test");
        grid->setFrameWaitMs(300);
        QSignalSpy finished(grid, &DevicePropertyGridTest::testFinished);
        ASSERT_TRUE(grid->startTest());
        ASSERT_TRUE(waitFor([&] { return grid->framesSeen() >= 3; }));
        k.fault(c);
        ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
        EXPECT_FALSE(finished.first().first().toBool());
        EXPECT_EQ(c.parent->isOpen(), k.open);
        EXPECT_TRUE(grid->failureText().contains(k.failure)) << grid->failureText().toStdString();
        EXPECT_EQ(c.reg("gain") + " " + c.reg("capmode") + " " + c.reg("fmode"), k.settings);
        EXPECT_EQ(grid->value().toObject().value("state").toString(), "failed");
        if (k.open)
            EXPECT_TRUE(c.run("grid-test", {"status"}).startsWith("Grid Test failed: no frame for 300 ms"));
    }
}

TEST(GridTest, AStoppingServiceRestoresDirectly)
{
    InProcessController c(kDamagedVasta);
    auto* grid = c.entity<DevicePropertyGridTest>("grid_test");
    ASSERT_TRUE(grid->startTest());
    ASSERT_TRUE(waitFor([&] { return grid->framesSeen() >= 3; }));
    c.iface.reset(); // the interface goes while the controller stays
    EXPECT_EQ(c.reg("gain") + " " + c.reg("capmode") + " " + c.reg("fmode"), "5 2 normal");
}
