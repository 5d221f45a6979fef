// tessvar-soak: hours of virtual time per protocol against the in-process simulator, with
// faults, midnights, wall-clock jumps and recording; prints one table row per protocol and
// fails when anything was lost, duplicated or left unrecovered.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/soak/soak_run.h"

namespace {

std::filesystem::path FreshDir(const std::filesystem::path& base, std::string_view name) {
  const auto dir = base / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessvar::soak;
  CLI::App app{"Soak of the acquisition run on the virtual clock"};
  std::vector<std::string> protocols;
  double hours = 24;
  uint64_t seed = 1;
  std::string dir = (std::filesystem::temp_directory_path() / "tessvar-soak").string();
  std::string names;
  for (const auto p : AllProtocols()) names += std::string(names.empty() ? "" : ", ") + std::string(ProtocolName(p));
  app.add_option("--protocol", protocols, "protocols to run (" + names + "); all when none");
  app.add_option("--hours", hours, "virtual hours per protocol (at most 24)")->check(CLI::Range(0.05, 24.0));
  app.add_option("--seed", seed, "seed of the fault schedule");
  app.add_option("--dir", dir, "folder for the recordings");
  CLI11_PARSE(app, argc, argv);
  // The samples are read from the source tree this program was built from, unless told.
  if (!std::getenv("TESSVAR_SOURCE_DIR")) setenv("TESSVAR_SOURCE_DIR", TESSVAR_SOURCE_TREE, 0);

  std::vector<SoakProtocol> chosen;
  for (const auto& name : protocols) {
    const auto p = ProtocolFromName(name);
    if (!p) {
      std::fprintf(stderr, "unknown protocol %s (%s)\n", name.c_str(), names.c_str());
      return 2;
    }
    chosen.push_back(*p);
  }
  if (chosen.empty()) chosen.assign(AllProtocols().begin(), AllProtocols().end());

  std::printf("%-16s %6s %9s %7s %8s %5s %9s %5s %4s %6s %9s %8s %8s %8s\n", "protocol", "hours",
              "data sets", "faults", "failures", "syncs", "recorded", "lost", "dup", "files", "resume ms", "heap KB", "stop ms",
              "wall s");
  int bad = 0;
  for (const auto p : chosen) {
    SoakOptions o;
    o.protocol = p;
    o.hours = hours;
    o.seed = seed;
    o.recordDir = FreshDir(dir, ProtocolName(p));
    const SoakResult r = RunSoak(o);
    std::printf("%-16s %6.2f %9llu %7llu %8llu %5llu %9llu %5llu %4llu %6llu %9llu %+8lld %+8lld %8.1f\n",
                std::string(ProtocolName(p)).c_str(), hours,
                static_cast<unsigned long long>(r.dataSets), static_cast<unsigned long long>(r.faultsInjected),
                static_cast<unsigned long long>(r.failures), static_cast<unsigned long long>(r.clockSyncs),
                static_cast<unsigned long long>(r.linesRecorded),
                static_cast<unsigned long long>(r.lost), static_cast<unsigned long long>(r.duplicated),
                static_cast<unsigned long long>(r.files), static_cast<unsigned long long>(r.maxResumeMs),
                static_cast<long long>(r.memoryGrowthBytes / 1024),
                static_cast<long long>(r.stopAfterDeadlineMs), r.wallSeconds);
    for (const auto& text : r.problems) std::printf("  ! %s\n", text.c_str());
    if (r.problemCount > r.problems.size())
      std::printf("  ! ... %llu problems in all\n", static_cast<unsigned long long>(r.problemCount));
    std::fflush(stdout);
    if (r.problemCount) ++bad;
  }
  return bad ? 1 : 0;
}
