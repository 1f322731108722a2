#include "fakeusb.h"

#include <thread>

std::shared_ptr<FakeController> FakeController::standard(const QByteArray& gain)
{
    auto controller = std::make_shared<FakeController>();
    controller->registers.insert("gain", gain);
    controller->registers.insert("dbuild", QByteArray(40, 'a'));
    controller->registers.insert("dserial", "0200000001A3");
    return controller;
}

bool FakeController::takeTransfer()
{
    ++transfers;
    transferTimesNs.append(clock.nsecsElapsed());
    if (failNext > 0) {
        --failNext;
        return false;
    }
    return true;
}

void FakeController::receive(const QByteArray& report)
{
    QByteArray word = report.mid(1, 8);
    word.truncate(word.indexOf('\0') < 0 ? 8 : word.indexOf('\0'));
    QByteArray value = report.mid(9, 64);
    if (value.indexOf('\0') >= 0)
        value.truncate(value.indexOf('\0'));
    commands.append(QString::fromLatin1(word + ' ' + value));
    if (!value.isEmpty() && registers.contains(word))
        registers[word] = value;
    lastAnswer = registers.value(word, "error: unknown command");
}

bool FakeHandle::setFeature(const QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_controller->mutex);
    if (m_closed || !m_controller->takeTransfer())
        return false;
    if (report.size() == 73 && report.at(0) == 21)
        m_controller->receive(report);
    return true;
}

bool FakeHandle::getFeature(QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_controller->mutex);
    if (m_closed || !m_controller->takeTransfer())
        return false;
    if (report.at(0) == 13) {
        const QByteArray touch = m_controller->touchReport.left(report.size());
        report.replace(0, touch.size(), touch);
        return true;
    }
    const QByteArray answer = m_controller->lastAnswer.left(64);
    report.replace(9, answer.size(), answer);
    return true;
}

CVNUsbInterfaceInfo FakePlatform::hidInfo(const QString& serial, quint16 productId, quint16 release)
{
    CVNUsbInterfaceInfo info;
    info.path = QStringLiteral("fake#vid_3c2e&pid_%1#%2#hid")
                    .arg(productId, 4, 16, QLatin1Char('0'))
                    .arg(serial.toLower());
    info.vendorId = 0x3C2E;
    info.productId = productId;
    info.releaseNumber = release;
    info.serial = serial;
    info.usagePage = 0xFF00;
    info.interfaceClass = 3;
    return info;
}

CVNUsbInterfaceInfo FakePlatform::bulkInfo(const QString& serial, quint16 productId)
{
    CVNUsbInterfaceInfo info = hidInfo(serial, productId);
    info.path.replace(QStringLiteral("#hid"), QStringLiteral("#bulk"));
    info.interfaceClass = 255;
    info.interfaceSubClass = 1;
    info.interfaceProtocol = 1;
    info.endpoints = { { 0x81, CVNUsbEndpointType::Bulk }, { 0x01, CVNUsbEndpointType::Bulk } };
    return info;
}

QVector<CVNUsbInterfaceInfo> FakePlatform::enumerate()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<CVNUsbInterfaceInfo> list;
    for (const Entry& entry : qAsConst(m_entries))
        list.append(entry.info);
    return list;
}

std::unique_ptr<CVNUsbHandle> FakePlatform::open(const QString& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Entry& entry : qAsConst(m_entries)) {
        if (entry.info.path == path) {
            m_opened.append(path);
            return std::make_unique<FakeHandle>(entry.controller);
        }
    }
    return nullptr;
}

bool FakePlatform::startMonitoring(ArrivalCallback arrival, RemovalCallback removal)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_arrival = std::move(arrival);
    m_removal = std::move(removal);
    return true;
}

void FakePlatform::stopMonitoring()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_arrival = nullptr;
    m_removal = nullptr;
}

void FakePlatform::add(const CVNUsbInterfaceInfo& info, std::shared_ptr<FakeController> controller)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.append({ info, std::move(controller) });
}

void FakePlatform::plug(const CVNUsbInterfaceInfo& info, std::shared_ptr<FakeController> controller)
{
    add(info, std::move(controller));
    ArrivalCallback arrival;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        arrival = m_arrival;
    }
    if (arrival)
        std::thread([arrival, info] { arrival(info); }).join();
}

void FakePlatform::unplug(const QString& path)
{
    RemovalCallback removal;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int i = 0; i < m_entries.size(); ++i) {
            if (m_entries.at(i).info.path == path)
                m_entries.remove(i--);
        }
        removal = m_removal;
    }
    if (removal)
        std::thread([removal, path] { removal(path); }).join();
}

std::shared_ptr<FakeController> FakePlatform::controller(const QString& path) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Entry& entry : m_entries) {
        if (entry.info.path == path)
            return entry.controller;
    }
    return nullptr;
}

QStringList FakePlatform::opened() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opened;
}
