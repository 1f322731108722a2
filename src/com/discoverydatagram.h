#pragma once

#include "com/connectiontype.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The two datagrams of UDP discovery, each one binary JSON object:
// "discovery" (clients to the discovery port, services back to a client) and
// "connection_info" (a client to the service once its TCP connection is up).
struct DiscoveryDatagram {
    static constexpr const char* kFrameDiscovery = "discovery";
    static constexpr const char* kFrameConnectionInfo = "connection_info";

    QString frameType;          // empty when absent
    ConnectionType type = Unknown;
    QString id;
    bool hasServerPort = false;
    int serverPort = 0;         // 0 when absent or not an integer
    int communicationPort = 0;  // 0 when absent or not an integer

    [[nodiscard]] static QByteArray buildDiscovery(quint16 serverPort, ConnectionType type, const QString& id);
    [[nodiscard]] static QByteArray buildConnectionInfo(quint16 serverPort, ConnectionType type, const QString& id,
                                                        quint16 communicationPort);

    // Decodes a received datagram and applies the acceptance checks for a
    // receiver of the given type and node id: one binary JSON object, a peer
    // type this receiver talks to (services take client kinds, clients take
    // services, Unknown takes nothing), and a non-empty id other than the
    // receiver's own. Nothing when any check fails.
    [[nodiscard]] static std::optional<DiscoveryDatagram> accept(const QByteArray& data, ConnectionType ownType,
                                                                const QString& ownId);
};

// Whether a node of type own talks to a peer of type peer.
bool acceptsPeerType(ConnectionType own, ConnectionType peer);
