// One virtual hour of every protocol with a seeded fault schedule, clock synchronisations,
// midnights, wall-clock jumps and recording on: nothing lost or duplicated, every failure counted once with its
// text, polling back within a restart pause, the heap flat, the run ended at its deadline.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "tests/soak/soak_run.h"

namespace tessvar::soak {
namespace {

TEST(Soak, OneVirtualHourOfEveryProtocol) {
  for (const auto p : AllProtocols()) {
    const std::string name(ProtocolName(p));
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tessvar-soak-test-" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    SoakOptions o;
    o.protocol = p;
    o.hours = 1;
    o.seed = 16;
    o.recordDir = dir;
    const SoakResult r = RunSoak(o);
    std::string problems;
    for (const auto& t : r.problems) problems += "\n  " + t;
    EXPECT_EQ(r.problemCount, 0u) << name << problems;
    EXPECT_GT(r.dataSets, 1000u) << name;
    EXPECT_EQ(r.lost, 0u) << name;
    EXPECT_EQ(r.duplicated, 0u) << name;
    EXPECT_EQ(r.linesRecorded, r.dataSets) << name;
    EXPECT_GT(r.faultsInjected, 10u) << name;
    EXPECT_GT(r.failures, 0u) << name;
    EXPECT_GT(r.clockSyncs, 0u) << name;
    EXPECT_GE(r.files, 3u) << name;  // a midnight and two jumps over one
    std::filesystem::remove_all(dir.parent_path());
  }
}

}  // namespace
}  // namespace tessvar::soak
