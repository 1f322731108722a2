#include "virtualcontroller.h"

#include "registercatalog.h"

#include <QRandomGenerator>

namespace corvanesim {

namespace {

LiveSources liveSources(const QElapsedTimer* started, const CVNTouchTimeline* timeline)
{
    LiveSources s;
    s.elapsedMs = [started] { return started->elapsed(); };
    s.contactCount = [started, timeline] { return int(timeline->contactsAt(started->elapsed()).size()); };
    s.contactsBegun = [started, timeline] { return timeline->contactsBegunBy(started->elapsed()); };
    return s;
}

// Keeps one exchange on one line of the traffic log whatever bytes a host sent.
QString printable(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('.');
    }
    return out;
}

// A short answer keeps the report id, the command word and one byte of the
// answer: it still looks like an answer, only a wrong one.
constexpr int ShortAnswerLength = 10;

QByteArray garbage(int reportId, int length)
{
    QByteArray bytes(length, '\0');
    for (int i = 1; i < length; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    if (length > 0)
        bytes[0] = char(reportId);
    return bytes;
}

}  // namespace

CVNVirtualController::CVNVirtualController(const ControllerSetup& setup)
    : m_setup(setup),
      m_registers(registerCatalog(setup.productId, setup.release, setup.serial), liveSources(&m_started, &m_timeline)),
      m_hid(&m_registers, &m_timeline, [this] { return m_started.elapsed(); })
{
    m_started.start();
    m_hid.setTrafficSink([this](const QString& word, const QString& value, const QString& answer) {
        if (m_traffic)
            m_traffic(QStringLiteral("%1 %2 %3 -> %4").arg(m_setup.serial, printable(word), printable(value), printable(answer)));
    });
    m_hid.setCommandHook([this](const QString& word, const QString& value, const QString& answer) {
        return controllerCommand(word, value, answer);
    });
}

std::unique_ptr<CVNVirtualController> CVNVirtualController::create(const ControllerSetup& setup, QString* error)
{
    std::unique_ptr<CVNVirtualController> controller(new CVNVirtualController(setup));
    for (const auto& preset : setup.presets) {
        if (!controller->m_registers.preset(preset.first, preset.second, error))
            return nullptr;
    }
    return controller;
}

QList<UsbInterface> CVNVirtualController::interfaces() const
{
    QList<UsbInterface> result;
    if (m_setup.bulk)
        result.append(bulkInterface(m_setup.productId, m_setup.release, m_setup.serial));
    result.append(hidInterface(m_setup.productId, m_setup.release, m_setup.serial));
    // Both paths lead to the same controller, as one device behind two USB routes.
    if (m_setup.hidPaths == 2)
        result.append(hidInterface(m_setup.productId, m_setup.release, m_setup.serial, QStringLiteral("hid2")));
    return result;
}

bool CVNVirtualController::hasInterface(const QString& path) const
{
    return !interfaceKind(path).isEmpty();
}

QString CVNVirtualController::interfaceKind(const QString& path) const
{
    for (const UsbInterface& i : interfaces()) {
        if (i.path.compare(path, Qt::CaseInsensitive) == 0)
            return i.kind;
    }
    return QString();
}

QString CVNVirtualController::controllerCommand(const QString& word, const QString& value, const QString& answer)
{
    if (word != QLatin1String("dreset") || answer.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return answer;
    // TODO: "dreset dfu" re-enumerates the controller in DFU mode once the
    // DFU function exists; until then the controller refuses it.
    if (!value.isEmpty())
        return QStringLiteral("error: dfu mode not available");
    // A reboot without a new enumeration: the firmware starts over.
    m_started.restart();
    return answer;
}

bool CVNVirtualController::faulted(bool returnsData, int reportId, int length, TransferResult* result)
{
    switch (m_faults.next(returnsData)) {
    case CVNFaultPlan::Outcome::Normal:
        return false;
    case CVNFaultPlan::Outcome::Fail:
        *result = TransferResult::fail();
        return true;
    case CVNFaultPlan::Outcome::Vanish:
        *result = {TransferResult::Status::Vanished, {}};
        return true;
    case CVNFaultPlan::Outcome::Garbage:
        *result = TransferResult::ok(garbage(reportId, length));
        return true;
    case CVNFaultPlan::Outcome::Short:
        m_cutNext = true;
        return false;
    }
    return false;
}

TransferResult CVNVirtualController::shortened(const TransferResult& result)
{
    TransferResult out = result;
    if (m_cutNext && out.status == TransferResult::Status::Ok)
        out.data.truncate(qMin(out.data.size() - 1, ShortAnswerLength));
    m_cutNext = false;
    return out;
}

TransferResult CVNVirtualController::setFeature(const QByteArray& report)
{
    TransferResult result;
    if (faulted(false, 0, 0, &result))
        return result;
    return m_hid.setFeature(report);
}

TransferResult CVNVirtualController::getFeature(int reportId, int length)
{
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    return shortened(m_hid.getFeature(reportId, length));
}

TransferResult CVNVirtualController::getInput(int reportId, int length)
{
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    return shortened(m_hid.getInput(reportId, length));
}

}  // namespace corvanesim
