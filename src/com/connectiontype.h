#pragma once

#include <QString>

// Kind of node at one end of a connection; the text form travels in
// discovery datagrams.
enum ConnectionType : qint32 {
    Unknown = 0,
    Service = 1,
    VeilCLI = 2,
    DesktopLink = 3,
    CloudLink = 4,
};

// "Unknown" for any value outside Service..CloudLink.
QString connectionTypeToText(ConnectionType type);

// Whole-text, case-sensitive match; any other text is Unknown.
ConnectionType connectionTypeFromText(const QString& text);

// True for the client kinds (VeilCLI, DesktopLink, CloudLink).
bool isClientConnectionType(ConnectionType type);
