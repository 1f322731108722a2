#include "gadgetdevice.h"

#include "gadgetrequest.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>

namespace corvanesim {

namespace {

// A signal with an empty handler and without SA_RESTART: it ends a thread's
// blocking raw gadget call with EINTR.
constexpr int WakeSignal = SIGUSR1;
constexpr auto WakeRetry = std::chrono::milliseconds(5);
// How long the IN pipes look for the controller's answer after the host
// wrote to it, and how often.
constexpr auto AnswerWindow = std::chrono::milliseconds(1000);
constexpr auto AnswerPoll = std::chrono::milliseconds(5);
constexpr int BulkReadLength = 4096;
constexpr int BusPowerMilliamps = 100;

void onWakeSignal(int) {}

void installWakeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_handler = onWakeSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(WakeSignal, &action, nullptr);
    });
}

void interruptAndJoin(std::thread& thread, const std::atomic<bool>& done)
{
    if (!thread.joinable())
        return;
    while (!done.load()) {
        ::pthread_kill(thread.native_handle(), WakeSignal);
        std::this_thread::sleep_for(WakeRetry);
    }
    thread.join();
}

QString hexOf(const QByteArray& data)
{
    return QString::fromLatin1(data.toHex());
}

QString ownAddress(const GadgetEndpoint& e)
{
    return QStringLiteral("%1").arg(e.ownAddress, 2, 16, QLatin1Char('0'));
}

}  // namespace

struct CVNGadgetDevice::PendingCall {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool cancelled = false;
    GadgetOutcome outcome;
};

CVNGadgetDevice::CVNGadgetDevice(const QList<UsbInterface>& interfaces, Performer perform, Poster post,
                                 std::function<void()> finished)
    : m_interfaces(interfaces),
      m_layout(interfaces),
      m_perform(std::move(perform)),
      m_post(std::move(post)),
      m_finished(std::move(finished))
{
}

CVNGadgetDevice::~CVNGadgetDevice()
{
    stop();
}

int CVNGadgetDevice::start(const QString& driver, const QString& device)
{
    installWakeSignal();
    const int rc = m_gadget.start(driver, device,
                                  m_layout.isHighSpeed() ? CVNRawGadget::Speed::High : CVNRawGadget::Speed::Full);
    if (rc < 0)
        return rc;
    m_eventThread = std::thread(&CVNGadgetDevice::run, this);
    return 0;
}

void CVNGadgetDevice::stop()
{
    m_stopping = true;
    cancelCalls();
    interruptAndJoin(m_eventThread, m_eventDone);
}

void CVNGadgetDevice::leave(Leave reason)
{
    Leave running = Leave::Running;
    m_leave.compare_exchange_strong(running, reason);
    m_stopping = true;
}

void CVNGadgetDevice::run()
{
    while (!m_stopping) {
        CVNRawGadget::Event event;
        const int rc = m_gadget.fetchEvent(&event);
        if (m_stopping)
            break;
        if (rc == -EINTR)
            continue;
        if (rc < 0) {
            std::fprintf(stderr, "corvane-sim: USB device %s: %s\n",
                         qPrintable(m_interfaces.value(0).serial), std::strerror(-rc));
            leave(Leave::Error);
            break;
        }
        if (event.type != CVNRawGadget::EventType::Control)
            continue;
        m_busy = true;
        const bool stay = handleControl(event.setup);
        m_busy = false;
        if (!stay)
            break;
    }
    leave(Leave::Stopped);
    cancelCalls();
    m_outWorkChanged.notify_all();
    for (auto& endpoint : m_endpointThreads)
        interruptAndJoin(endpoint->thread, endpoint->done);
    m_endpointThreads.clear();
    m_gadget.close();
    m_eventDone = true;
    m_post(m_finished);
}

