#pragma once
// The TCP connection of the mail client, made by hand: QTcpSocket gives up a connection
// attempt whenever one of its waits runs out, and the client's waits are short slices.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <string>

// An address written in dotted form, in host order; nothing for a name, or for
// 255.255.255.255, which is no address.
std::optional<quint32> DottedIPv4(const QByteArray& host);
// The first IPv4 address of the name, in host order, or nothing. Blocks while it asks.
std::optional<quint32> LookUpIPv4(const std::string& name);

struct TcpConnection {
  // NoNetwork: no network is up (yet), so no route leads anywhere.
  enum End { Connected, Failed, NoNetwork, TimedOut, Abandoned };
  End end = Failed;
  qintptr descriptor = -1;  // when Connected: the caller's to hand to a socket or close
  int error = 0;            // errno, when no socket could be made
};
// Connects to address:port (host order) by the deadline, waiting at most sliceMs at a time
// and asking `abandoned` between the waits.
TcpConnection ConnectTcp(quint32 address, quint16 port, const QDeadlineTimer& deadline, int sliceMs,
                         const std::function<bool()>& abandoned);
// Closes a connected descriptor that no socket took over.
void CloseDescriptor(qintptr descriptor);
