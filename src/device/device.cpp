#include "device/device.h"

#include "device/devicelog.h"

double CVNDevice::firmwareVersionNumber() const
{
    bool ok = false;
    const double number = firmwareVersion().toDouble(&ok);
    return ok ? number : 0.0;
}

QString CVNDevice::productName() const
{
    return productNameOf(serialCode());
}

quint16 CVNDevice::serialCode() const
{
    return serialCodeOf(serialNumber());
}

CVNDeviceParent::CVNDeviceParent(
    const QString& serialNumber, const QString& firmwareVersion, quint16 productType, QObject* parent)
    : CVNDevice(parent)
    , m_serialNumber(serialNumber)
    , m_firmwareVersion(firmwareVersion)
    , m_productType(productType)
{
}

CVNDeviceParent::~CVNDeviceParent()
{
    // Children are QObject children and go with us; make sure their handles
    // are released even when nobody closed the parent first.
    for (CVNDeviceDesc* child : qAsConst(m_children))
        child->close();
}

void CVNDeviceParent::close()
{
    m_state = 0;
    for (CVNDeviceDesc* child : qAsConst(m_children))
        child->close();
}

void CVNDeviceParent::markNotOpen()
{
    if (m_state.exchange(0) == 1) {
        qCWarning(lcDevice) << "device marked not open" << m_serialNumber;
        emit channelFailed();
    }
}

void CVNDeviceParent::announceRemoved()
{
    const QList<CVNDeviceDesc*> children = descriptors();
    for (CVNDeviceDesc* child : children)
        emit child->removed();
    emit removed();
}

void CVNDeviceParent::addChild(CVNDeviceDesc* child)
{
    if (!child)
        return;
    const CVNDeviceKind kind = child->kind();
    if (CVNDeviceDesc* old = m_children.value(kind)) {
        if (old != child) {
            old->close();
            old->deleteLater();
        }
        m_order.removeAll(kind);
    }
    child->setParent(this);
    m_children.insert(kind, child);
    m_order.append(kind);
}

QList<CVNDeviceDesc*> CVNDeviceParent::descriptors() const
{
    QList<CVNDeviceDesc*> list;
    for (CVNDeviceKind kind : m_order)
        list.append(m_children.value(kind));
    return list;
}

CVNDeviceDesc::CVNDeviceDesc(CVNDeviceParent* parent)
    : CVNDevice(parent)
    , m_parent(parent)
{
}

QString firmwareVersionText(quint16 releaseNumber)
{
    const int high = releaseNumber >> 8;
    const int low = releaseNumber & 0xFF;
    return QString::number(high, 16) + QLatin1Char('.')
        + QStringLiteral("%1").arg(low, 3, 16, QLatin1Char('0'));
}

quint16 serialCodeOf(const QString& serialNumber)
{
    if (serialNumber.size() != 12)
        return 0;
    bool okHigh = false;
    bool okLow = false;
    const uint high = serialNumber.mid(0, 2).toUInt(&okHigh, 16);
    const uint low = serialNumber.mid(2, 4).toUInt(&okLow, 16);
    // A part that is not hexadecimal counts as 0, like a failed conversion.
    return static_cast<quint16>(((okHigh ? high : 0) & 0xFF) << 8 | ((okLow ? low : 0) & 0xFF));
}

QString productNameOf(quint16 serialCode)
{
    switch (serialCode >> 8) {
    case 2:
        return QStringLiteral("Vasta");
    case 4:
        return QStringLiteral("Lyn");
    case 12:
        return QStringLiteral("TwinPoint");
    case 32:
        return QStringLiteral("Tarso55");
    case 34:
        return QStringLiteral("Ribo55");
    case 36:
        return QStringLiteral("TK334");
    case 38:
        return QStringLiteral("TK262");
    default:
        return QStringLiteral("Unknown");
    }
}
