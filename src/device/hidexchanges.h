#pragma once

#include "device/devicerequest.h"

#include <QString>

class CVNDeviceHid;

// The command channel's own exchanges: a request in, its one reply out.
// Any answer containing "error" (any case) becomes an error reply (type 5)
// carrying the device's words; a command that could not be sent or whose
// answer could not be read becomes the error reply TransferFailed, never a
// value.
class CVNHidExchanges
{
public:
    static const QString UnknownResult; // pair/triple answer of the wrong shape
    static const QString InvalidArgument; // pair/triple value that is not integers
    static const QString TransferFailed; // the command or its answer did not get through

    static CVNDeviceRequest generic(CVNDeviceHid& device, const CVNDeviceRequest& request);
    // Generic, keeping only the first space-separated word of the answer.
    static CVNDeviceRequest gain(CVNDeviceHid& device, const CVNDeviceRequest& request);
    static CVNDeviceRequest function(CVNDeviceHid& device, const CVNDeviceRequest& request);
    static CVNDeviceRequest boolean(CVNDeviceHid& device, const CVNDeviceRequest& request);
    // Pair (count 2) and triple (count 3) of integers.
    static CVNDeviceRequest integers(CVNDeviceHid& device, const CVNDeviceRequest& request, int count);
    // The touch input reports of one frame as one block (CVNHidTouchReports);
    // an error reply when they were not read.
    static CVNDeviceRequest touches(CVNDeviceHid& device, const CVNDeviceRequest& request);

    // The value text of the generic exchange: the value for a set, the
    // arguments joined by spaces for a call, empty (a query) otherwise.
    static QString valueText(const CVNDeviceRequest& request);
    static bool isErrorAnswer(const QString& answer);
    // The integers of a pair/triple value: a list, a string of numbers, a
    // point or a size; false when it does not hold exactly count integers.
    [[nodiscard]] static bool integersOf(const QVariant& value, int count, QVariantList& numbers);

private:
    // One command exchange: an error reply for a failed transfer or an
    // error answer, otherwise a reply of the request's type whose value is
    // the answer text.
    static CVNDeviceRequest answered(CVNDeviceHid& device, const CVNDeviceRequest& request, const QString& value);
};
