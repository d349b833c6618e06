#include "updatecheck/dns_query.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/thread_util.h"
#include "tests/updatecheck/fake_servers.h"

namespace {

const std::string kHost = "up.test";
const CBytes kQuestionName = DnsPointer(12);  // the queried name, as the question holds it
constexpr uint16_t kFirstAnswer = 25;          // where the first answer starts after "up.test"

CBytes Query() {
    CBytes query;
    BuildDnsQuery(kHost, 0x1234, &query);
    return query;
}

TEST(DnsQueryTest, QueryCarriesIdentifierRecursionAndTheLabels) {
    CBytes query;
    ASSERT_TRUE(BuildDnsQuery(kHost, 0xBEEF, &query));
    EXPECT_EQ(query, (CBytes{0xBE, 0xEF, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 2, 'u', 'p', 4, 't', 'e',
                             's', 't', 0, 0, 1, 0, 1}));
    for (const std::string& strBad : {std::string(), std::string("a..b"), std::string("a."),
                                      std::string(64, 'a'), std::string(127, 'a') + "." +
                                      std::string(126, 'b')}) {
        EXPECT_FALSE(BuildDnsQuery(strBad, 1, &query)) << strBad.size();
    }
}

struct CDecodeCase {
    const char* szName;
    std::vector<CDnsTestRecord> records;
    size_t nCut;  // bytes taken off the end of the reply
    int nCode;
    int nRecordError;
    std::vector<std::string> addresses;
};

TEST(DnsQueryTest, RepliesDecodeToTheHostsAddresses) {
    const CDecodeCase cases[] = {
        {"plain", {{kQuestionName, 1, {10, 0, 0, 1}}}, 0, 0, 0, {"10.0.0.1"}},
        {"other types skipped, answer order",
         {{DnsName(kHost), 15, {0, 1, 0}}, {DnsName(kHost), 1, {10, 0, 0, 2}},
          {kQuestionName, 1, {10, 0, 0, 1}}}, 0, 0, 0, {"10.0.0.2", "10.0.0.1"}},
        {"CNAME chain moves the target",
         {{kQuestionName, 5, DnsName("a.test")}, {DnsName("a.test"), 5, DnsName("b.test")},
          {DnsName("b.test"), 1, {10, 0, 0, 3}}, {DnsName("a.test"), 1, {10, 0, 0, 9}}},
         0, 0, 0, {"10.0.0.3"}},
        {"foreign owners", {{DnsName("x.test"), 5, DnsName("y.test")},
          {DnsName("y.test"), 1, {1, 1, 1, 1}}, {DnsName("UP.test"), 1, {1, 1, 1, 2}}},
         0, -2, 0, {}},
        {"no answers", {}, 0, -2, 0, {}},
        {"owner points at itself", {{DnsPointer(kFirstAnswer), 1, {1, 2, 3, 4}}}, 0, -1, -1, {}},
        {"label then pointer back", {{CBytes{1, 'a', 0xC0, kFirstAnswer}, 1, {1, 2, 3, 4}}},
         0, -1, -1, {}},
        {"pointer past the end", {{DnsPointer(0x3FFF), 1, {1, 2, 3, 4}}}, 0, -1, -1, {}},
        {"name past the end", {{CBytes{0x20, 'u', 'p'}, 1, {1, 2, 3, 4}}}, 14, -1, -1, {}},
        {"alias points at itself", {{kQuestionName, 5, DnsPointer(kFirstAnswer + 12)}},
         0, -1, -3, {}},
        {"A record of 5 bytes after a good one",
         {{kQuestionName, 1, {1, 2, 3, 4}}, {kQuestionName, 1, {1, 2, 3, 4, 5}}}, 0, -1, -2, {}},
        {"data past the end", {{kQuestionName, 1, {1, 2, 3, 4}}}, 1, -1, -4, {}},
    };
    for (const CDecodeCase& c : cases) {
        CBytes reply = DnsReply(Query(), c.records);
        reply.resize(reply.size() - c.nCut);
        std::vector<std::string> addresses{"stale"};
        int nRecordError = 99;
        EXPECT_EQ(DecodeDnsReply(reply.data(), reply.size(), kHost, &addresses, &nRecordError),
                  c.nCode) << c.szName;
        EXPECT_EQ(nRecordError, c.nRecordError) << c.szName;
        EXPECT_EQ(addresses, c.addresses) << c.szName;
    }
    const CBytes reply = DnsReply(Query(), {{kQuestionName, 1, {1, 2, 3, 4}}});
    std::vector<std::string> addresses;
    EXPECT_EQ(DecodeDnsReply(reply.data(), 11, kHost, &addresses), -1);
}

struct CExchangeCase {
    std::vector<CDnsTestRecord> records;
    int nDrop;
    bool bAnswer;
    unsigned nTimeoutMs;
    int nCode;
    std::vector<std::string> addresses;
    std::string strOutput;
};

TEST(DnsQueryTest, ExchangeRetriesThreeTimesAndReportsItsCodes) {
    const CExchangeCase cases[] = {
        {{{kQuestionName, 1, {127, 0, 0, 2}}}, 2, true, 500, 0, {"127.0.0.2"}, ""},
        {{}, 0, false, 100, -4, {}, "udp query error -2\n"},
        {{{kQuestionName, 1, {1, 2, 3, 4, 5}}}, 0, true, 500, -5, {},
         "decodeAnswerRecord error -2\n"},
        {{{DnsName("x.test"), 1, {1, 2, 3, 4}}}, 0, true, 500, -5, {}, ""},
    };
    for (const CExchangeCase& c : cases) {
        CFakeResolver resolver(c.records, c.nDrop, c.bAnswer);
        std::vector<std::string> addresses;
        testing::internal::CaptureStdout();
        EXPECT_EQ(QueryHostAddresses("127.0.0.1", kHost, &addresses, c.nTimeoutMs,
                                     resolver.Port()), c.nCode);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.strOutput);
        EXPECT_EQ(addresses, c.addresses);
        const int nExpected = c.bAnswer ? c.nDrop + 1 : kDnsAttempts;
        for (int i = 0; i < 500 && resolver.Queries() < nExpected; ++i) platform::SleepMs(10);
        EXPECT_EQ(resolver.Queries(), nExpected);
        const CBytes sent = resolver.LastQuery(), built = Query();
        ASSERT_EQ(sent.size(), built.size());
        EXPECT_TRUE(std::equal(sent.begin() + 2, sent.end(), built.begin() + 2));
    }
}

TEST(DnsQueryTest, NothingIsSentForMissingOrUnbuildableNames) {
    CFakeResolver resolver({});
    std::vector<std::string> addresses;
    EXPECT_EQ(QueryHostAddresses("", kHost, &addresses, 100, resolver.Port()), -1);
    EXPECT_EQ(QueryHostAddresses("127.0.0.1", "", &addresses, 100, resolver.Port()), -1);
    EXPECT_EQ(QueryHostAddresses("127.0.0.1", "a..b", &addresses, 100, resolver.Port()), -3);
    EXPECT_EQ(resolver.Queries(), 0);
}

}  // namespace
