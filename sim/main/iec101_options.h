#pragma once
// The command-line side of the simulator's IEC 60870-5-101 station: its options, and the
// session factory that makes the server speak it on serial lines.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "sim/iec101_faults.h"
#include "sim/iec101_station.h"
#include "sim/main/sim_server.h"
#include "sim/main/sim_setup.h"

namespace tessvar::sim {

struct Iec101CliOptions {
  int monitorType = 9;
  bool sequence = false;
  std::string sizes;  // "CA,IOA,COT"; empty: the description's
  std::vector<std::string> faults;
  uint32_t processingMs = 0;
  uint32_t lineDelayMs = 0;
  bool standard = false;  // --profile standard
};

void AddIec101Options(CLI::App& app, Iec101CliOptions& options);

// Everything the station needs for the whole run.
struct Iec101Setup {
  Iec101StationOptions station;
  std::unique_ptr<Iec101FaultInjector> faults;
};

// Builds the station's settings from the description and the options. The MODBUS-style
// fault rules given (no-reply, late, bad-checksum) join the station's own; the others have
// no meaning on this link and are refused. False with an error text.
bool MakeIec101Setup(const Iec101CliOptions& cli, const SimProfile& profile,
                     const std::vector<FaultRule>& genericRules, uint64_t seed, bool trace,
                     Iec101Setup& out, std::string& error);

// Serial sessions speak IEC 60870-5-101; TCP connections are refused (closed at once).
void InstallIec101(SimServer& server, Iec101Setup& setup, const DeviceDescription& description,
                   Transducer& transducer, SimStats& stats, LogSink log);

// The link address from the description (both octets; the MODBUS profile keeps one).
uint16_t Iec101LinkAddress(const SimProfile& profile);

// "faults injected: ..." counts of the station's faults, empty when none.
std::string Iec101FaultSummary(const Iec101FaultInjector& faults);

}  // namespace tessvar::sim
