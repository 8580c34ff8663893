#include "utillib/netcheckers.h"

#include "utillib/exceptions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class EOSError : public Exception { using Exception::Exception; };

std::uint16_t Checksum(const unsigned char* data, size_t len)
{
    std::uint32_t sum = 0;
    for (size_t i = 0; i + 1 < len; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (len & 1)
        sum += static_cast<std::uint32_t>(data[len - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

class ScopedFd {
public:
    explicit ScopedFd(int fd) : FFd(fd) {}
    ~ScopedFd() { if (FFd >= 0) ::close(FFd); }
    int Get() const { return FFd; }

private:
    int FFd;
};

// The ping thread's own state; the thread writes only this.
class TPingThread : public QThread {
public:
    QString FHost;
    int FTryCount = 0;
    int FPingInterval = 500;
    TNetPingConnectionChecker::TPingMethod FPingMethod = TNetPingConnectionChecker::pmSimple;
    bool FIsConnected = false;
    int FAttempts = 0;
    static constexpr int FReceiveTimeout = 2000;

protected:
    void run() override
    {
        FIsConnected = false;
        try {
            for (int attempt = 0; attempt <= FTryCount; ++attempt) {
                ++FAttempts;
                if (FPingMethod == TNetPingConnectionChecker::pmIndy) {
                    try {
                        FIsConnected = TNetPingConnectionChecker::SimplePing(FHost, FReceiveTimeout);
                    } catch (const std::exception&) {
                        FIsConnected = false;
                    }
                } else {
                    // An unanswered echo raises and ends the attempts: an
                    // offline start waits one time-out, not five.
                    FIsConnected = TNetPingConnectionChecker::SimplePing(FHost, FReceiveTimeout);
                }
                if (FIsConnected)
                    return;
                QThread::msleep(static_cast<unsigned long>(qMax(0, FPingInterval)));
            }
        } catch (const std::exception&) {
            FIsConnected = false;
        }
    }
};

} // namespace

TNetPingConnectionChecker::TNetPingConnectionChecker(TPingMethod pingMethod, int pingInterval)
    : FPingMethod(pingMethod), FPingInterval(pingInterval)
{
}

bool TNetPingConnectionChecker::IsConnectedTo(const QString& host, int tryCount)
{
    FPingThreadComplete = false;
    auto thread = std::make_unique<TPingThread>();
    thread->FHost = host;
    thread->FTryCount = tryCount;
    thread->FPingMethod = FPingMethod;
    thread->FPingInterval = FPingInterval;
    TPingThread* t = thread.get();
    // The end of the thread is reported on this thread, through its queue.
    QObject::connect(t, &QThread::finished, this, [this, t] {
        FIsConnected = t->FIsConnected;
        FLastAttemptCount = t->FAttempts;
        FPingThreadComplete = true;
    }, Qt::QueuedConnection);
    t->start();
    while (!FPingThreadComplete) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        else if (t->wait(50)) {
            FIsConnected = t->FIsConnected;
            FLastAttemptCount = t->FAttempts;
            FPingThreadComplete = true;
        }
    }
    t->wait();
    return FIsConnected;
}

std::uint32_t TNetPingConnectionChecker::ResolveHostAddress(const QString& hostName)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (hostName.isEmpty() || ::getaddrinfo(hostName.toLocal8Bit().constData(), nullptr, &hints, &result) != 0 || !result)
        return 0;
    std::uint32_t address = 0;
    for (addrinfo* ai = result; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr) {
            address = reinterpret_cast<sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeaddrinfo(result);
    return address;
}

bool TNetPingConnectionChecker::SimplePing(const QString& host, int timeoutMs)
{
    // An unprivileged ICMP datagram socket where the system allows it
    // (net.ipv4.ping_group_range), else a raw socket (needs privileges).
    bool raw = false;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        raw = true;
    }
    if (fd < 0)
        return false;
    ScopedFd sock(fd);

    const std::uint32_t address = ResolveHostAddress(host);
    if (address == 0)
        throw EOSError(QStringLiteral("Host \"%1\" cannot be resolved").arg(host));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    static std::atomic<std::uint16_t> sequence{0};
    const std::uint16_t id = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    const std::uint16_t seq = sequence++;
    unsigned char packet[8] = {ICMP_ECHO, 0, 0, 0, static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id & 0xFF),
                               static_cast<unsigned char>(seq >> 8), static_cast<unsigned char>(seq & 0xFF)};
    const std::uint16_t sum = Checksum(packet, sizeof packet);
    packet[2] = static_cast<unsigned char>(sum >> 8);
    packet[3] = static_cast<unsigned char>(sum & 0xFF);
    if (::sendto(sock.Get(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
        throw EOSError(QString::fromLocal8Bit(std::strerror(errno)));

    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = timeoutMs - static_cast<int>(clock.elapsed());
        if (left <= 0)
            break;
        pollfd p{sock.Get(), POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            break;
        unsigned char reply[128];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t n = ::recvfrom(sock.Get(), reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n <= 0)
            continue;
        const unsigned char* icmp = reply;
        if (raw) { // a raw socket delivers the IP header too
            const size_t ipLen = static_cast<size_t>(reply[0] & 0x0F) * 4;
            if (static_cast<size_t>(n) < ipLen + 8)
                continue;
            icmp = reply + ipLen;
            const std::uint16_t rid = static_cast<std::uint16_t>(icmp[4] << 8 | icmp[5]);
            if (rid != id)
                continue;
        } else if (n < 8) {
            continue;
        }
        if (icmp[0] == ICMP_ECHOREPLY && from.sin_addr.s_addr == address)
            return true;
    }
    throw EOSError(QStringLiteral("Request timed out"));
}
