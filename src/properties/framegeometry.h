#pragma once

#include <QString>

// Size of a frame and the length of the buffer its transfer needs.
struct CVNFrameGeometry
{
    enum class InfoResult {
        Ok,
        Malformed, // fewer than four words, or words that are not numbers
        OutOfRange, // sizes of no sensor: zero, beyond the limits, no bytes per cell
    };

    int width = 0;
    int height = 0;
    int bytesPerCell = 1;

    int cells() const { return width * height; }
    // Positive sizes within the sensor limits, 1..MaxBytesPerCell bytes per cell.
    bool isValid() const;
    // ceil(cells / 4032) * bytes per cell * 4032 + 1; 0 when not valid.
    int transferLength() const;

    // A frame info text "WIDTH HEIGHT BPC0 BPC1 ...": word k + 2 is the bytes
    // per cell of the frame mode with index k; a mode index of -1 (mode not
    // known) selects word 1. On anything but Ok the geometry is unchanged.
    [[nodiscard]] static InfoResult parseInfo(const QString& text, int modeIndex, CVNFrameGeometry* geometry);
};
