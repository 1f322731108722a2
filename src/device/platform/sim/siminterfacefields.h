#pragma once

#include "device/platform/usbplatform.h"

#include <QByteArray>

// Reads the "key=value ..." description of an interface that the simulator
// sends in "iface" and "arrived" lines.
class CVNSimInterfaceFields
{
public:
    static constexpr int MaxEndpoints = 32;

    // False when the path is missing or a number field is malformed.
    [[nodiscard]] static bool parse(const QByteArray& fields, CVNUsbInterfaceInfo& info);

private:
    [[nodiscard]] static bool parseEndpoints(const QByteArray& text, QVector<CVNUsbEndpoint>& endpoints);
};
