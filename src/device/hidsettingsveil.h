#pragma once

#include "device/hidsettingslink.h"

class CVNDeviceHid;

// The Veil v2.4 settings procedures (every product but the Tarso): the
// configuration moves in numbered 64-byte blocks between "sbb" and "sbe".
class CVNHidSettingsVeil
{
public:
    // "sversion", "sbb", "sbl", "sbk", "sbg0".."sbg<B-1>", "sbe". Any failing
    // answer, or a length that is not a byte count, ends it with the reason
    // and no image.
    static CVNSettingsTransfer download(CVNDeviceHid& device);
    // The whole image is checked first; then "sversion" (major version 2),
    // "sbb", "sbs0".."sbs<B-1>", "sbe KEY LENGTH". Succeeds only when the
    // closing answer does not fail.
    static CVNSettingsTransfer upload(CVNDeviceHid& device, const QByteArray& image);
};
