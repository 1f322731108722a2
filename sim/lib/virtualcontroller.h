// One simulated controller: its USB identity, register table, touch
// timeline and faults, and the transfers its interfaces accept.
#pragma once

#include "controllersetup.h"
#include "faultplan.h"
#include "hidcontroller.h"
#include "registertable.h"
#include "touchtimeline.h"
#include "transferresult.h"
#include "usbinterface.h"

#include <QElapsedTimer>
#include <QList>
#include <functional>
#include <memory>

namespace corvanesim {

class CVNVirtualController {
public:
    using TrafficSink = std::function<void(const QString& line)>;

    // Fails when a preset of the setup names an unknown word.
    [[nodiscard]] static std::unique_ptr<CVNVirtualController> create(const ControllerSetup& setup, QString* error);

    const ControllerSetup& setup() const { return m_setup; }
    QString serial() const { return m_setup.serial; }
    // The bulk interface (when present) comes before the HID interface, as
    // the host enumerates it.
    QList<UsbInterface> interfaces() const;
    bool hasInterface(const QString& path) const;
    // The kind (hid, bulk) of the present interface with that path; empty when none.
    QString interfaceKind(const QString& path) const;

    CVNRegisterTable& registers() { return m_registers; }
    CVNFaultPlan& faults() { return m_faults; }
    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }

    // Milliseconds since the controller started (plug or reboot).
    qint64 elapsedMs() const { return m_started.elapsed(); }

    TransferResult setFeature(const QByteArray& report);
    TransferResult getFeature(int reportId, int length);
    TransferResult getInput(int reportId, int length);

private:
    explicit CVNVirtualController(const ControllerSetup& setup);
    // Applies the pending fault; returns false when the transfer is not performed.
    bool faulted(bool returnsData, int reportId, int length, TransferResult* result);
    // Cuts an answer short when a short answer is due.
    TransferResult shortened(const TransferResult& result);
    QString controllerCommand(const QString& word, const QString& value, const QString& answer);

    ControllerSetup m_setup;
    QElapsedTimer m_started;
    CVNTouchTimeline m_timeline;
    CVNRegisterTable m_registers;
    CVNHidController m_hid;
    CVNFaultPlan m_faults;
    TrafficSink m_traffic;
    bool m_cutNext = false;
};

}  // namespace corvanesim
