#include "virtualcontroller.h"

#include <QFile>

#include "registercatalog.h"
#include "simlimits.h"

#include <QRandomGenerator>

namespace corvanesim {

namespace {

LiveSources liveSources(const QElapsedTimer* started, const CVNTouchSurface* surface)
{
    LiveSources s;
    s.elapsedMs = [started] { return started->elapsed(); };
    s.contactCount = [started, surface] { return int(surface->fingersAt(started->elapsed()).size()); };
    s.contactsBegun = [started, surface] { return surface->fingersBegunBy(started->elapsed()); };
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
      m_registers(registerCatalog(setup.productId, setup.release, setup.serial), liveSources(&m_started, &m_surface)),
      m_flash(setup.productId, setup.release, &m_registers),
      m_hid(&m_registers),
      m_calibration(setup.productId, setup.release, &m_registers)
{
    m_started.start();
    m_hid.setTrafficSink([this](const QString& word, const QString& value, const QString& answer) {
        if (m_traffic)
            m_traffic(QStringLiteral("%1 %2 %3 -> %4").arg(m_setup.serial, printable(word), printable(value), printable(answer)));
    });
    m_hid.addRawHandler([this](const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer) {
        return m_calibration.perform(word, block, answer);
    });
    m_hid.addInputHandler([this](int reportId, int length, TransferResult* result) {
        if (reportId != TouchInputReportId && reportId != PenInputReportId)
            return false;
        *result = m_touchReports.read(reportId, length, m_started.elapsed(), [this] {
            const qint64 now = m_started.elapsed();
            return CVNTouchReports::Frame{m_surface.fingersAt(now), m_surface.pensAt(now)};
        });
        return true;
    });
    m_hid.setCommandHook([this](const QString& word, const QString& value, const QString& answer) {
        return controllerCommand(word, value, answer);
    });
    m_hid.addRawHandler([this](const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer) {
        return m_flash.exchange(word, block, &answer->field);
    });
}

std::unique_ptr<CVNVirtualController> CVNVirtualController::create(const ControllerSetup& setup, QString* error)
{
    std::unique_ptr<CVNVirtualController> controller(new CVNVirtualController(setup));
    if (!controller->loadTimeline(error))
        return nullptr;
    for (const auto& preset : setup.presets) {
        if (!controller->preset(preset.first, preset.second, error))
            return nullptr;
    }
    return controller;
}

bool CVNVirtualController::loadTimeline(QString* error)
{
    if (!setup().timeline) {
        m_surface.setTimeline(CVNTouchTimeline::quiet());
        return true;
    }
    if (setup().timelinePath.isEmpty())
        return true;  // the built-in script
    QFile file(setup().timelinePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read timeline %1").arg(setup().timelinePath);
        return false;
    }
    CVNTouchTimeline timeline;
    if (!CVNTouchTimeline::parse(file.read(CVNTouchTimeline::MaxScriptBytes + 1), &timeline, error))
        return false;
    m_surface.setTimeline(timeline);
    return true;
}

bool CVNVirtualController::preset(const QString& word, const QString& value, QString* error)
{
    if (m_flash.isSetupWord(word))
        return m_flash.preset(word, value, error);
    return m_registers.preset(word, value, error);
}

bool CVNVirtualController::value(const QString& word, QString* out) const
{
    if (m_flash.isSetupWord(word))
        return m_flash.value(word, out);
    return m_registers.value(word, out);
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
    // A reboot without a new enumeration: the firmware starts over from
    // what its flash holds.
    m_started.restart();
    m_touchReports.reset();
    m_flash.reboot();
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
    }
    return false;
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
    return m_hid.getFeature(reportId, length);
}

TransferResult CVNVirtualController::getInput(int reportId, int length)
{
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    return m_hid.getInput(reportId, length);
}

}  // namespace corvanesim
