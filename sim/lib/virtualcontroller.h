// One simulated controller: its USB identity, register table, touch
// timeline and faults, and the transfers its interfaces accept.
#pragma once

#include "autotune.h"
#include "calibrationcommands.h"
#include "bulkcontroller.h"
#include "controllersetup.h"
#include "dfufunction.h"
#include "faultplan.h"
#include "hidcontroller.h"
#include "registertable.h"
#include "settingsflash.h"
#include "sensorfunctions.h"
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
    // The controller is about to leave the bus and come back in another
    // form (DFU mode, or a new firmware): the bus is to call
    // applyBusChange() after `delayMs` and announce the change.
    using BusHook = std::function<void(int delayMs)>;

    enum class Mode { Runtime, Dfu };
    // How long a controller told "dreset dfu" stays after the host read the
    // answer (the host must have it in hand before the device goes), and
    // how long it waits for that read before it leaves anyway.
    static constexpr int DetachDelayMs = 200;
    static constexpr int DetachFallbackMs = 1000;

    // Fails when a preset of the setup names an unknown word.
    [[nodiscard]] static std::unique_ptr<CVNVirtualController> create(const ControllerSetup& setup, QString* error);

    const ControllerSetup& setup() const { return m_setup; }
    QString serial() const { return m_setup.serial; }
    // The bulk interface (when present) comes before the HID interface, as
    // the host enumerates it.
    QList<UsbInterface> interfaces() const;
    bool hasInterface(const QString& path) const;
    // The kind (hid, bulk, dfu) of the present interface with that path; empty when none.
    QString interfaceKind(const QString& path) const;

    Mode mode() const { return m_mode; }
    // The DFU function while in DFU mode, else none.
    CVNDfuFunction* dfu() { return m_dfu.get(); }
    void setBusHook(BusHook hook) { m_bus = std::move(hook); }
    // Performs the change asked for: into DFU mode, or out of it with the
    // downloaded firmware. False when there is none (asked for twice).
    [[nodiscard]] bool applyBusChange();

    CVNRegisterTable& registers() { return m_registers; }
    CVNSettingsFlash& settingsFlash() { return m_flash; }
    // A word as the controller holds it: the settings flash's setup words
    // ("sversion", "sbl", "sbk", "swait"), else a register.
    [[nodiscard]] bool preset(const QString& word, const QString& value, QString* error);
    [[nodiscard]] bool value(const QString& word, QString* out) const;
    CVNFaultPlan& faults() { return m_faults; }
    CVNSensorFunctions& sensor() { return m_sensor; }
    // The controller's own auto-tune ("dtune").
    CVNAutoTune& autoTune() { return m_tune; }
    // Marks a column (dead) or row (broken) of the foil; refused outside the grid.
    [[nodiscard]] bool damageLine(bool column, int index, QString* error);
    void heal() { m_sensor.foil().damage().clear(); }
    // Fingers and pens on the sensor (timeline and client-placed).
    CVNTouchSurface& touchSurface() { return m_surface; }
    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }

    // Milliseconds since the controller started (plug or reboot).
    qint64 elapsedMs() const { return m_started.elapsed(); }

    TransferResult setFeature(const QByteArray& report);
    TransferResult getFeature(int reportId, int length);
    TransferResult getInput(int reportId, int length);
    // The bulk pipes (data of a write: empty; of a read: one packet).
    TransferResult bulkWrite(quint8 endpoint, const QByteArray& packet);
    TransferResult bulkRead(quint8 endpoint, int maxLength);
    // A control transfer to the DFU interface.
    TransferResult control(int requestType, int request, int value, int index, int length, const QByteArray& data);

private:
    explicit CVNVirtualController(const ControllerSetup& setup);
    // Applies the pending fault; returns false when the transfer is not performed.
    bool faulted(bool returnsData, int reportId, int length, TransferResult* result);
    // Cuts an answer short when a short answer is due.
    TransferResult shortened(const TransferResult& result);
    QString controllerCommand(const QString& word, const QString& value, const QString& answer);
    void logExchange(const QString& word, const QString& value, const QString& answer);
    // The new firmware starts: its register table, its clock.
    void installFirmware(quint16 release);

    enum class Change { None, EnterDfu, LeaveDfu };
    [[nodiscard]] bool loadTimeline(QString* error);

    ControllerSetup m_setup;
    bool m_hung = false;  // sent the setup's hang word: answers nothing any more
    QElapsedTimer m_started;
    CVNTouchSurface m_surface;
    CVNTouchReports m_touchReports;
    CVNRegisterTable m_registers;
    CVNSettingsFlash m_flash;
    CVNHidController m_hid;
    CVNCalibrationCommands m_calibration;
    CVNBulkController m_bulk;
    CVNFaultPlan m_faults;
    TrafficSink m_traffic;
    CVNSensorFunctions m_sensor;
    CVNAutoTune m_tune;
    BusHook m_bus;
    Mode m_mode = Mode::Runtime;
    std::unique_ptr<CVNDfuFunction> m_dfu;
    Change m_change = Change::None;
    quint16 m_nextRelease = 0;
    bool m_cutNext = false;
};

}  // namespace corvanesim
