#include <gtest/gtest.h>

#include <vector>

#include "link/link_state.h"

namespace pelmora {
namespace {

struct ProbeCase {
    const char* legend;
    bool initiallyAlive;
    std::vector<int> reads;  // counts returned by successive reads
    bool alive;
    bool pending;
};

class ProbeTable : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTable, DecidesLinkAlive) {
    const ProbeCase& c = GetParam();
    LinkState link;
    link.LinkAlive.store(c.initiallyAlive);
    for (int count : c.reads) {
        link.AfterRead(count);
    }
    EXPECT_EQ(link.LinkAlive.load(), c.alive) << c.legend;
    EXPECT_EQ(link.ProbePending.load(), c.pending) << c.legend;
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ProbeTable,
    ::testing::Values(
        ProbeCase{"first read answers", false, {12}, true, false},
        ProbeCase{"answer on the fifth read", false, {0, 0, 0, 0, 40}, true, false},
        ProbeCase{"five silent reads clear it", true, {0, 0, 0, 0, 0}, false, false},
        ProbeCase{"four silent reads leave the probe open", false, {0, 0, 0, 0}, false, true},
        ProbeCase{"silence after an answer keeps it", false, {5, 0, 0, 0, 0, 0, 0}, true, false}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(LinkState, ProbeDecidesOnlyOnceUntilRestarted) {
    LinkState link;
    for (int i = 0; i < 5; ++i) {
        link.AfterRead(0);
    }
    EXPECT_FALSE(link.LinkAlive.load());
    link.AfterRead(30);
    EXPECT_FALSE(link.LinkAlive.load()) << "a later line alone is judged by its content";
    link.RestartProbe();
    link.AfterRead(30);
    EXPECT_TRUE(link.LinkAlive.load());
}

TEST(LinkState, SentenceCodesSetLineKind) {
    LinkState link;
    link.AfterSentence(0);
    EXPECT_EQ(link.LineKind.load(), kLineKindOther);
    EXPECT_FALSE(link.LinkAlive.load());
    link.AfterSentence(8);
    EXPECT_EQ(link.LineKind.load(), kLineKindNmea);
    EXPECT_TRUE(link.LinkAlive.load());
    link.AfterSentence(0);
    EXPECT_EQ(link.LineKind.load(), kLineKindOther);
    EXPECT_TRUE(link.LinkAlive.load());
}

}  // namespace
}  // namespace pelmora
