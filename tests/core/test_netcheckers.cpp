// The connection check pings from a worker thread while the caller's event
// loop keeps running.
#include "utillib/netcheckers.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>

TEST(NetChecker, ResolvesAndPings)
{
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QStringLiteral("127.0.0.1")), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QStringLiteral("no-such-host.invalid")), 0u);
    EXPECT_EQ(TNetPingConnectionChecker::ResolveHostAddress(QString()), 0u);

    TNetPingConnectionChecker checker(TNetPingConnectionChecker::pmSimple, 10);
    // Where this machine allows ICMP sockets at all, loopback answers.
    bool canPing = false;
    try {
        canPing = TNetPingConnectionChecker::SimplePing(QStringLiteral("127.0.0.1"), 1000);
    } catch (const std::exception&) {
    }
    EXPECT_EQ(checker.IsConnectedTo(QStringLiteral("127.0.0.1"), 4), canPing);
    EXPECT_EQ(checker.LastAttemptCount(), canPing ? 1 : 5);
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
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(checker.IsConnectedTo(QString::fromLatin1(c.host), c.tryCount));
        EXPECT_EQ(checker.LastAttemptCount(), c.attempts);
        EXPECT_LT(t.elapsed(), 5000); // an unknown host is answered promptly
    }
}
