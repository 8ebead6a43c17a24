#include "signals/broadcast.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QString>

namespace tessari {

bool SendBroadcast(const std::string& name, int first, int second, std::string* error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = bus.lastError().message().toStdString();
        return false;
    }
    QDBusMessage signal = QDBusMessage::createSignal(kBroadcastPath, kBroadcastInterface, kBroadcastMember);
    signal << QString::fromStdString(name) << static_cast<qint32>(first) << static_cast<qint32>(second);
    if (!bus.send(signal)) {
        if (error) *error = bus.lastError().message().toStdString();
        return false;
    }
    // The program exits soon after its last broadcast: one round trip to the
    // bus daemon makes sure the signal has left before that.
    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
    return true;
}

}  // namespace tessari
