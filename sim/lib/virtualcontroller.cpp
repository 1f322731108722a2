#include "virtualcontroller.h"

#include "firmwareimage.h"
#include "ownentities.h"
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

// A short answer keeps the report id, the command word and one byte of the
// answer: it still looks like an answer, only a wrong one.
constexpr int ShortAnswerLength = 10;

// A report keeps its id; a control transfer (reportId -1) is random throughout.
QByteArray garbage(int reportId, int length)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    if (length > 0 && reportId >= 0)
        bytes[0] = char(reportId);
    return bytes;
}

}  // namespace

CVNVirtualController::CVNVirtualController(const ControllerSetup& setup)
    : m_setup(setup),
      m_registers(setup.ownEntities ? ownRegisterCatalog(setup.productId, setup.release, setup.serial)
                                    : registerCatalog(setup.productId, setup.release, setup.serial),
                  liveSources(&m_started, &m_surface)),
      m_flash(setup.productId, setup.release, &m_registers),
      m_hid(&m_registers),
      m_calibration(setup.productId, setup.release, &m_registers),
      m_bulk(&m_registers, setup.ownEntities ? ownViews() : productViews(m_registers.words())),
      m_sensor(&m_registers, [this] { return m_started.elapsed(); },
               [this] { return m_surface.fingersAt(m_started.elapsed()); }),
      m_tune(&m_registers, &m_sensor, [this] { return m_started.elapsed(); },
             [this] { return m_surface.fingersAt(m_started.elapsed()); })
{
    m_started.start();
    auto traffic = [this](const QString& word, const QString& value, const QString& answer) {
        logExchange(word, value, answer);
    };
    auto hook = [this](const QString& word, const QString& value, const QString& answer) {
        return controllerCommand(word, value, answer);
    };
    m_hid.setTrafficSink(traffic);
    m_hid.setCommandHook(hook);
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
    m_hid.addRawHandler([this](const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer) {
        return m_flash.exchange(word, block, &answer->field);
    });
    m_hid.addRawHandler([this](const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer) {
        CommandReport command;
        command.word = word.toLatin1().leftJustified(CommandWordSize, '\0', true);
        command.block = block;
        return m_sensor.command(command, &answer->field);
    });
    m_hid.addInputHandler([this](int reportId, int length, TransferResult* result) {
        if (reportId != CVNSensorFunctions::FrameReportId)
            return false;
        *result = m_sensor.input(reportId, length);
        return true;
    });
    m_bulk.setTrafficSink(traffic);
    m_bulk.setCommandHook(hook);
}

