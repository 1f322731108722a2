#pragma once

#include <QChar>
#include <QString>

class CVNDeviceInterface;

// What the blob and shield tables need to know of the controller: its
// product type and firmware version.
struct CVNSensorVersion
{
    static constexpr quint16 Lyn2 = 0x0402;
    static constexpr quint16 Tarso55 = 32;
    static constexpr quint16 Lyn = 4;

    quint16 productType = 0;
    QString firmware; // "2.005"

    static CVNSensorVersion of(const CVNDeviceInterface* interface);

    // The firmware major number (the hexadecimal part before the point).
    int firmwareMajor() const;
    // Product type in the high byte, firmware major in the low byte.
    quint16 word() const { return quint16((productType << 8) | (firmwareMajor() & 0xFF)); }
    // The character of the firmware version that picks the Lyn shield
    // table: the last digit of the version ("2.003" -> '3'). The version
    // texts are "major.minor" with three minor digits, so its third
    // character would always be '0'.
    QChar tableCharacter() const;
};
