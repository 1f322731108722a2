#pragma once

#include "interface/deviceproperty.h"
#include "properties/shieldtables.h"

class DevicePropertyString;
template <typename T> class DevicePropertyNumberTemplate;

// The shield level -1..6 against interference from the display: each level
// is a row of four controller settings ("tdelayn", "tidlee", "bmode",
// "tcstrong"); a combination of no row reads -1 (custom), and writing -1
// changes nothing. The family classes below pick the table. It sends no
// request of its own: its companions do the device work.
class DevicePropertyShield : public DeviceProperty
{
public:
    DevicePropertyShield(CVNDeviceInterface* interface, const QString& name, const QString& description,
                         const QString& command, int accessMode);

    QJsonObject describe() const override; // adds "domain"
    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;

    // For the tuning sequence: the level (read from the companions when
    // nothing valid is cached) and setting it.
    int level();
    void setLevel(int level);
    // The four settings behind the level, in the order tdelayn, tidlee,
    // bmode, tcstrong (null where a companion is missing): what the tuning
    // sequence saves, since a custom combination has no level to set back.
    QList<DevicePropertyNumberTemplate<int>*> levelSettings() const { return {m_delay, m_idle, m_blur, m_strong}; }

protected:
    // The table in force for this controller and foil.
    virtual const CVNShieldTable& table() = 0;
    bool isSmallSize();
    bool blobRejectionOn();

    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return QString::number(m_level); }
    QJsonValue cachedJson() const override { return m_level; }
    QVariant requestValue() const override { return m_level; }

private:
    void readLevel();

    int m_level = 0;
    bool m_busy = false; // reads caused by its own writes are not taken
    DevicePropertyNumberTemplate<int>* m_delay = nullptr; // tdelayn
    DevicePropertyNumberTemplate<int>* m_idle = nullptr; // tidlee
    DevicePropertyNumberTemplate<int>* m_blur = nullptr; // bmode
    DevicePropertyNumberTemplate<int>* m_strong = nullptr; // tcstrong
    DevicePropertyNumberTemplate<int>* m_blob = nullptr; // tblobrej
    DevicePropertyString* m_physical = nullptr; // fphysc
};

// Vasta: the table by the foil's size class ("fphysc" "small size" or not).
class DevicePropertyShieldVasta : public DevicePropertyShield
{
public:
    using DevicePropertyShield::DevicePropertyShield;
    static QString staticTypeName() { return QStringLiteral("ShieldVasta"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("int"); }

protected:
    const CVNShieldTable& table() override { return CVNShieldTables::vasta(isSmallSize()); }
};

// Lyn: the table by the firmware version.
class DevicePropertyShieldLyn : public DevicePropertyShield
{
public:
    using DevicePropertyShield::DevicePropertyShield;
    static QString staticTypeName() { return QStringLiteral("ShieldLyn"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("0..6"); }

protected:
    const CVNShieldTable& table() override;
};

// TwinPoint: one table.
class DevicePropertyShieldTwinPoint : public DevicePropertyShield
{
public:
    using DevicePropertyShield::DevicePropertyShield;
    static QString staticTypeName() { return QStringLiteral("ShieldTwinPoint"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("0..6"); }

protected:
    const CVNShieldTable& table() override { return CVNShieldTables::twinPoint(); }
};