void CVNVirtualController::logExchange(const QString& word, const QString& value, const QString& answer)
{
    if (m_traffic)
        m_traffic(QStringLiteral("%1 %2 %3 -> %4").arg(m_setup.serial, printable(word), printable(value), printable(answer)));
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
    controller->m_sensor.foil().damage() = setup.damage;
    if (!setup.damage.fits(controller->m_sensor.width(), controller->m_sensor.height(), error))
        return nullptr;
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

bool CVNVirtualController::damageLine(bool column, int index, QString* error)
{
    FoilDamage damage = m_sensor.foil().damage();
    (column ? damage.deadColumns : damage.brokenRows).insert(index);
    if (!damage.fits(m_sensor.width(), m_sensor.height(), error))
        return false;
    m_sensor.foil().damage() = damage;
    return true;
}

QList<UsbInterface> CVNVirtualController::interfaces() const
{
    QList<UsbInterface> result;
    // In DFU mode the controller is its boot loader: one DFU interface, one product id up.
    if (m_mode == Mode::Dfu) {
        result.append(dfuInterface(quint16(m_setup.productId + 1), m_setup.release, m_setup.serial));
        return result;
    }
    if (m_setup.bulk)
        result.append(bulkInterface(m_setup.productId, m_setup.release, m_setup.serial));
    if (m_setup.bulkOnly)
        return result;
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
    if (!m_setup.hangWord.isEmpty() && word == m_setup.hangWord)
        m_hung = true;
    if (word == QLatin1String("dtune"))
        return m_tune.command(value, answer);
    if (word != QLatin1String("dreset") || answer.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return answer;
    if (!value.isEmpty()) {
        // Into the boot loader once the host has read this answer.
        m_change = Change::EnterDfu;
        if (m_bus)
            m_bus(DetachFallbackMs);
        return answer;
    }
    // A reboot without a new enumeration: the firmware starts over from
    // what its flash holds.
    m_started.restart();
    m_touchReports.reset();
    m_flash.reboot();
    m_sensor.reboot();
    m_tune.reboot();
    return answer;
}

bool CVNVirtualController::applyBusChange()
{
    const Change change = m_change;
    m_change = Change::None;
    switch (change) {
    case Change::None:
        return false;
    case Change::EnterDfu:
        m_mode = Mode::Dfu;
        m_dfu = std::make_unique<CVNDfuFunction>();
        m_dfu->setTrafficSink([this](const QString& request, const QString& value, const QString& answer) {
            logExchange(request, value, answer);
        });
        m_dfu->setManifestSink([this](const QByteArray& image, int delayMs) {
            // An image that does not name its release keeps the one there was.
            quint16 release = m_setup.release;
            (void)imageRelease(image, &release);
            m_nextRelease = release;
            m_change = Change::LeaveDfu;
            if (m_bus)
                m_bus(delayMs);
        });
        return true;
    case Change::LeaveDfu:
        installFirmware(m_nextRelease);
        return true;
    }
    return false;
}

void CVNVirtualController::installFirmware(quint16 release)
{
    m_setup.release = release;
    m_registers = CVNRegisterTable(m_setup.ownEntities ? ownRegisterCatalog(m_setup.productId, release, m_setup.serial)
                                                       : registerCatalog(m_setup.productId, release, m_setup.serial),
                                   liveSources(&m_started, &m_surface));
    // Flash layout and calibration commands follow the firmware too.
    m_flash = CVNSettingsFlash(m_setup.productId, release, &m_registers);
    m_calibration = CVNCalibrationCommands(m_setup.productId, release, &m_registers);
    // The presets the plugged controller had, where the new firmware knows the word.
    QString ignored;
    for (const auto& preset : m_setup.presets)
        (void)m_registers.preset(preset.first, preset.second, &ignored);
    m_mode = Mode::Runtime;
    m_dfu.reset();
    m_started.restart();
    m_sensor.reboot();
    m_tune.reboot();
}

bool CVNVirtualController::faulted(bool returnsData, int reportId, int length, TransferResult* result)
{
    if (m_hung) {
        *result = {TransferResult::Status::Silent, {}};
        return true;
    }
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
    // The boot loader has no HID function.
    if (m_mode == Mode::Dfu)
        return TransferResult::fail();
    TransferResult result;
    if (faulted(false, 0, 0, &result))
        return result;
    result = m_hid.setFeature(report);
    // The command that makes the controller hang gets no answer either.
    return m_hung ? TransferResult{TransferResult::Status::Silent, {}} : result;
}

TransferResult CVNVirtualController::getFeature(int reportId, int length)
{
    if (m_mode == Mode::Dfu)
        return TransferResult::fail();
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    result = shortened(m_hid.getFeature(reportId, length));
    // The host has the answer to "dreset dfu": the controller goes soon.
    if (m_change == Change::EnterDfu && reportId == CommandReportId && m_bus)
        m_bus(DetachDelayMs);
    return result;
}

TransferResult CVNVirtualController::bulkWrite(quint8 endpoint, const QByteArray& packet)
{
    TransferResult result;
    if (faulted(false, 0, 0, &result))
        return result;
    return m_bulk.write(endpoint, packet);
}

TransferResult CVNVirtualController::bulkRead(quint8 endpoint, int maxLength)
{
    TransferResult result;
    // Garbage on the IN pipe: a packet of the length asked for, random from the first byte.
    if (faulted(true, -1, maxLength, &result)) {
        if (result.status == TransferResult::Status::Ok && maxLength > 0)
            result.data[0] = char(QRandomGenerator::global()->bounded(256));
        return result;
    }
    return m_bulk.read(endpoint, maxLength);
}

TransferResult CVNVirtualController::getInput(int reportId, int length)
{
    if (m_mode == Mode::Dfu)
        return TransferResult::fail();
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    return shortened(m_hid.getInput(reportId, length));
}

TransferResult CVNVirtualController::control(int requestType, int request, int value, int index, int length,
                                             const QByteArray& data)
{
    TransferResult result;
    const bool in = (requestType & 0x80) != 0;
    if (faulted(in, -1, length, &result))
        return result;
    if (!m_dfu)
        return TransferResult::fail();
    return m_dfu->control(requestType, request, value, index, length, data);
}

}  // namespace corvanesim
