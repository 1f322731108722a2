// The calibration parsers on hostile input, both sides: the zone block of a
// controller's answer and the words, JSON values and mapping of the service;
// the simulator's zone blocks and border arguments as a host could send
// them. Whatever the bytes, nothing may crash, and what the service accepts
// must be something a controller can store and read back.
#include "properties/calibrationblock.h"
#include "properties/calibrationcommand.h"
#include "properties/calibrationmap.h"
#include "properties/calibrationvalue.h"
#include "properties/calibrationzonetext.h"

#include "bordersettings.h"
#include "calibrationzones.h"

#include <QJsonDocument>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A zone the service lets through must survive the trip to the controller.
void checkStorable(const CVNCalibrationZone& zone)
{
    check(zone.isStorable());
    QByteArray block = CVNCalibrationBlock::emptyBlock();
    CVNCalibrationBlock::layMarker(block, CVNCalibrationBlock::Marker::Write);
    CVNCalibrationBlock::layZone(block, zone);
    check(block.size() == CVNCalibrationBlock::Size);
    CVNCalibrationZone back;
    if (CVNCalibrationBlock::readZone(block, &back))
        check(back.rectangle == zone.rectangle);
}

void replyBlock(const QByteArray& bytes)
{
    CVNCalibrationZone zone;
    if (CVNCalibrationBlock::readZone(bytes, &zone)) {
        check(CVNCalibrationZone::isStorableMatrix(zone.transform));
        (void)CVNCalibrationZoneText::all({zone});
        (void)CVNCalibrationMap({zone}).map(QPointF(zone.rectangle.center()));
    }
    (void)CVNCalibrationBlock::errorText(bytes);
}

void words(const QString& text)
{
    const CVNCalibrationCommand command =
        CVNCalibrationCommand::parse(text.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(0, 32));
    if (command.kind == CVNCalibrationCommand::Kind::Invalid)
        check(!command.error.isEmpty());
    if (command.hasRectangle)
        check(CVNCalibrationZone::isStorableRectangle(command.rectangle));
    if (command.hasTransform)
        check(CVNCalibrationZone::isStorableMatrix(command.transform));
}

void jsonValue(const QByteArray& bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    CVNCalibrationValue value;
    QString error;
    const QJsonValue json = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    if (!CVNCalibrationValue::fromJson(json, &value, &error))
        return check(!error.isEmpty());
    check(value.zones.size() <= CVNCalibrationZone::MaxZones);
    for (const CVNCalibrationZone& zone : qAsConst(value.zones))
        checkStorable(zone);
}

void simulator(FuzzedDataProvider& data)
{
    corvanesim::CVNCalibrationZones zones([] { return QSize(4095, 4095); });
    corvanesim::CVNBorderSettings borders;
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0:
            check(zones.matrix(QByteArray::fromStdString(data.ConsumeBytesAsString(64))).size() == 64);
            break;
        case 1:
            (void)zones.clear(QString::fromLatin1(data.ConsumeRandomLengthString(8).c_str()));
            break;
        case 2:
            (void)borders.snap(QString::fromLatin1(data.ConsumeRandomLengthString(64).c_str()));
            break;
        default:
            (void)borders.adjust(QString::fromLatin1(data.ConsumeRandomLengthString(64).c_str()));
            break;
        }
    }
    check(zones.heldZones() <= corvanesim::CVNCalibrationZones::MaxZones);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quietHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    // Inputs are bounded where they come from: a 64-byte field, a command
    // line, a request document; this bound keeps runs short.
    if (size > 65536)
        return 0;
    FuzzedDataProvider data(bytes, size);
    const QByteArray rest = QByteArray::fromStdString(data.ConsumeRemainingBytesAsString());
    switch (rest.isEmpty() ? 0 : quint8(rest.at(0)) % 4) {
    case 0:
        replyBlock(rest.mid(1));
        break;
    case 1:
        words(QString::fromLatin1(rest.mid(1)));
        break;
    case 2:
        jsonValue(rest.mid(1));
        break;
    default: {
        FuzzedDataProvider simData(reinterpret_cast<const uint8_t*>(rest.constData()) + 1, size_t(rest.size() - 1));
        simulator(simData);
        break;
    }
    }
    return 0;
}
