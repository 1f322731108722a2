#include "com/networkaddresses.h"

QList<InterfaceAddress> broadcastInterfaceAddresses(const QList<QNetworkInterface>& interfaces)
{
    const QHostAddress loopback(QHostAddress::LocalHost);
    QList<InterfaceAddress> result;
    for (const QNetworkInterface& networkInterface : interfaces) {
        for (const QNetworkAddressEntry& entry : networkInterface.addressEntries()) {
            if (entry.broadcast().isNull() || entry.ip() == loopback)
                continue;
            result.append({entry.ip(), entry.broadcast()});
        }
    }
    return result;
}

QList<InterfaceAddress> broadcastInterfaceAddresses()
{
    return broadcastInterfaceAddresses(QNetworkInterface::allInterfaces());
}
