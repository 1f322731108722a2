// The calibration and border commands of a controller, served beside its
// register table: "cmatrix" and "cclear" (zones, from firmware 2.002),
// "tste" (from 2.004) and "cba" (from 2.004; TwinPoint from 2.005). A
// firmware without the command leaves it to the register table, which
// answers it as unknown.
#pragma once

#include "bordersettings.h"
#include "calibrationzones.h"
#include "hidcontroller.h"

namespace corvanesim {

class CVNRegisterTable;

class CVNCalibrationCommands {
public:
    CVNCalibrationCommands(quint16 productId, quint16 release, const CVNRegisterTable* registers);

    // A command report's word and 64 value bytes; false when the word is
    // not one of these commands on this firmware.
    bool perform(const QString& word, const QByteArray& block, CVNHidController::RawAnswer* answer);

    CVNCalibrationZones& zones() { return m_zones; }

private:
    quint16 m_productId;
    quint16 m_release;
    CVNCalibrationZones m_zones;
    CVNBorderSettings m_borders;
};

}  // namespace corvanesim
