// One virtual controller on the kernel's USB bus: a raw gadget bound to one
// USB device controller, a thread that answers its control requests and one
// thread per bulk pipe. Every transfer is carried out on the thread that owns
// the controllers (the simulator's main thread), through `Performer`.
#pragma once

#include "gadgetlayout.h"
#include "rawgadget.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace corvanesim {

struct GadgetReply;

// What the device asks of its controller.
struct GadgetCall {
    enum class Type {
        Transfer,  // a handle request `line` on the interface `kind`
        OutDataFault,  // before taking a host's data: does this transfer fail or vanish?
    };
    Type type = Type::Transfer;
    QString kind;
    QString line;
};

struct GadgetOutcome {
    enum class Status { Done, Failed, Vanished, Abandoned };
    Status status = Status::Abandoned;
    QByteArray data;
};

class CVNGadgetDevice {
public:
    enum class Leave { Running, Stopped, Vanished, Error };
    using Performer = std::function<GadgetOutcome(const GadgetCall&)>;
    // Queues work for the owner's thread.
    using Poster = std::function<void(std::function<void()>)>;

    CVNGadgetDevice(const QList<UsbInterface>& interfaces, Performer perform, Poster post,
                    std::function<void()> finished);
    ~CVNGadgetDevice();
    CVNGadgetDevice(const CVNGadgetDevice&) = delete;
    CVNGadgetDevice& operator=(const CVNGadgetDevice&) = delete;

    // Connects to the bus through the UDC `device` of `driver`; 0 or -errno.
    [[nodiscard]] int start(const QString& driver, const QString& device);
    // Leaves the bus (in the middle of a transfer, if one runs) and waits
    // for the threads.
    void stop();

    const QList<UsbInterface>& interfaces() const { return m_interfaces; }
    // Why the device left the bus by itself; Running while it is on it.
    Leave leaveReason() const { return m_leave.load(); }
    // Answering a control request right now.
    bool isBusy() const { return m_busy.load(); }

private:
    struct PendingCall;

    void run();
    bool handleControl(const SetupPacket& setup);
    bool forward(const SetupPacket& setup, const GadgetReply& reply);
    void configure();
    void bulkOut(GadgetEndpoint endpoint, QString kind, int handle);
    void bulkIn(GadgetEndpoint endpoint, QString kind, int handle);
    GadgetOutcome call(const GadgetCall& call);
    void cancelCalls();
    void leave(Leave reason);

    QList<UsbInterface> m_interfaces;
    CVNGadgetLayout m_layout;
    Performer m_perform;
    Poster m_post;
    std::function<void()> m_finished;
    CVNRawGadget m_gadget;
    bool m_configured = false;

    std::thread m_eventThread;
    std::atomic<bool> m_eventDone{false};
    struct EndpointThread {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::vector<std::unique_ptr<EndpointThread>> m_endpointThreads;

    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_busy{false};
    std::atomic<Leave> m_leave{Leave::Running};

    std::mutex m_mutex;  // guards m_calls and m_outWork
    std::condition_variable m_outWorkChanged;
    qint64 m_outWork = 0;  // bulk OUT chunks taken so far: the IN pipes look for an answer
    std::vector<std::shared_ptr<PendingCall>> m_calls;
};

}  // namespace corvanesim
