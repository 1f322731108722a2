#include "device/platform/sim/simusbplatform.h"

#include "device/devicelog.h"
#include "device/platform/sim/siminterfacefields.h"
#include "device/platform/sim/simusbhandle.h"

CVNSimUsbPlatform::CVNSimUsbPlatform(const QString& socketPath)
    : m_socketPath(socketPath)
{
}

CVNSimUsbPlatform::~CVNSimUsbPlatform()
{
    stopMonitoring();
}

QVector<CVNUsbInterfaceInfo> CVNSimUsbPlatform::enumerate()
{
    QVector<CVNUsbInterfaceInfo> interfaces;
    CVNSimLineSocket socket;
    if (!socket.connectTo(m_socketPath, ControlTimeoutMs) || !socket.writeLine("list")) {
        qCWarning(lcDevice) << "simulator not reachable at" << m_socketPath;
        return interfaces;
    }
    QByteArray line;
    while (socket.readLine(line) && line != "end") {
        if (!line.startsWith("iface ") || interfaces.size() >= MaxListedInterfaces)
            continue;
        CVNUsbInterfaceInfo info;
        if (CVNSimInterfaceFields::parse(line.mid(6), info))
            interfaces.append(info);
        else
            qCWarning(lcDevice) << "simulator sent a malformed interface" << line.left(200);
    }
    return interfaces;
}

std::unique_ptr<CVNUsbHandle> CVNSimUsbPlatform::open(const QString& path)
{
    return CVNSimUsbHandle::open(m_socketPath, path);
}

bool CVNSimUsbPlatform::startMonitoring(ArrivalCallback arrival, RemovalCallback removal)
{
    stopMonitoring();
    auto watch = std::make_unique<CVNSimLineSocket>();
    QByteArray answer;
    if (!watch->connectTo(m_socketPath, CVNSimLineSocket::NoTimeout) || !watch->exchange("watch", answer)
        || answer != "ok")
        return false;
    m_watch = std::move(watch);
    m_watchThread = std::thread(&CVNSimUsbPlatform::watchLoop, this, std::move(arrival), std::move(removal));
    return true;
}

void CVNSimUsbPlatform::stopMonitoring()
{
    if (m_watch)
        m_watch->shutdown();
    if (m_watchThread.joinable())
        m_watchThread.join();
    m_watch.reset();
}

void CVNSimUsbPlatform::watchLoop(ArrivalCallback arrival, RemovalCallback removal)
{
    QByteArray line;
    while (m_watch->readLine(line)) {
        if (line.startsWith("arrived ")) {
            CVNUsbInterfaceInfo info;
            if (CVNSimInterfaceFields::parse(line.mid(8), info))
                arrival(info);
            else
                qCWarning(lcDevice) << "simulator sent a malformed arrival" << line.left(200);
        } else if (line.startsWith("removed path=")) {
            removal(QString::fromUtf8(line.mid(13)));
        }
    }
}
