// The fault list both programs take on their command line.
#include "sim/SimFaultList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SimFaults Parsed(const std::string& list) {
    SimFaults f;
    std::string error;
    EXPECT_TRUE(ParseSimFaults(list, f, error)) << list << ": " << error;
    return f;
}

TEST(SimFaultList, EveryItemSetsItsFault) {
    const SimFaults f =
        Parsed("latency=250,silent,drop=0.05,drop-every=4,garbage-every=3,any-code,"
               "wrong-model,model-second-try,version=17,erased,unplug-after=100,seed=4294967295");
    EXPECT_EQ(f.nLatencyMs, 250);
    EXPECT_TRUE(f.bSilent);
    EXPECT_DOUBLE_EQ(f.fDropProbability, 0.05);
    EXPECT_EQ(f.nDropEvery, 4);
    EXPECT_EQ(f.nGarbageEvery, 3);
    EXPECT_TRUE(f.bGarbageAnyCode);
    EXPECT_TRUE(f.bWrongModel);
    EXPECT_TRUE(f.bModelOnSecondAttempt);
    EXPECT_EQ(f.nCmdVersion, 17);
    EXPECT_TRUE(f.bErasedMemory);
    EXPECT_EQ(f.nUnplugAfter, 100);
    EXPECT_EQ(f.nSeed, 4294967295u);
    const SimFaults c =
        Parsed("unplug-after=9,replug-after=500,learn-key=1500,plug-report=7,late-button=2000,"
               "silent-plug=232,plug-garbage-every=5,drift-after=600000");
    EXPECT_EQ(c.nDriftAfterMs, 600000);
    EXPECT_EQ(c.nReplugAfterMs, 500);
    EXPECT_EQ(c.nLearnKeyAfterMs, 1500);
    EXPECT_EQ(c.nPlugReport, 7);
    EXPECT_EQ(c.nLateButtonMs, 2000);
    EXPECT_EQ(c.nSilentPlug, 232);
    EXPECT_EQ(c.nPlugGarbageEvery, 5);

    // Nothing but what is named; spaces around items are fine; the bounds themselves are accepted.
    SimFaults expected;
    expected.fDropProbability = 1.0;
    expected.nSeed = 0;
    EXPECT_EQ(Parsed(" drop=1 , seed=0 "), expected);
    EXPECT_EQ(Parsed("latency=0").nLatencyMs, 0);
    EXPECT_EQ(Parsed("latency=60000").nLatencyMs, 60000);
    EXPECT_EQ(Parsed("version=255").nCmdVersion, 255);
    EXPECT_DOUBLE_EQ(Parsed("drop=.5").fDropProbability, 0.5);
}

TEST(SimFaultList, FormattedListReadsBackTheSameFaults) {
    EXPECT_EQ(FormatSimFaults(SimFaults{}), "");
    for (const std::string list :
         {"latency=250,silent,drop=0.05,drop-every=4,garbage-every=3,any-code,wrong-model,model-second-try,"
          "version=17,erased,unplug-after=100,seed=7",
          "unplug-after=240,replug-after=500,learn-key=1500,plug-report=2,late-button=900,silent-plug=3,"
          "plug-garbage-every=4",
          "drop=0.333", "drift-after=1500", "garbage-every=1", "seed=9", "erased"}) {
        const SimFaults f = Parsed(list);
        EXPECT_EQ(FormatSimFaults(f), list);
        EXPECT_EQ(Parsed(FormatSimFaults(f)), f);
    }
    EXPECT_EQ(FormatSimFaults(Parsed("seed=7, drop=0.050, wrong-model")), "drop=0.05,wrong-model,seed=7");
}

TEST(SimFaultList, BadItemsAreNamedAndChangeNothing) {
    struct Case {
        const char* list;
        const char* named; // what the error must quote
    };
    const std::vector<Case> cases = {
        {"latency=", "\"latency=\""},
        {"latency", "\"latency\""},
        {"latency=12ms", "\"latency=12ms\""},
        {"latency=-1", "\"latency=-1\""},
        {"latency=+5", "\"latency=+5\""},
        {"latency=60001", "\"latency=60001\""},
        {"drop=2", "\"drop=2\""},
        {"drop=-0.1", "\"drop=-0.1\""},
        {"drop=nan", "\"drop=nan\""},
        {"drop=1e-3", "\"drop=1e-3\""},
        {"drop-every=0", "\"drop-every=0\""},
        {"garbage-every=x", "\"garbage-every=x\""},
        {"version=0", "\"version=0\""},
        {"version=256", "\"version=256\""},
        {"unplug-after=0", "\"unplug-after=0\""},
        {"seed=4294967296", "\"seed=4294967296\""},
        {"silent=1", "\"silent=1\""},
        {"bogus", "\"bogus\""},
        {"Silent", "\"Silent\""},
        {"silent,bogus", "\"bogus\""},
        {"drop=0.1,drop=0.2", "\"drop=0.2\""},
        {"any-code", "any-code"},
        {"replug-after=500", "unplug-after"},
        {"plug-report=1", "\"plug-report=1\""},
        {"plug-report=8", "\"plug-report=8\""},
        {"silent-plug=1", "\"silent-plug=1\""},
        {"drift-after=0", "\"drift-after=0\""},
        {"learn-key=0", "\"learn-key=0\""},
        {"drop=0.1,,silent", "empty item"},
        {"drop=0.1,", "empty item"},
        {"", "empty"},
        {" ", "empty"},
    };
    for (const Case& c : cases) {
        SimFaults f;
        f.nLatencyMs = 5;
        const SimFaults before = f;
        std::string error;
        EXPECT_FALSE(ParseSimFaults(c.list, f, error)) << c.list;
        EXPECT_NE(error.find(c.named), std::string::npos) << c.list << " → " << error;
        EXPECT_EQ(f, before) << c.list;
    }
}

TEST(SimFaultList, CountersLineTellsWhatTheProcessorDid) {
    CSimBackend sim;
    SimFaults f;
    std::string error;
    ASSERT_TRUE(ParseSimFaults("drop-every=2,garbage-every=3", f, error)) << error;
    sim.SetFaults(f);
    ASSERT_TRUE(sim.Open(kSimDevicePath));
    Report r{};
    r[0] = kReportId;
    r[1] = CMD_GET_MODE;
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(sim.Write(r.data(), r.size()), 61);
    while (sim.Read(r.data(), r.size(), 0) > 0) {
    }
    EXPECT_EQ(FormatSimCounters(sim.Counters()),
              "6 reports received, 6 replies, 3 dropped, 2 garbage, 5 delivered");
}

} // namespace
