#include "virtualcontroller.h"

#include "simlimits.h"

#include "ownentities.h"
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
      m_registers(setup.ownEntities ? ownRegisterCatalog(setup.productId, setup.release, setup.serial)
                                    : registerCatalog(setup.productId, setup.release, setup.serial),
                  liveSources(&m_started, &m_timeline)),
      m_flash(setup.productId, setup.release, &m_registers),
      m_hid(&m_registers, &m_timeline, [this] { return m_started.elapsed(); }),
      m_calibration(setup.productId, setup.release, &m_registers),
      m_bulk(&m_registers, setup.ownEntities ? ownViews() : productViews(m_registers.words())),
      m_sensor(&m_registers, [this] { return m_started.elapsed(); },
               [this] { return m_timeline.contactsAt(m_started.elapsed()); })
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
    m_hid.addRawHandler([this](const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer) {
        return m_flash.exchange(word, block, &answer->field);
    });
    m_hid.addRawHandler([this](const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer) {
        CommandReport command;
        command.word = word.toLatin1().leftJustified(CommandWordSize, '\0', true);
        command.block = block;
        return m_sensor.command(command, &answer->field);
    });
    m_hid.setInputHook([this](int reportId, int length) { return m_sensor.input(reportId, length); });
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
    for (const auto& preset : setup.presets) {
        if (!controller->preset(preset.first, preset.second, error))
            return nullptr;
    }
    controller->m_sensor.foil().damage() = setup.damage;
    if (!setup.damage.fits(controller->m_sensor.width(), controller->m_sensor.height(), error))
        return nullptr;
    return controller;
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
    if (word != QLatin1String("dreset") || answer.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return answer;
    // TODO: "dreset dfu" re-enumerates the controller in DFU mode once the
    // DFU function exists; until then the controller refuses it.
    if (!value.isEmpty())
        return QStringLiteral("error: dfu mode not available");
    // A reboot without a new enumeration: the firmware starts over from
    // what its flash holds.
    m_started.restart();
    m_flash.reboot();
    m_sensor.reboot();
    return answer;
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
    }
    return false;
}

TransferResult CVNVirtualController::setFeature(const QByteArray& report)
{
    TransferResult result;
    if (faulted(false, 0, 0, &result))
        return result;
    result = m_hid.setFeature(report);
    // The command that makes the controller hang gets no answer either.
    return m_hung ? TransferResult{TransferResult::Status::Silent, {}} : result;
}

TransferResult CVNVirtualController::getFeature(int reportId, int length)
{
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    return m_hid.getFeature(reportId, length);
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
    TransferResult result;
    if (faulted(true, reportId, length, &result))
        return result;
    return m_hid.getInput(reportId, length);
}

}  // namespace corvanesim
