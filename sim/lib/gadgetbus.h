// The simulator's controllers as real USB devices (`--usb-gadget`): each
// plugged controller is presented to the local kernel through
// /dev/raw-gadget on a USB device controller of its own (dummy_hcd's
// dummy_udc.N), leaves the bus when it is unplugged or vanishes, and comes
// back with its new interfaces when they change.
#pragma once

#include "gadgetdevice.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>

namespace corvanesim {

class CVNSimServer;

class CVNGadgetBus : public QObject {
    Q_OBJECT
public:
    explicit CVNGadgetBus(CVNSimServer* server, QObject* parent = nullptr);
    ~CVNGadgetBus() override;

    // Fails when there is no raw gadget interface or no USB device controller.
    [[nodiscard]] bool start(QString* error);
    // Every device leaves the bus.
    void stop();

    // The USB device controllers of the system, by name ("dummy_udc.0", ...).
    static QStringList deviceControllers(const QString& classFolder = QStringLiteral("/sys/class/udc"));

private:
    struct Entry {
        std::unique_ptr<CVNGadgetDevice> device;
        QString udc;
        QString identity;  // the interface fields the device was made from
        bool refused = false;  // could not go on the bus: tried again when the interfaces change
    };

    void sync();
    void present(const QString& serial, const QList<UsbInterface>& interfaces, Entry* entry);
    void withdraw(Entry* entry);
    GadgetOutcome perform(const QString& serial, const GadgetCall& call);

    CVNSimServer* m_server;
    QTimer m_syncTimer;
    QStringList m_controllers;
    std::map<QString, Entry> m_entries;  // by lower-case serial
    bool m_syncing = false;
};

}  // namespace corvanesim
