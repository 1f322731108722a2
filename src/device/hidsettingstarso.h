#pragma once

#include "device/hidsettingslink.h"

class CVNDeviceHid;

// How long a Tarso upload waits for the controller to verify and apply the
// configuration. Each of the two phases has its own bound; between two
// polls the channel rests a little.
struct CVNTarsoWaitLimits
{
    int phaseTimeoutMs = 30000;
    int pauseMs = 10;
};

// The Tarso v1.0 settings procedures (USB product id 20): the configuration
// moves in 64-byte blocks addressed by their byte offset ("sbsr0064"),
// and a loaded configuration is verified and applied while the controller
// answers "Wait".
class CVNHidSettingsTarso
{
public:
    static constexpr quint16 ProductId = 20;

    using WaitLimits = CVNTarsoWaitLimits;

    // "sversion", "sbsb0000", "sbss0000", "sbsr0000".."sbsr<offset>",
    // "sbse0000". The first block is always read.
    static CVNSettingsTransfer download(CVNDeviceHid& device);
    // The whole image is checked first; then "sversion" (same major version
    // as the file), "sblb0000", "sblw0000".."sblw<offset>", "sblt0000" and
    // "sble" while the controller answers "Wait". Succeeds when the last
    // answer is "Finished".
    static CVNSettingsTransfer upload(CVNDeviceHid& device, const QByteArray& image,
                                      const WaitLimits& limits = WaitLimits());

    // "sbsr" / "sblw" with the byte offset of block index, at least 4 digits.
    static QString blockCommand(const QString& stem, int index);
};
