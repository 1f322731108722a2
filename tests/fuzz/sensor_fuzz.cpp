// Arbitrary bytes through everything of the sensor features that reads
// untrusted input: the line analyses of frames and foil health bitmaps of
// any size, frame info texts, cell masks from reply bytes and structured
// writes, the picture encoder, refusal detection of block answers, and on
// the simulator's side the foil damage keys and the sensor commands.
#include "properties/cellmask.h"
#include "properties/devicepropertyenabledisablecells.h"
#include "properties/framegeometry.h"
#include "properties/framepng.h"
#include "properties/hidblockexchange.h"
#include "properties/lineanalysis.h"

#include "commandreport.h"
#include "foildamage.h"
#include "registercatalog.h"
#include "registertable.h"
#include "sensorfunctions.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

// Sizes around and beyond the sensor limits, most of them small enough to
// keep each run fast.
int side(FuzzedDataProvider& in)
{
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-2, 300) : in.ConsumeIntegral<int>();
}

void analyses(FuzzedDataProvider& in)
{
    const int width = side(in);
    const int height = side(in);
    const QByteArray bytes = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    const CVNLineAnalysis frame = CVNLineAnalysis::ofFrame(bytes, width, height);
    const CVNLineAnalysis health = CVNLineAnalysis::ofHealthBitmap(bytes, width, height);
    for (int i : frame.damagedColumns() + health.damagedColumns()) {
        if (i < 0 || i >= width)
            abort();
    }
    for (int i : frame.damagedRows() + health.damagedRows()) {
        if (i < 0 || i >= height)
            abort();
    }
    const CVNCellMask mask = CVNCellMask::fromBytes(width, height, bytes);
    if (mask.toBytes().size() != (mask.cellCount() + 7) / 8)
        abort();
    if (width <= 64 && height <= 64)
        (void)CVNFramePng::encode(bytes, width, height);
}

void texts(FuzzedDataProvider& in)
{
    const int modeIndex = in.ConsumeIntegralInRange<int>(-2, 8);
    const QByteArray header = QByteArray::fromStdString(in.ConsumeRandomLengthString(8));
    const QByteArray rest = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    CVNFrameGeometry geometry;
    if (CVNFrameGeometry::parseInfo(QString::fromLatin1(rest), modeIndex, &geometry) == CVNFrameGeometry::InfoResult::Ok
        && (!geometry.isValid() || geometry.transferLength() <= geometry.cells()))
        abort();
    QString refusal;
    (void)CVNHidBlockExchange::isRefusal(rest, header, &refusal);

    corvanesim::FoilDamage damage;
    QString error;
    (void)corvanesim::parseFoilKey(QStringLiteral("deadcols"), QString::fromLatin1(rest), &damage, &error);
    (void)damage.fits(168, 96, &error);
}

void maskChanges(FuzzedDataProvider& in)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
    CVNCellMask mask(168, 96);
    DevicePropertyEnableDisableCells::applyChanges(&mask, document.object());
    if (mask.toBytes().size() != 2016)
        abort();
}

void sensorCommands(FuzzedDataProvider& in)
{
    using namespace corvanesim;
    static CVNRegisterTable registers(registerCatalog(2, 0x0205, QStringLiteral("0200000001A3")), LiveSources());
    static qint64 now = 0;
    static CVNSensorFunctions sensor(&registers, [] { return now; }, [] { return QList<Contact>(); });
    now += in.ConsumeIntegralInRange<int>(0, 2000);
    const char* words[] = {"fec", "foilh", "frirf", "fsize"};
    CommandReport command;
    command.word = QByteArray(words[in.ConsumeIntegralInRange<int>(0, 3)]).leftJustified(8, '\0');
    command.block = QByteArray::fromStdString(in.ConsumeBytesAsString(64)).leftJustified(64, '\0');
    if (command.word.startsWith("fsize")) {
        // Any grid the register may be preset to.
        (void)registers.preset(QStringLiteral("fsize"), QString::fromLatin1(command.block.left(9)), nullptr);
        return;
    }
    QByteArray answer;
    if (sensor.command(command, &answer) && answer.size() != 64)
        abort();
    const TransferResult report = sensor.input(9, in.ConsumeIntegralInRange<int>(1, 4096));
    (void)report;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_sensor";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        qInstallMessageHandler(quietHandler);
        return new QCoreApplication(argc, argv);
    }();
    (void)app;

    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        analyses(in);
        break;
    case 1:
        texts(in);
        break;
    case 2:
        maskChanges(in);
        break;
    default:
        sensorCommands(in);
        break;
    }
    return 0;
}