bool CVNGadgetDevice::handleControl(const SetupPacket& setup)
{
    const GadgetReply reply = routeControlRequest(m_layout, setup, m_configured);
    QByteArray ignored;
    switch (reply.action) {
    case GadgetReply::Action::Answer:
        (void)m_gadget.ep0Write(reply.data.left(setup.length));
        return true;
    case GadgetReply::Action::Acknowledge:
        (void)m_gadget.ep0Read(setup.isIn() ? 0 : setup.length, &ignored);
        return true;
    case GadgetReply::Action::Stall:
        (void)m_gadget.ep0Stall();
        return true;
    case GadgetReply::Action::Configure:
        configure();
        (void)m_gadget.ep0Read(0, &ignored);
        return true;
    case GadgetReply::Action::Forward:
        return forward(setup, reply);
    }
    return true;
}

// False when the device leaves the bus: the controller vanished (the request
// stays unanswered, as when a device is pulled in the middle of a transfer).
bool CVNGadgetDevice::forward(const SetupPacket& setup, const GadgetReply& reply)
{
    QString line = reply.line;
    QByteArray ignored;
    if (reply.takesData) {
        // Once the data stage is taken the host sees success: a failure has
        // to stall the request before.
        const GadgetOutcome fault = call({GadgetCall::Type::OutDataFault, reply.kind, QString()});
        if (fault.status == GadgetOutcome::Status::Failed) {
            (void)m_gadget.ep0Stall();
            return true;
        }
        if (fault.status != GadgetOutcome::Status::Done) {
            leave(fault.status == GadgetOutcome::Status::Vanished ? Leave::Vanished : Leave::Stopped);
            return false;
        }
        QByteArray data;
        if (m_gadget.ep0Read(setup.length, &data) < 0)
            return !m_stopping;
        line += hexOf(data);
    }
    const GadgetOutcome outcome = call({GadgetCall::Type::Transfer, reply.kind, line});
    switch (outcome.status) {
    case GadgetOutcome::Status::Vanished:
        leave(Leave::Vanished);
        return false;
    case GadgetOutcome::Status::Abandoned:
        return false;
    case GadgetOutcome::Status::Failed:
        if (!reply.takesData)
            (void)m_gadget.ep0Stall();
        break;
    case GadgetOutcome::Status::Done:
        if (setup.isIn() && setup.length > 0)
            (void)m_gadget.ep0Write(outcome.data.left(setup.length));
        else if (!reply.takesData)
            (void)m_gadget.ep0Read(0, &ignored);
        break;
    }
    return true;
}

void CVNGadgetDevice::configure()
{
    if (m_configured)
        return;
    m_configured = true;
    for (const GadgetEndpoint& e : m_layout.endpoints()) {
        const int handle = m_gadget.enableEndpoint(e.descriptor(m_layout.isHighSpeed()));
        if (handle < 0) {
            std::fprintf(stderr, "corvane-sim: USB endpoint %02x of %s: %s\n", e.usbAddress,
                         qPrintable(m_interfaces.value(0).serial), std::strerror(-handle));
            continue;
        }
        // Interrupt reports are read on demand (GET_REPORT): a device that
        // floods its interrupt pipe slows every other transfer.
        if (!e.bulk)
            continue;
        const QString kind = m_layout.interfaceByNumber(e.interfaceNumber)->usb.kind;
        auto endpoint = std::make_unique<EndpointThread>();
        EndpointThread* slot = endpoint.get();
        endpoint->thread = std::thread([this, e, kind, handle, slot] {
            if (e.isIn())
                bulkIn(e, kind, handle);
            else
                bulkOut(e, kind, handle);
            slot->done = true;
        });
        m_endpointThreads.push_back(std::move(endpoint));
    }
    if (m_gadget.configure(BusPowerMilliamps) < 0)
        std::fprintf(stderr, "corvane-sim: USB configuration of %s failed\n", qPrintable(m_interfaces.value(0).serial));
}

