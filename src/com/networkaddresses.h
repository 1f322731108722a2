#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkInterface>

// One address entry of a network interface that can be reached by
// broadcast: it has a broadcast address and is not 127.0.0.1.
struct InterfaceAddress {
    QHostAddress ip;
    QHostAddress broadcast;
};

// The qualifying entries of the given interfaces, in interface order.
// IPv6 entries have no broadcast address and never qualify.
QList<InterfaceAddress> broadcastInterfaceAddresses(const QList<QNetworkInterface>& interfaces);
QList<InterfaceAddress> broadcastInterfaceAddresses();
