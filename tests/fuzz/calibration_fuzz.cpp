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

#include <QJsonArray>
#include <QJsonObject>

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

const char* const kKeys[] = {"flipX", "flipY", "orientation", "zones_buffer", "transform", "rectangle",
                             "origin", "size", "x", "y", "width", "height", "error", ""};

// A JSON value built from the calibration vocabulary, every type anywhere.
// (Built rather than parsed from text: Qt's text parser itself leaks on
// duplicate keys, and clients send binary documents anyway.)
QJsonValue makeValue(FuzzedDataProvider& data, int depth)
{
    const int kind = data.ConsumeIntegralInRange(0, depth > 5 ? 4 : 6);
    switch (kind) {
    case 0:
        return QJsonValue();
    case 1:
        return data.ConsumeBool();
    case 2:
        return data.ConsumeFloatingPoint<double>();
    case 3:
        return double(data.ConsumeIntegralInRange(-70000, 70000));
    case 4:
        return QString::fromLatin1(data.ConsumeRandomLengthString(16).c_str());
    case 5: {
        QJsonArray array;
        const int count = data.ConsumeIntegralInRange(0, 30);
        for (int i = 0; i < count && data.remaining_bytes() > 0; ++i)
            array.append(makeValue(data, depth + 1));
        return array;
    }
    default: {
        QJsonObject object;
        const int count = data.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count && data.remaining_bytes() > 0; ++i)
            object.insert(QLatin1String(data.PickValueInArray(kKeys)), makeValue(data, depth + 1));
        return object;
    }
    }
}

void jsonValue(FuzzedDataProvider& data)
{
    CVNCalibrationValue value;
    QString error;
    if (!CVNCalibrationValue::fromJson(makeValue(data, 0), &value, &error))
        return check(!error.isEmpty());
    check(value.zones.size() <= CVNCalibrationZone::MaxZones);
    for (const CVNCalibrationZone& zone : qAsConst(value.zones))
        checkStorable(zone);
    (void)value.toJson();
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
    switch (data.ConsumeIntegralInRange(0, 3)) {
    case 0:
        replyBlock(QByteArray::fromStdString(data.ConsumeRemainingBytesAsString()));
        break;
    case 1:
        words(QString::fromLatin1(QByteArray::fromStdString(data.ConsumeRemainingBytesAsString())));
        break;
    case 2:
        jsonValue(data);
        break;
    default:
        simulator(data);
        break;
    }
    return 0;
}
