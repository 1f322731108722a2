#include "device/platform/sim/simusbhandle.h"

std::unique_ptr<CVNSimUsbHandle> CVNSimUsbHandle::open(const QString& socketPath, const QString& path)
{
    std::unique_ptr<CVNSimUsbHandle> handle(new CVNSimUsbHandle());
    if (!handle->m_socket.connectTo(socketPath, CVNUsbHandle::DefaultTimeoutMs + AnswerGraceMs))
        return nullptr;
    QByteArray answer;
    if (!handle->m_socket.exchange("open " + path.toUtf8(), answer) || answer != "ok")
        return nullptr;
    return handle;
}

bool CVNSimUsbHandle::request(const QByteArray& line, QByteArray& payload)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray answer;
    if (!m_socket.exchange(line, answer))
        return false;
    if (answer == "ok") {
        payload.clear();
        return true;
    }
    if (!answer.startsWith("ok "))
        return false;
    payload = answer.mid(3);
    return true;
}

bool CVNSimUsbHandle::setFeature(const QByteArray& report)
{
    QByteArray payload;
    return !report.isEmpty() && request("setfeature " + report.toHex(), payload);
}

bool CVNSimUsbHandle::readReport(const char* verb, QByteArray& report)
{
    if (report.isEmpty())
        return false;
    const int id = static_cast<quint8>(report.at(0));
    QByteArray payload;
    if (!request(QByteArray(verb) + ' ' + QByteArray::number(id) + ' ' + QByteArray::number(report.size()),
            payload))
        return false;
    const QByteArray bytes = QByteArray::fromHex(payload);
    // A malformed, short or oversized answer is a failed transfer, never a
    // partial copy.
    if (bytes.size() != report.size() || bytes.toHex() != payload.toLower())
        return false;
    report.fill('\0');
    report.replace(0, bytes.size(), bytes);
    return true;
}

bool CVNSimUsbHandle::getFeature(QByteArray& report)
{
    return readReport("getfeature", report);
}

bool CVNSimUsbHandle::getInputReport(QByteArray& report)
{
    return readReport("getinput", report);
}

qint64 CVNSimUsbHandle::bulkWrite(quint8 endpoint, const QByteArray& data, int /*timeoutMs*/)
{
    QByteArray payload;
    if (!request("bulkwrite " + QByteArray::number(endpoint, 16).rightJustified(2, '0') + ' ' + data.toHex(),
            payload))
        return -1;
    bool ok = false;
    const qint64 written = payload.toLongLong(&ok);
    return ok && written >= 0 && written <= data.size() ? written : -1;
}

bool CVNSimUsbHandle::bulkRead(quint8 endpoint, int maxLength, int timeoutMs, QByteArray& data)
{
    if (maxLength <= 0 || maxLength > CVNSimLineSocket::MaxLineLength / 2)
        return false;
    QByteArray payload;
    const QByteArray line = "bulkread " + QByteArray::number(endpoint, 16).rightJustified(2, '0') + ' '
        + QByteArray::number(maxLength) + ' ' + QByteArray::number(timeoutMs);
    if (!request(line, payload))
        return false;
    const QByteArray bytes = QByteArray::fromHex(payload);
    if (bytes.size() > maxLength || bytes.toHex() != payload.toLower())
        return false;
    data = bytes;
    return true;
}

bool CVNSimUsbHandle::controlTransfer(
    quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data, int /*timeoutMs*/)
{
    const bool in = (requestType & 0x80) != 0;
    const int length = data.size();
    const QByteArray hex = in || data.isEmpty() ? QByteArray("-") : data.toHex();
    const QByteArray line = "control " + QByteArray::number(requestType) + ' ' + QByteArray::number(request)
        + ' ' + QByteArray::number(value) + ' ' + QByteArray::number(index) + ' ' + QByteArray::number(length)
        + ' ' + hex;
    QByteArray payload;
    if (!this->request(line, payload))
        return false;
    if (!in)
        return true;
    const QByteArray bytes = payload == "-" ? QByteArray() : QByteArray::fromHex(payload);
    if (bytes.size() > length || (payload != "-" && bytes.toHex() != payload.toLower()))
        return false;
    data = bytes;
    return true;
}

void CVNSimUsbHandle::close()
{
    m_socket.shutdown();
}
