// Feeds arbitrary control requests, as a USB host may send them, through the
// simulator's gadget: the routing of the setup packet over the USB faces of
// a HID controller, a bulk controller and a DFU-mode controller, and, where
// the request goes to the controller, the request line with the host's data
// through the controller itself.
#include "controllersetup.h"
#include "gadgetlayout.h"
#include "gadgetrequest.h"
#include "handlesession.h"
#include "virtualcontroller.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

using namespace corvanesim;

namespace {

struct Controllers {
    std::unique_ptr<CVNVirtualController> hid;
    std::unique_ptr<CVNVirtualController> bulk;
    std::unique_ptr<CVNGadgetLayout> hidLayout;
    std::unique_ptr<CVNGadgetLayout> bulkLayout;
    std::unique_ptr<CVNGadgetLayout> dfuLayout;

    Controllers()
    {
        QString error;
        ControllerSetup setup;
        (void)parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005"), &setup, &error);
        hid = CVNVirtualController::create(setup, &error);
        (void)parseControllerSetup(QStringLiteral("lyn:0400000001B4:2.005,bulk=1"), &setup, &error);
        bulk = CVNVirtualController::create(setup, &error);
        hidLayout = std::make_unique<CVNGadgetLayout>(hid->interfaces());
        bulkLayout = std::make_unique<CVNGadgetLayout>(bulk->interfaces());
        UsbInterface dfu = hid->interfaces().first();
        dfu.kind = QStringLiteral("dfu");
        dfu.interfaceClass = 254;
        dfu.interfaceSubclass = 1;
        dfu.interfaceProtocol = 2;
        dfu.endpoints.clear();
        dfuLayout = std::make_unique<CVNGadgetLayout>(QList<UsbInterface>{dfu});
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Controllers controllers;
    FuzzedDataProvider input(data, size);
    const int which = input.ConsumeIntegralInRange(0, 2);
    SetupPacket setup;
    setup.requestType = input.ConsumeIntegral<quint8>();
    setup.request = input.ConsumeIntegral<quint8>();
    setup.value = input.ConsumeIntegral<quint16>();
    setup.index = input.ConsumeIntegral<quint16>();
    setup.length = input.ConsumeIntegral<quint16>();
    const bool configured = input.ConsumeBool();
    const CVNGadgetLayout* layouts[] = {controllers.hidLayout.get(), controllers.bulkLayout.get(),
                                        controllers.dfuLayout.get()};
    const GadgetReply reply = routeControlRequest(*layouts[which], setup, configured);
    if (reply.action != GadgetReply::Action::Forward)
        return 0;
    const std::string hostData = input.ConsumeRemainingBytesAsString();
    const QString line = reply.takesData
        ? reply.line + QString::fromLatin1(QByteArray(hostData.data(), int(hostData.size())).left(setup.length).toHex())
        : reply.line;
    CVNVirtualController* controller = which == 1 ? controllers.bulk.get() : controllers.hid.get();
    (void)performHandleRequest(controller, reply.kind, line);
    return 0;
}
