// What a simulated controller reads from a firmware image it received.
#pragma once

#include <QByteArray>

namespace corvanesim {

// The first line of an image names the release it brings, in the form of
// SETUP's FIRMWARE: "corvane-firmware 2.006". Hosts strip a firmware
// file's DFU suffix before the download, so the image itself must say it.
constexpr char FirmwareImageTag[] = "corvane-firmware ";
constexpr int MaxFirmwareLineLength = 64;

// The release an image brings; false (release untouched) for an image
// without such a first line.
[[nodiscard]] bool imageRelease(const QByteArray& image, quint16* release);

}  // namespace corvanesim
