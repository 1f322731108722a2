#include "gadgetrequest.h"

#include "simlimits.h"

namespace corvanesim {

namespace {

constexpr quint8 TypeMask = 0x60;
constexpr quint8 TypeStandard = 0x00;
constexpr quint8 TypeClass = 0x20;
constexpr quint8 RecipientMask = 0x1F;
constexpr quint8 RecipientDevice = 0;
constexpr quint8 RecipientInterface = 1;
constexpr quint8 RecipientEndpoint = 2;

enum StandardRequest : quint8 {
    GetStatus = 0,
    ClearFeature = 1,
    SetFeature = 3,
    GetDescriptor = 6,
    GetConfiguration = 8,
    SetConfiguration = 9,
    GetInterface = 10,
    SetInterface = 11,
};

enum HidRequest : quint8 {
    GetReport = 1,
    GetIdle = 2,
    GetProtocol = 3,
    SetReport = 9,
    SetIdle = 10,
    SetProtocol = 11,
};

constexpr int InputReport = 1;
constexpr int FeatureReport = 3;

GadgetReply answer(const QByteArray& data)
{
    GadgetReply r;
    r.action = data.isEmpty() ? GadgetReply::Action::Stall : GadgetReply::Action::Answer;
    r.data = data;
    return r;
}

GadgetReply reply(GadgetReply::Action action)
{
    GadgetReply r;
    r.action = action;
    return r;
}

GadgetReply forward(const QString& kind, const QString& line, bool takesData)
{
    GadgetReply r;
    r.action = GadgetReply::Action::Forward;
    r.kind = kind;
    r.line = line;
    r.takesData = takesData;
    return r;
}

GadgetReply descriptor(const CVNGadgetLayout& layout, const SetupPacket& setup)
{
    const int type = setup.value >> 8;
    const int index = setup.value & 0xFF;
    if ((setup.requestType & RecipientMask) == RecipientInterface) {
        const GadgetInterface* i = layout.interfaceByNumber(setup.index & 0xFF);
        if (!i || i->usb.kind != QLatin1String("hid"))
            return reply(GadgetReply::Action::Stall);
        if (type == 0x21)
            return answer(CVNGadgetLayout::hidDescriptor());
        return answer(type == 0x22 ? CVNGadgetLayout::hidReportDescriptor() : QByteArray());
    }
    switch (type) {
    case 1:
        return answer(layout.deviceDescriptor());
    case 2:
        return answer(index == 0 ? layout.configurationDescriptor() : QByteArray());
    case 3:
        return answer(layout.stringDescriptor(index));
    case 6:
        return answer(layout.isHighSpeed() ? layout.qualifierDescriptor() : QByteArray());
    default:
        return reply(GadgetReply::Action::Stall);
    }
}

GadgetReply standard(const CVNGadgetLayout& layout, const SetupPacket& setup, bool configured)
{
    switch (setup.request) {
    case GetDescriptor:
        return descriptor(layout, setup);
    case SetConfiguration:
        if (setup.value == 1)
            return reply(GadgetReply::Action::Configure);
        return reply(setup.value == 0 ? GadgetReply::Action::Acknowledge : GadgetReply::Action::Stall);
    case GetConfiguration:
        return answer(QByteArray(1, configured ? 1 : 0));
    case GetStatus:
        return answer(QByteArray(2, 0));
    case GetInterface:
        return answer(layout.interfaceByNumber(setup.index & 0xFF) ? QByteArray(1, 0) : QByteArray());
    case SetInterface:
        return reply(layout.interfaceByNumber(setup.index & 0xFF) && setup.value == 0
                         ? GadgetReply::Action::Acknowledge
                         : GadgetReply::Action::Stall);
    case ClearFeature:
    case SetFeature:
        return reply(GadgetReply::Action::Acknowledge);
    default:
        return reply(GadgetReply::Action::Stall);
    }
}

GadgetReply hidClass(const SetupPacket& setup)
{
    const int reportType = setup.value >> 8;
    const int reportId = setup.value & 0xFF;
    switch (setup.request) {
    case GetReport:
        if (setup.length < 1 || setup.length > MaxTransferLength
            || (reportType != InputReport && reportType != FeatureReport))
            return reply(GadgetReply::Action::Stall);
        return forward(QStringLiteral("hid"),
                       QStringLiteral("%1 %2 %3")
                           .arg(reportType == InputReport ? QStringLiteral("getinput") : QStringLiteral("getfeature"))
                           .arg(reportId)
                           .arg(setup.length),
                       false);
    case SetReport:
        // The controller has no output reports.
        if (reportType != FeatureReport || setup.length < 1 || setup.length > MaxTransferLength)
            return reply(GadgetReply::Action::Stall);
        return forward(QStringLiteral("hid"), QStringLiteral("setfeature "), true);
    case SetIdle:
    case SetProtocol:
        return reply(GadgetReply::Action::Acknowledge);
    case GetIdle:
        return answer(QByteArray(1, 0));
    case GetProtocol:
        return answer(QByteArray(1, 1));  // report protocol
    default:
        return reply(GadgetReply::Action::Stall);
    }
}

// The interface a class or vendor request is meant for.
const GadgetInterface* targetOf(const CVNGadgetLayout& layout, const SetupPacket& setup)
{
    switch (setup.requestType & RecipientMask) {
    case RecipientInterface:
        return layout.interfaceByNumber(setup.index & 0xFF);
    case RecipientEndpoint: {
        const GadgetEndpoint* e = layout.endpointByUsbAddress(quint8(setup.index & 0xFF));
        return e ? layout.interfaceByNumber(e->interfaceNumber) : nullptr;
    }
    case RecipientDevice:
        return layout.interfaces().size() == 1 ? &layout.interfaces().first() : nullptr;
    default:
        return nullptr;
    }
}

}  // namespace

GadgetReply routeControlRequest(const CVNGadgetLayout& layout, const SetupPacket& setup, bool configured)
{
    if ((setup.requestType & TypeMask) == TypeStandard)
        return standard(layout, setup, configured);
    const GadgetInterface* target = targetOf(layout, setup);
    if (!target || setup.length > MaxTransferLength)
        return reply(GadgetReply::Action::Stall);
    if ((setup.requestType & TypeMask) == TypeClass && target->usb.kind == QLatin1String("hid"))
        return hidClass(setup);
    const bool takesData = !setup.isIn() && setup.length > 0;
    const QString line = QStringLiteral("control %1 %2 %3 %4 %5 ")
                             .arg(setup.requestType)
                             .arg(setup.request)
                             .arg(setup.value)
                             .arg(setup.index)
                             .arg(setup.length);
    return forward(target->usb.kind, takesData ? line : line + QLatin1Char('-'), takesData);
}

}  // namespace corvanesim
