#pragma once

class CVNDeviceHid;

// Tells a controller's HID interface from anything else that shares its
// identity: the "gain" register must answer steadily with a small number,
// "dbuild" with a 40-character build id and "dserial" with the 12-character
// serial.
class CVNHidProbe
{
public:
    static constexpr int ExtraGainQueries = 20;
    static constexpr int PauseMs = 10;
    static constexpr int GainLimit = 8;
    static constexpr int BuildIdLength = 40;
    static constexpr int SerialLength = 12;

    // True when accepted; a rejected device has been sent "dreset".
    [[nodiscard]] static bool run(CVNDeviceHid& device);

private:
    [[nodiscard]] static bool check(CVNDeviceHid& device);
};
