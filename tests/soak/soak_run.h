#pragma once
// One soak run: a protocol polled for hours of virtual time with faults from a seeded
// schedule, midnights, wall-clock jumps and recording on, ended by the recording-time limit;
// then the account of what was presented, recorded, failed and recovered.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/soak/soak_target.h"

namespace tessvar::soak {

struct SoakOptions {
  SoakProtocol protocol = SoakProtocol::Rtu;
  double hours = 1;  // virtual; at most 24 (the longest recording-time limit)
  uint64_t seed = 1;
  std::filesystem::path recordDir;  // must exist and be empty
};

struct SoakResult {
  uint64_t dataSets = 0;        // presented by the window
  uint64_t faultEpisodes = 0;   // bursts and disconnects begun
  uint64_t faultsInjected = 0;  // faulty answers and closed connections the peer produced
  uint64_t failures = 0;        // counted by the window
  uint64_t clockSyncs = 0;      // "Синхронизация RTC" pressed during the run
  uint64_t linesRecorded = 0;
  uint64_t lost = 0;
  uint64_t duplicated = 0;
  uint64_t files = 0;           // recording files, the rotated ones included
  uint64_t maxResumeMs = 0;     // longest time from a fault's end to the next data set
  uint64_t resumeBoundMs = 0;
  int64_t memoryGrowthBytes = 0;  // heap in use, end minus after warm-up
  int64_t stopAfterDeadlineMs = 0;
  double wallSeconds = 0;
  std::vector<std::string> problems;  // every broken promise, in words (the first few)
  uint64_t problemCount = 0;
};

SoakResult RunSoak(const SoakOptions& options);

}  // namespace tessvar::soak
