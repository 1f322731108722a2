#include "gadgetbus.h"

#include "handlesession.h"
#include "simserver.h"
#include "virtualcontroller.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace corvanesim {

namespace {

// How soon a device follows its controller's interfaces when they change
// (another mode): the request at hand and the host's next one, such as the
// read of a command's answer, are still served the old way.
constexpr int SyncIntervalMs = 100;

QString identityOf(const QList<UsbInterface>& interfaces)
{
    QStringList fields;
    for (const UsbInterface& i : interfaces)
        fields.append(i.fields());
    return fields.join(QLatin1Char('\n'));
}

// The name the UDC's gadget goes by: its platform driver's name.
QString driverOf(const QString& udc)
{
    const QFileInfo link(QStringLiteral("/sys/class/udc/%1/device/driver").arg(udc));
    const QString target = link.symLinkTarget();
    return target.isEmpty() ? udc.section(QLatin1Char('.'), 0, 0) : QFileInfo(target).fileName();
}

// "ok", "ok HEX" or anything else (a failed transfer).
bool parseAnswer(const QString& line, QByteArray* data)
{
    if (line == QLatin1String("ok")) {
        data->clear();
        return true;
    }
    static const QRegularExpression hex(QStringLiteral("^ok (-|([0-9a-f]{2})*)$"));
    if (!hex.match(line).hasMatch())
        return false;
    *data = line.mid(3) == QLatin1String("-") ? QByteArray() : QByteArray::fromHex(line.mid(3).toLatin1());
    return true;
}

}  // namespace

CVNGadgetBus::CVNGadgetBus(CVNSimServer* server, QObject* parent) : QObject(parent), m_server(server)
{
    m_syncTimer.setInterval(SyncIntervalMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &CVNGadgetBus::sync);
}

CVNGadgetBus::~CVNGadgetBus()
{
    stop();
}

QStringList CVNGadgetBus::deviceControllers(const QString& classFolder)
{
    QStringList names = QDir(classFolder).entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    // dummy_udc.2 before dummy_udc.10
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const QString prefixA = a.section(QLatin1Char('.'), 0, -2);
        const QString prefixB = b.section(QLatin1Char('.'), 0, -2);
        if (prefixA != prefixB)
            return a < b;
        return a.section(QLatin1Char('.'), -1).toInt() < b.section(QLatin1Char('.'), -1).toInt();
    });
    return names;
}

bool CVNGadgetBus::start(QString* error)
{
    if (::access(CVNRawGadget::DevicePath, R_OK | W_OK) != 0) {
        *error = QStringLiteral("--usb-gadget needs %1 (module raw_gadget, and root): %2")
                     .arg(QLatin1String(CVNRawGadget::DevicePath), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_controllers = deviceControllers();
    if (m_controllers.isEmpty()) {
        *error = QStringLiteral("--usb-gadget needs a USB device controller (module dummy_hcd)");
        return false;
    }
    connect(m_server, &CVNSimServer::plugged, this, &CVNGadgetBus::sync);
    connect(m_server, &CVNSimServer::unplugged, this, &CVNGadgetBus::sync);
    m_syncTimer.start();
    sync();
    return true;
}

void CVNGadgetBus::stop()
{
    m_syncTimer.stop();
    disconnect(m_server, nullptr, this, nullptr);
    for (auto& entry : m_entries)
        withdraw(&entry.second);
    m_entries.clear();
}

// Brings the devices on the bus in line with the controllers and their
// present interfaces.
void CVNGadgetBus::sync()
{
    if (m_syncing)
        return;
    m_syncing = true;
    QMap<QString, QList<UsbInterface>> wanted;
    for (const UsbInterface& i : m_server->interfaces())
        wanted[i.serial.toLower()].append(i);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!wanted.contains(it->first)) {
            withdraw(&it->second);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it) {
        Entry& entry = m_entries[it.key()];
        const bool changed = entry.identity != identityOf(it.value());
        if (entry.device) {
            const CVNGadgetDevice::Leave left = entry.device->leaveReason();
            const bool gone = left != CVNGadgetDevice::Leave::Running;
            // A device in the middle of a transfer finishes it first.
            if (!gone && (!changed || entry.device->isBusy()))
                continue;
            withdraw(&entry);
            if (left == CVNGadgetDevice::Leave::Error && !changed) {
                entry.refused = true;
                continue;
            }
        } else if (entry.refused && !changed) {
            continue;
        }
        present(it.value().first().serial, it.value(), &entry);
    }
    m_syncing = false;
}

void CVNGadgetBus::present(const QString& serial, const QList<UsbInterface>& interfaces, Entry* entry)
{
    entry->identity = identityOf(interfaces);
    entry->refused = true;
    QStringList busy;
    for (const auto& e : m_entries) {
        if (e.second.device)
            busy.append(e.second.udc);
    }
    const QString key = serial.toLower();
    int rc = -EBUSY;
    for (const QString& udc : m_controllers) {
        if (busy.contains(udc))
            continue;
        auto device = std::make_unique<CVNGadgetDevice>(
            interfaces, [this, key](const GadgetCall& call) { return perform(key, call); },
            [this](std::function<void()> work) { QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection); },
            [this] { sync(); });
        rc = device->start(driverOf(udc), udc);
        if (rc == 0) {
            entry->device = std::move(device);
            entry->udc = udc;
            entry->refused = false;
            return;
        }
        if (rc != -EBUSY)
            break;
    }
    std::fprintf(stderr, "corvane-sim: %s cannot go on the USB bus: %s\n", qPrintable(serial),
                 rc == -EBUSY ? "no free USB device controller (dummy_hcd num=N)" : std::strerror(-rc));
}

void CVNGadgetBus::withdraw(Entry* entry)
{
    if (entry->device)
        entry->device->stop();
    entry->device.reset();
    entry->udc.clear();
}

// On the main thread, for a device's thread.
GadgetOutcome CVNGadgetBus::perform(const QString& serial, const GadgetCall& call)
{
    GadgetOutcome outcome;
    outcome.status = GadgetOutcome::Status::Failed;
    CVNVirtualController* controller = m_server->controller(serial);
    if (!controller)
        return outcome;
    bool vanished = false;
    if (call.type == GadgetCall::Type::OutDataFault) {
        const CVNFaultPlan::Outcome fault = controller->faults().next(false);
        vanished = fault == CVNFaultPlan::Outcome::Vanish;
        if (fault != CVNFaultPlan::Outcome::Fail && !vanished)
            outcome.status = GadgetOutcome::Status::Done;
    } else {
        const HandleAnswer answer = performHandleRequest(controller, call.kind, call.line);
        vanished = answer.vanished;
        if (!vanished && parseAnswer(answer.line, &outcome.data))
            outcome.status = GadgetOutcome::Status::Done;
    }
    if (vanished) {
        outcome.status = GadgetOutcome::Status::Vanished;
        // After the device's thread has heard of it, as on the socket.
        QMetaObject::invokeMethod(this, [this, serial] {
            QString ignored;
            (void)m_server->unplug(serial, &ignored);
        }, Qt::QueuedConnection);
    }
    return outcome;
}

}  // namespace corvanesim
