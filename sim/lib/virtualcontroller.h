// One simulated controller: its USB identity, register table, touch
// timeline and faults, and the transfers its interfaces accept.
#pragma once

#include "calibrationcommands.h"
#include "controllersetup.h"
#include "faultplan.h"
#include "hidcontroller.h"
#include "registertable.h"
#include "settingsflash.h"
#include "touchreports.h"
#include "touchsurface.h"
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
    CVNSettingsFlash& settingsFlash() { return m_flash; }
    // A word as the controller holds it: the settings flash's setup words
    // ("sversion", "sbl", "sbk", "swait"), else a register.
    [[nodiscard]] bool preset(const QString& word, const QString& value, QString* error);
    [[nodiscard]] bool value(const QString& word, QString* out) const;
    CVNFaultPlan& faults() { return m_faults; }
    // Fingers and pens on the sensor (timeline and client-placed).
    CVNTouchSurface& touchSurface() { return m_surface; }
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
    QString controllerCommand(const QString& word, const QString& value, const QString& answer);
    [[nodiscard]] bool loadTimeline(QString* error);

    ControllerSetup m_setup;
    QElapsedTimer m_started;
    CVNTouchSurface m_surface;
    CVNTouchReports m_touchReports;
    CVNRegisterTable m_registers;
    CVNSettingsFlash m_flash;
    CVNHidController m_hid;
    CVNCalibrationCommands m_calibration;
    CVNFaultPlan m_faults;
    TrafficSink m_traffic;
};

}  // namespace corvanesim
