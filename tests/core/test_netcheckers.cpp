// The connection check pings from a worker thread while the caller's event
// loop keeps running.
#include "utillib/exceptions.h"
#include "utillib/netcheckers.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Whether this process may send ICMP echoes at all, asked of the system
// directly: an unprivileged datagram socket (net.ipv4.ping_group_range) or a
// raw one (privileged). Where it may, loopback always answers.
bool SystemAllowsPing()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (fd < 0)
        fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

TEST(NetChecker, ResolvesAndPings)
{
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QStringLiteral("127.0.0.1")), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QStringLiteral("localhost")), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QStringLiteral("no-such-host.invalid")), 0u);
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QString()), 0u);
    EXPECT_THROW(TNetPingConnectionChecker::SimplePing(QStringLiteral("no-such-host.invalid"), 100), Exception);

    TNetPingConnectionChecker checker(TNetPingConnectionChecker::pmSimple, 10);
    if (SystemAllowsPing()) {
        EXPECT_TRUE(TNetPingConnectionChecker::SimplePing(QStringLiteral("127.0.0.1"), 5000));
        EXPECT_TRUE(checker.IsConnectedTo(QStringLiteral("127.0.0.1"), 4));
        EXPECT_EQ(checker.LastAttemptCount(), 1); // the first answer ends the check
        EXPECT_TRUE(checker.IsConnectedTo(QStringLiteral("127.0.0.2"), 0)); // all of 127/8 is this machine
    } else {
        // Without ICMP the check cannot succeed, and says so after its tries.
        EXPECT_FALSE(checker.IsConnectedTo(QStringLiteral("127.0.0.1"), 4));
        EXPECT_EQ(checker.LastAttemptCount(), 5);
    }
}

TEST(NetChecker, AttemptRules)
{
    struct Case { const char* host; int tryCount; TNetPingConnectionChecker::TPingMethod method; int attempts; };
    const Case cases[] = {
        {"127.0.0.1", -1, TNetPingConnectionChecker::pmSimple, 0},           // below 0: no attempt
        {"no-such-host.invalid", 0, TNetPingConnectionChecker::pmSimple, 1}, // 0: exactly one
        {"no-such-host.invalid", 4, TNetPingConnectionChecker::pmSimple, 1}, // unanswered ends the check
        {"no-such-host.invalid", 2, TNetPingConnectionChecker::pmIndy, 3},   // retried after each failure
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        TNetPingConnectionChecker checker(c.method, 5);
        EXPECT_FALSE(checker.IsConnectedTo(QString::fromLatin1(c.host), c.tryCount));
        EXPECT_EQ(checker.LastAttemptCount(), c.attempts);
    }
}

} // namespace