// The host's data as USB delivers it, one packet at a time: the controller
// sees the pipe as a stream of bytes.
void CVNGadgetDevice::bulkOut(GadgetEndpoint endpoint, QString kind, int handle)
{
    while (!m_stopping) {
        QByteArray data;
        const int rc = m_gadget.epRead(handle, endpoint.maxPacket, &data);
        if (m_stopping || rc < 0) {
            if (rc == -EINTR)
                continue;
            break;
        }
        const GadgetOutcome outcome = call(
            {GadgetCall::Type::Transfer, kind, QStringLiteral("bulkwrite %1 %2").arg(ownAddress(endpoint), hexOf(data))});
        if (outcome.status == GadgetOutcome::Status::Vanished) {
            leave(Leave::Vanished);
            ::pthread_kill(m_eventThread.native_handle(), WakeSignal);
            break;
        }
        // A pipe that fails stalls until the host clears it.
        if (outcome.status == GadgetOutcome::Status::Failed)
            (void)m_gadget.setHalt(handle);
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_outWork;
        m_outWorkChanged.notify_all();
    }
}

// The controller's answer to what the host wrote, handed to the host as it
// reads; looked for only after the host wrote, so that idle polling takes no
// faults meant for the host's own transfers.
void CVNGadgetDevice::bulkIn(GadgetEndpoint endpoint, QString kind, int handle)
{
    qint64 seen = 0;
    auto lookUntil = std::chrono::steady_clock::time_point();
    while (!m_stopping) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            const auto now = std::chrono::steady_clock::now();
            if (m_outWork == seen && now >= lookUntil)
                m_outWorkChanged.wait(lock, [&] { return m_stopping || m_outWork != seen; });
            else if (m_outWork == seen)
                m_outWorkChanged.wait_for(lock, AnswerPoll, [&] { return m_stopping || m_outWork != seen; });
            if (m_stopping)
                break;
            if (m_outWork != seen) {
                seen = m_outWork;
                lookUntil = std::chrono::steady_clock::now() + AnswerWindow;
            }
        }
        const GadgetOutcome outcome = call({GadgetCall::Type::Transfer, kind,
                                            QStringLiteral("bulkread %1 %2 0").arg(ownAddress(endpoint)).arg(BulkReadLength)});
        if (outcome.status == GadgetOutcome::Status::Vanished) {
            leave(Leave::Vanished);
            ::pthread_kill(m_eventThread.native_handle(), WakeSignal);
            break;
        }
        if (outcome.status != GadgetOutcome::Status::Done || outcome.data.isEmpty())
            continue;
        // Blocks until the host has read it all; more may follow at once.
        if (m_gadget.epWrite(handle, outcome.data) < 0 && m_stopping)
            break;
        lookUntil = std::chrono::steady_clock::now() + AnswerWindow;
    }
}

GadgetOutcome CVNGadgetDevice::call(const GadgetCall& request)
{
    auto pending = std::make_shared<PendingCall>();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return GadgetOutcome();
        m_calls.push_back(pending);
    }
    m_post([pending, perform = m_perform, request] {
        {
            std::lock_guard<std::mutex> lock(pending->mutex);
            if (pending->cancelled)
                return;
        }
        const GadgetOutcome outcome = perform(request);
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->outcome = outcome;
        pending->done = true;
        pending->changed.notify_all();
    });
    GadgetOutcome outcome;
    {
        std::unique_lock<std::mutex> lock(pending->mutex);
        pending->changed.wait(lock, [&] { return pending->done || pending->cancelled; });
        if (pending->done)
            outcome = pending->outcome;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.erase(std::remove(m_calls.begin(), m_calls.end(), pending), m_calls.end());
    return outcome;
}

void CVNGadgetDevice::cancelCalls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& pending : m_calls) {
        std::lock_guard<std::mutex> callLock(pending->mutex);
        pending->cancelled = true;
        pending->changed.notify_all();
    }
    m_outWorkChanged.notify_all();
}

}  // namespace corvanesim
