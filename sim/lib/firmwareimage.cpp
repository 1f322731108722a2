#include "firmwareimage.h"

#include "controllersetup.h"

namespace corvanesim {

bool imageRelease(const QByteArray& image, quint16* release)
{
    const QByteArray head = image.left(MaxFirmwareLineLength + 1);
    const int end = head.indexOf('\n');
    if (end < 0 || !head.startsWith(FirmwareImageTag))
        return false;
    const QByteArray text = head.mid(int(sizeof(FirmwareImageTag)) - 1, end - int(sizeof(FirmwareImageTag)) + 1)
                                .trimmed();
    return parseFirmware(QString::fromLatin1(text), release);
}

}  // namespace corvanesim
