#pragma once

#include "device/platform/sim/simlinesocket.h"
#include "device/platform/usbplatform.h"

#include <atomic>
#include <memory>
#include <thread>

// The platform seam over a running corvane-sim: enumeration with "list",
// hot-plug from a "watch" connection read by our own thread, and one
// connection per open handle.
class CVNSimUsbPlatform : public CVNUsbPlatform
{
public:
    // Bound on the "list" answer: more interfaces than any bus could hold.
    static constexpr int MaxListedInterfaces = 1024;
    static constexpr int ControlTimeoutMs = 5000;

    explicit CVNSimUsbPlatform(const QString& socketPath);
    ~CVNSimUsbPlatform() override;

    QString name() const override { return QStringLiteral("sim"); }
    QVector<CVNUsbInterfaceInfo> enumerate() override;
    std::unique_ptr<CVNUsbHandle> open(const QString& path) override;
    bool startMonitoring(ArrivalCallback arrival, RemovalCallback removal) override;
    void stopMonitoring() override;

    QString socketPath() const { return m_socketPath; }

private:
    void watchLoop(ArrivalCallback arrival, RemovalCallback removal);

    QString m_socketPath;
    std::unique_ptr<CVNSimLineSocket> m_watch;
    std::thread m_watchThread;
};
