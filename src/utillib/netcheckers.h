#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

// Whether a host answers: the welcome page asks before it loads the maker's
// update-check page instead of the local one.
class INetConnectionChecker {
public:
    virtual ~INetConnectionChecker() = default;
    virtual bool IsConnectedTo(const QString& host, int tryCount) = 0;
};

class TAbstractNetConnectionChecker : public INetConnectionChecker {};

// Pings (ICMP echo) from a worker thread while the calling thread keeps its
// event loop running, so the window stays live during the check.
class TNetPingConnectionChecker : public QObject, public TAbstractNetConnectionChecker {
    Q_OBJECT
public:
    // pmSimple: the operating system's echo facility (an unprivileged ICMP
    // datagram socket, else a raw socket). pmIndy is kept for stored values
    // and behaves the same, with retries after unanswered echoes.
    enum TPingMethod { pmSimple, pmIndy };
    Q_ENUM(TPingMethod)

    TNetPingConnectionChecker(TPingMethod pingMethod, int pingInterval);

    // Blocks (pumping events) until the ping thread ends; true when any of the
    // at most tryCount + 1 attempts got an echo reply; none below 0.
    bool IsConnectedTo(const QString& host, int tryCount) override;

    TPingMethod PingMethod() const { return FPingMethod; }
    void SetPingMethod(TPingMethod v) { FPingMethod = v; }
    int PingInterval() const { return FPingInterval; }
    void SetPingInterval(int v) { FPingInterval = v; }
    // How many echo requests the last check sent.
    int LastAttemptCount() const { return FLastAttemptCount; }

    // The first IPv4 address of a host name in network byte order, or 0 when
    // the name cannot be resolved.
    static std::uint32_t ResolveHostAddress(const QString& hostName);
    // One echo request. True on a reply; false when no ICMP socket can be
    // opened; raises EOSError when no reply came (or the host is unknown:
    // pinging 0.0.0.0 would reach this very machine and report a network
    // that is not there).
    static bool SimplePing(const QString& host, int timeoutMs);

private:
    bool FIsConnected = false;
    bool FPingThreadComplete = false;
    TPingMethod FPingMethod;
    int FPingInterval;
    int FLastAttemptCount = 0;
};
