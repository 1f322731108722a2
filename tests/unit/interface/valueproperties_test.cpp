// Write syntax, messages, read texts and reply conversion of the value
// properties, against a register-table channel.
#include "fakeinterface.h"

#include "interface/devicepropertybool.h"
#include "interface/devicepropertybytearray.h"
#include "interface/devicepropertyenum.h"
#include "interface/devicepropertyintpair.h"
#include "interface/devicepropertymatrix3x3.h"
#include "interface/devicepropertynumber.h"
#include "interface/devicepropertystring.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTransform>

namespace {

using ValueProperties = InterfaceTest;

TEST_F(ValueProperties, NumberClampsRoundsAndRejects)
{
    auto* gain = make<DevicePropertyInt>(QStringLiteral("gain"));
    gain->setDomain(0, 7);
    EXPECT_EQ(run("gain", {"-1"}), "0");
    EXPECT_EQ(run("gain", {"2.6"}), "3");
    EXPECT_EQ(run("gain", {"nan"}), "Invalid argument");
    EXPECT_EQ(gain->cachedValue(), 3);
    EXPECT_EQ(iface.registers["gain"], "3");  // the bad writes reached nothing
    EXPECT_EQ(gain->argumentHint(), "0..7");
    EXPECT_EQ(gain->describe().value("domain").toString(), "[0..7]");
    // A reply beyond the domain is clamped; one that is no whole number is
    // an error, and the cache keeps what the device reported before.
    EXPECT_EQ(reread(gain, "12"), "7");
    for (const char* answer : {"abc", "2.6", "", "nan"}) {
        EXPECT_EQ(reread(gain, answer), "Unknown result") << answer;
        EXPECT_EQ(gain->cachedValue(), 7) << answer;
    }
    EXPECT_EQ(reread(gain, " 4.0"), "4");

    auto* reversed = make<DevicePropertyInt>(QStringLiteral("th"));
    EXPECT_EQ(run("th", {"20"}), "20");
    reversed->setDomain(5, 1);  // the cached 20 is clamped at once
    EXPECT_EQ(reversed->minimum(), 1);
    EXPECT_EQ(reversed->maximum(), 5);
    EXPECT_EQ(reversed->cachedValue(), 5);
    EXPECT_EQ(run("th", {"1e12"}), "5");

    // Floating texts read back to the value written; extra words are ignored.
    auto* ratio = make<DevicePropertyDouble>(QStringLiteral("ratio"));
    EXPECT_EQ(run("ratio", {"0.1", "ignored"}), "0.1");
    EXPECT_EQ(ratio->cachedValue(), 0.1);
    make<DevicePropertyFloat>(QStringLiteral("f"));
    const QString text = run("f", {"0.3"});
    EXPECT_EQ(text.toFloat(), 0.3f) << text.toStdString();
}

TEST_F(ValueProperties, BoolEnumAndStringWords)
{
    auto* cenable = make<DevicePropertyBool>(QStringLiteral("cenable"));
    EXPECT_EQ(run("cenable", {"No"}), "false");
    EXPECT_EQ(iface.registers["cenable"], "0");
    EXPECT_EQ(run("cenable", {"on"}), "Invalid parameter");
    EXPECT_EQ(run("cenable", {"1", "0"}), "Invalid arguments");
    EXPECT_FALSE(cenable->cachedValue());
    make<DevicePropertyBool>(QStringLiteral("locked"), AccessMode::Read);
    EXPECT_EQ(run("locked", {"1", "0"}), "Invalid arguments");  // the count is checked first
    EXPECT_EQ(run("locked", {"1"}), "Property is not writable");

    auto* fmode = make<DevicePropertyEnum>(QStringLiteral("fmode"));
    fmode->setValues({"normal", "raw"});
    EXPECT_EQ(run("fmode", {"RAW"}), "raw");
    EXPECT_EQ(iface.registers["fmode"], "raw");
    EXPECT_EQ(run("fmode", {"fast"}), "Invalid arguments");
    EXPECT_EQ(run("fmode", {"raw", "normal"}), "Invalid arguments");
    EXPECT_EQ(fmode->cachedValue(), "raw");
    EXPECT_EQ(fmode->describe().value("values").toArray(), QJsonArray({"normal", "raw"}));

    auto* list = make<DevicePropertyEnumList>(QStringLiteral("axes"));
    list->setValues({"x", "y", "z"});
    EXPECT_EQ(run("axes", {"Z", "x"}), "z, x");
    EXPECT_EQ(run("axes", {"x", "w"}), "Invalid arguments");
    EXPECT_EQ(list->value(), QJsonValue(QJsonArray({"z", "x"})));

    make<DevicePropertyString>(QStringLiteral("dmode"));
    EXPECT_EQ(run("dmode", {"two", "words"}), "two words");
}

TEST_F(ValueProperties, ByteArraySyntax)
{
    auto* bytes = make<DevicePropertyByteArray>(QStringLiteral("blob"));
    EXPECT_EQ(run("blob", {"[1,", "2,", "0x10]"}), "[1,2,16]");
    EXPECT_EQ(bytes->cachedValue(), QByteArray("\x01\x02\x10", 3));
    EXPECT_EQ(run("blob", {"[1, 256, 010]"}), "[1,0,8]");
    for (const char* malformed : {"1, 2", "[[1, 2]", "[1, x]", "[1, -2]"})
        EXPECT_EQ(run("blob", {malformed}), "Malformed array") << malformed;
    EXPECT_EQ(bytes->cachedValue(), QByteArray("\x01\x00\x08", 3));
    EXPECT_EQ(run("blob", {"[200]"}), "[-56]");
    EXPECT_EQ(run("blob", {"[", "]"}), "[]");
    EXPECT_EQ(bytes->value(), QJsonValue(QString()));
    // A text answer becomes its UTF-8 bytes.
    EXPECT_EQ(reread(bytes, "AB"), "[65,66]");
    EXPECT_EQ(bytes->value(), QJsonValue(QStringLiteral("QUI=")));
}

TEST_F(ValueProperties, IntPairAndMatrixCheckTheirWords)
{
    auto* pair = make<DevicePropertyIntPair>(QStringLiteral("thbound"));
    EXPECT_EQ(run("thbound", {"3"}), "invalid arguments");
    EXPECT_EQ(run("thbound", {"3", "x"}), "invalid arguments");
    auto* matrix = make<DevicePropertyMatrix3x3>(QStringLiteral("cmat"));
    EXPECT_EQ(run("cmat", {"1", "2", "3", "4", "5", "6", "7", "8"}), "Invalid number of arguments");
    EXPECT_EQ(run("cmat", {"1", "2", "3", "4", "5", "6", "7", "8", "x"}), "Invalid parameters");
    EXPECT_TRUE(iface.log.isEmpty());

    EXPECT_EQ(run("thbound", {"3", "40"}), "3 40");
    EXPECT_EQ(iface.registers["thbound"], "3 40");
    EXPECT_EQ(pair->value(), QJsonValue(QJsonArray({3, 40})));
    iface.log.clear();
    const QString text = run("cmat", {"1", "0", "0", "0", "2", "0", "0.1234567", "0", "1"});
    EXPECT_EQ(text, "\n1 0 0\n0 2 0\n0.123457 0 1");
    EXPECT_EQ(iface.log.first().value.value<QTransform>(), QTransform(1, 0, 0, 0, 2, 0, 0.1234567, 0, 1));

    // A reply that is no transform gives the identity.
    CVNDeviceRequest reply(CVNDeviceRequest::Get, "cmat", 1);
    reply.value = QStringLiteral("garbage");
    matrix->handleReply(reply);
    EXPECT_EQ(run("cmat"), "\n1 0 0\n0 1 0\n0 0 1");
}

TEST_F(ValueProperties, JsonWritesConvertOrChangeNothing)
{
    auto* th = make<DevicePropertyInt>(QStringLiteral("th"));
    th->setValue(QJsonValue(QStringLiteral("not a number")));
    th->setValue(QJsonValue(QJsonArray{1}));
    th->setValue(QJsonValue(4.4));
    EXPECT_EQ(iface.registers["th"], "4");
    auto* cenable = make<DevicePropertyBool>(QStringLiteral("cenable"));
    cenable->setValue(QJsonValue(true));
    cenable->setValue(QJsonValue(QStringLiteral("maybe")));
    EXPECT_TRUE(cenable->cachedValue());
    auto* fmode = make<DevicePropertyEnum>(QStringLiteral("fmode"));
    fmode->setValues({"normal", "raw"});
    fmode->setValue(QJsonValue(QStringLiteral("Raw")));
    fmode->setValue(QJsonValue(QStringLiteral("fast")));
    EXPECT_EQ(fmode->cachedValue(), "raw");
    auto* blob = make<DevicePropertyByteArray>(QStringLiteral("blob"));
    blob->setValue(QJsonValue(QStringLiteral("AQI=")));
    blob->setValue(QJsonValue(QStringLiteral("not base64!")));
    EXPECT_EQ(blob->cachedValue(), QByteArray("\x01\x02", 2));
    auto* pair = make<DevicePropertyIntPair>(QStringLiteral("thbound"));
    pair->setValue(QJsonValue(QJsonArray{4, 5}));
    pair->setValue(QJsonValue(QJsonArray{4, 5.5}));
    pair->setValue(QJsonValue(QJsonArray{4}));
    EXPECT_EQ(pair->cachedValue(), (QVector<int>{4, 5}));
    make<DevicePropertyMatrix3x3>(QStringLiteral("cmat"))->setValue(QJsonValue(QJsonArray{1, 2, 3}));
    // Each good write went out once, each bad one not at all.
    EXPECT_EQ(iface.log.size(), 5);
    for (const CVNDeviceRequest& request : iface.log)
        EXPECT_EQ(request.type, CVNDeviceRequest::Set);
}

}  // namespace
