#pragma once

#include "device/devicekind.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>

// The one vendor id shared by all controllers.
constexpr quint16 ControllerVendorId = 0x3C2E;

// Common base of parent devices (one physical controller) and their children
// (one USB interface each).
class CVNDevice : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~CVNDevice() override = default;

    virtual bool isOpen() const = 0;
    virtual CVNDeviceKind kind() const = 0;
    virtual QString serialNumber() const = 0;
    virtual QString firmwareVersion() const = 0;
    virtual double firmwareVersionNumber() const;
    virtual QString productName() const;
    virtual quint16 productType() const = 0;
    virtual quint16 serialCode() const;
    virtual void close() = 0;

signals:
    // Emitted when the device leaves the system (removal, stop, failed channel).
    void removed();
};

class CVNDeviceDesc;

// One physical controller, found by its serial number.
class CVNDeviceParent : public CVNDevice
{
    Q_OBJECT
public:
    CVNDeviceParent(const QString& serialNumber, const QString& firmwareVersion, quint16 productType,
        QObject* parent = nullptr);
    ~CVNDeviceParent() override;

    bool isOpen() const override { return m_state == 1; }
    CVNDeviceKind kind() const override { return CVNDeviceKind::Parent; }
    QString serialNumber() const override { return m_serialNumber; }
    QString firmwareVersion() const override { return m_firmwareVersion; }
    quint16 productType() const override { return m_productType; }
    // Closes every child; the parent is no longer open.
    void close() override;
    // Marks the controller not open without closing the handles (a failed
    // transfer series): every later transfer fails at once. Safe from any
    // thread; emits channelFailed once.
    void markNotOpen();
    // Emits removed() for every child, then for the parent itself: the
    // controller has left the device manager.
    void announceRemoved();

    // At most one child per kind; a replaced child is closed and deleted later.
    void addChild(CVNDeviceDesc* child);
    CVNDeviceDesc* child(CVNDeviceKind kind) const { return m_children.value(kind); }
    // The children (interface descriptors) in their stored order.
    QList<CVNDeviceDesc*> descriptors() const;

    QString path() const { return m_path; }
    void setPath(const QString& lowerCasePath) { m_path = lowerCasePath; }

private:
    QString m_serialNumber;
    QString m_firmwareVersion;
    quint16 m_productType;
    std::atomic<int> m_state { 1 };
    QHash<CVNDeviceKind, CVNDeviceDesc*> m_children;
    QList<CVNDeviceKind> m_order;
    QString m_path;

signals:
    // A transfer series failed for good; emitted in the transferring thread.
    void channelFailed();
};

// A child: one USB interface of a controller. Identity questions go to the parent.
class CVNDeviceDesc : public CVNDevice
{
    Q_OBJECT
public:
    explicit CVNDeviceDesc(CVNDeviceParent* parent);

    CVNDeviceParent* parentDevice() const { return m_parent; }
    bool isOpen() const override { return m_parent && m_parent->isOpen(); }
    QString serialNumber() const override { return m_parent->serialNumber(); }
    QString firmwareVersion() const override { return m_parent->firmwareVersion(); }
    quint16 productType() const override { return m_parent->productType(); }

private:
    CVNDeviceParent* m_parent;
};

// "2.005" from release number 0x0205: high byte in hex without leading zeros,
// a point, the low byte as three hex digits.
QString firmwareVersionText(quint16 releaseNumber);
// 16-bit code from a 12-character serial (0 for any other length).
quint16 serialCodeOf(const QString& serialNumber);
// "Vasta", "Lyn", ... from the high byte of the serial code.
QString productNameOf(quint16 serialCode);

inline uint qHash(CVNDeviceKind kind, uint seed = 0)
{
    return ::qHash(static_cast<int>(kind), seed);
}
