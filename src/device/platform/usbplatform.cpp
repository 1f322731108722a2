#include "device/platform/usbplatform.h"

#include "device/platform/linux/linuxusbplatform.h"
#include "device/platform/sim/simusbplatform.h"

#include <QRegularExpression>

std::unique_ptr<CVNUsbPlatform> createUsbPlatform()
{
    const QByteArray socket = qgetenv("CORVANE_SIM_SOCKET");
    if (!socket.isEmpty())
        return std::make_unique<CVNSimUsbPlatform>(QString::fromLocal8Bit(socket));
    return std::make_unique<CVNLinuxUsbPlatform>();
}

bool parseVidPidFromPath(const QString& path, quint16* vendorId, quint16* productId)
{
    static const QRegularExpression rule(QStringLiteral("#vid_(\\w+)&pid_(\\w+)"));
    const QRegularExpressionMatch match = rule.match(path.toLower());
    if (!match.hasMatch())
        return false;
    bool okVendor = false;
    bool okProduct = false;
    const uint vendor = match.captured(1).toUInt(&okVendor, 16);
    const uint product = match.captured(2).toUInt(&okProduct, 16);
    if (!okVendor || !okProduct || vendor > 0xFFFF || product > 0xFFFF)
        return false;
    *vendorId = static_cast<quint16>(vendor);
    *productId = static_cast<quint16>(product);
    return true;
}
