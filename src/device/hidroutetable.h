#pragma once

#include "device/devicerequest.h"

#include <QReadWriteLock>
#include <QVector>

#include <functional>

class CVNDeviceHid;

// How CVNDeviceInterfaceHid::execute picks the exchange for a request: the
// rows below, tested in this order, the first whose test holds and that has
// a handler wins. The command channel's own exchanges are installed from the
// start; the composite exchanges (frame capture, cell mask, edge snapping,
// border adjust, settings store, geometric calibration, foil health) install
// theirs with setHandler when they are built. Until then their requests fall
// through to the rows below them.
class CVNHidRouteTable
{
public:
    enum Row {
        Touches, // equals "touches"
        Frame, // equals "frame"
        Gain, // equals "gain"
        EnableDisableCells, // equals "enable_disable_cells"
        Pair, // "thbound", "tblobdis", "flogs", "fphys", "fsize"
        EdgeSnapping, // starts with "tste"
        BorderAdjust, // contains "cba." (any case)
        Settings, // contains "settings." (any case)
        GeometricCalibration, // equals "geometric_calibration"
        Triple, // "cfo", "te2fnref"
        FoilHealth, // contains "foilh." (any case)
        Function, // request type 4
        Boolean, // the value is a boolean
        Generic, // anything else
        RowCount
    };

    using Handler = std::function<CVNDeviceRequest(CVNDeviceHid& device, const CVNDeviceRequest& request)>;

    // The table with the command channel's own exchanges.
    CVNHidRouteTable();

    // The table that executeHidRequest uses.
    static CVNHidRouteTable& shared();

    static bool matches(Row row, const CVNDeviceRequest& request);
    void setHandler(Row row, Handler handler);
    bool hasHandler(Row row) const;
    // The row that would serve the request, RowCount when none does.
    Row route(const CVNDeviceRequest& request) const;

    // One reply for a request with a name and a type other than 0; no
    // exchange and no reply otherwise.
    CVNDeviceReplies execute(CVNDeviceHid& device, const CVNDeviceRequest& request) const;

private:
    QVector<Handler> m_handlers;
    mutable QReadWriteLock m_lock;
};
