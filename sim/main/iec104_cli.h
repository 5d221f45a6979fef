#pragma once
// The IEC 60870-5-104 station of tessvar-sim: its command-line options and its session
// factory on the serving loop.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "sim/iec104_faults.h"
#include "sim/iec104_station.h"
#include "sim/main/sim_server.h"

namespace tessvar::sim {

inline constexpr const char* kIec104DefaultListen = "127.0.0.1:2404";

struct Iec104Cli {
  int type = 9;
  bool sequence = false;
  uint32_t cyclicMs = 0;
  uint32_t t1Ms = 15000;
  uint32_t k = 12;
  int commonAddress = -1;  // default: the description's device address
  std::vector<std::string> faultTexts;
  bool standard = false;  // --profile standard
};

void AddIec104Options(CLI::App& app, Iec104Cli& cli);

// Checks the options and plugs a station per TCP connection into the server. False with an
// error text.
bool InstallIec104Station(SimServer& server, const Iec104Cli& cli, uint16_t deviceAddress,
                          Transducer& transducer, const DeviceDescription& description,
                          SimStats& stats, LogSink log, bool trace, std::string& error);

}  // namespace tessvar::sim
