// tessvar-sim: a stand-in transducer. Serves the quantities a description file names over
// MODBUS TCP (loopback by default), RTU or ASCII on a pseudo-terminal or a serial device,
// with deterministic values and optional injected faults.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <atomic>
#include <charconv>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/real_clock.h"
#include "platform/posix/stop_signals.h"
#include "sim/main/iec101_options.h"
#include "sim/main/iec104_cli.h"
#include "sim/main/sim_server.h"
#include "sim/main/sim_setup.h"

namespace {

using namespace tessvar;
using namespace tessvar::sim;

bool ParseRegisterNumber(const std::string& text, uint32_t& out) {
  std::string_view s = text;
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

// {"0x0010": 1234, "17": 5}: register address -> value to serve.
bool LoadPinnedValues(const std::string& path, std::map<uint16_t, uint16_t>& pinned, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
  if (!j.is_object()) {
    error = path + ": expected an object of address -> register value";
    return false;
  }
  for (auto it = j.begin(); it != j.end(); ++it) {
    uint32_t address = 0;
    if (!ParseRegisterNumber(it.key(), address) || address > 0xFFFF) {
      error = path + ": \"" + it.key() + "\" is not a register address (0..65535, decimal or 0x hex)";
      return false;
    }
    if (!it.value().is_number_integer() || it.value().get<int64_t>() < 0 || it.value().get<int64_t>() > 0xFFFF) {
      error = path + ": the value of \"" + it.key() + "\" is not 0..65535";
      return false;
    }
    pinned[static_cast<uint16_t>(address)] = static_cast<uint16_t>(it.value().get<int64_t>());
  }
  return true;
}

// Everything the command line sets.
struct SimCli {
  std::string datPath;
  std::string tcp;
  bool pty = false;
  std::string linkPath;
  std::string serialDevice;
  std::string mode;
  int address = -1;
  uint32_t baud = 0;
  uint64_t seed = 1;
  std::string valuesPath;
  bool verbose = false;
  bool trace = false;
  std::vector<std::string> faultTexts;
  std::string protocol = "modbus";
  Iec101CliOptions iec101Cli;
  Iec104Cli iec104;
  std::string stationProfile = "transducer";
  ServiceInterface service;
  std::string probeAnswer;
  std::vector<uint32_t> probeSilentAt;
  bool steadyDc = false;
  // One flag per fault, the same rule without the kind.
  std::map<std::string, std::vector<std::string>> faultFlagValues;
};

void AddSimOptions(CLI::App& app, SimCli& c) {
  app.add_option("--dat", c.datPath, "device description file (.dat)")->required()->check(CLI::ExistingFile);
  app.add_option("--tcp", c.tcp, "serve MODBUS TCP on HOST:PORT (default 127.0.0.1:1502 when no serial line is given)");
  app.add_flag("--pty", c.pty, "serve on a new pseudo-terminal; prints its name on stdout");
  app.add_option("--link", c.linkPath, "with --pty: make a symlink to the pseudo-terminal here");
  app.add_option("--serial", c.serialDevice, "serve on a serial device (RS-485 adapter)");
  app.add_option("--mode", c.mode, "serial framing: rtu or ascii (default from the description)")
      ->check(CLI::IsMember({"rtu", "ascii"}));
  app.add_option("--address", c.address, "device address (default from the description)")->check(CLI::Range(1, 255));
  app.add_option("--baud", c.baud, "baud rate for the RTU silence and a real device (default from the description)");
  app.add_option("--seed", c.seed, "seed of the value model and the fault rates");
  app.add_option("--values", c.valuesPath, "JSON object address -> register value to pin")->check(CLI::ExistingFile);
  app.add_option("--protocol", c.protocol,
                 "modbus (default), iec101 (serial lines only) or iec104 (TCP, default 127.0.0.1:2404)")
      ->check(CLI::IsMember({"modbus", "iec101", "iec104"}));
  AddIec101Options(app, c.iec101Cli);
  app.add_option("--profile", c.stationProfile,
                 "IEC station profile: transducer (default) or standard (class 1 with ACD, "
                 "interrogation at object address 0, E5 acknowledgements, one object per read, "
                 "group answers with the members only)")
      ->check(CLI::IsMember({"transducer", "standard"}));
  app.add_option("--rtc-code", c.service.rtcTestCode,
                 "the two upper-case letters that start the RTC test mode (function 118; default " +
                     std::string(kDefaultRtcTestCode) + ")");
  app.add_option("--probe-answer", c.probeAnswer,
                 "the two octets answering a wake-up burst, hexadecimal (default 1234)");
  app.add_option("--probe-silent-at", c.probeSilentAt,
                 "leave a wake-up burst at this rate unanswered (76800 or 4800; repeatable)")
      ->check(CLI::IsMember({76800u, 4800u}));
  app.add_flag("--steady-dc", c.steadyDc,
               "DC at its nominals without ripple: Wdc and Qdc count one code every 100 ms");
  app.add_flag("-v,--verbose", c.verbose, "one line per request on stderr");
  app.add_flag("--trace", c.trace, "with the request lines, every frame in and out in hexadecimal");
  app.add_option("--fault", c.faultTexts,
                 "fault rule KIND[=ARG][:WHEN]; KIND no-reply, late, bad-checksum, wrong-address, "
                 "exception, truncate, overcount, garbage, close-after; WHEN COUNT, COUNT@SKIP, RATE% or always");
  AddIec104Options(app, c.iec104);
  const std::vector<std::pair<std::string, std::string>> faultFlags = {
      {"no-reply", "WHEN"},         {"late", "MS[:WHEN]"},      {"bad-checksum", "WHEN"},
      {"wrong-address", "WHEN"},    {"exception", "CODE[:WHEN]"}, {"truncate", "WHEN"},
      {"overcount", "WHEN"},        {"garbage", "BYTES[:WHEN]"}, {"close-after", "REPLIES"}};
  for (const auto& [name, form] : faultFlags)
    app.add_option("--" + name, c.faultFlagValues[name], "fault " + name + " (" + form + ")");
}

// The --fault rules and the per-fault flags, in that order; false after printing the error.
bool CollectFaultRules(SimCli& c, std::vector<FaultRule>& rules) {
  for (const auto& [name, values] : c.faultFlagValues) {
    const bool takesArg = name == "late" || name == "exception" || name == "garbage" || name == "close-after";
    for (const auto& v : values) c.faultTexts.push_back(name + (takesArg ? "=" : ":") + v);
  }
  for (const auto& text : c.faultTexts) {
    std::string error;
    auto rule = ParseFaultRule(text, error);
    if (!rule) {
      std::cerr << "tessvar-sim: " << error << " (in \"" << text << "\")\n";
      return false;
    }
    rules.push_back(*rule);
  }
  return true;
}

// The RTC code and the wake-up burst answers; false after printing the error.
bool ApplyServiceOptions(SimCli& c) {
  if (!IsRtcTestCode(c.service.rtcTestCode)) {
    std::cerr << "tessvar-sim: --rtc-code wants two upper-case letters A-Z\n";
    return false;
  }
  if (!c.probeAnswer.empty()) {
    uint32_t value = 0;
    if (c.probeAnswer.size() > 4 || !ParseRegisterNumber("0x" + c.probeAnswer, value)) {
      std::cerr << "tessvar-sim: --probe-answer wants up to four hexadecimal digits\n";
      return false;
    }
    c.service.probeAnswer = static_cast<uint16_t>(value);
  }
  for (uint32_t rate : c.probeSilentAt) {
    if (rate == 76800) c.service.answerFastProbe = false;
    if (rate == 4800) c.service.answerSlowProbe = false;
  }
  return true;
}

TransducerOptions MakeTransducerOptions(const SimCli& c, const SimProfile& profile) {
  TransducerOptions options;
  options.seed = c.seed;
  options.service = c.service;
  options.steadyDc = c.steadyDc;
  options.nominals = NominalsFromLoad(profile.load);
  return options;
}

// The lines to serve on and their framing; false after printing the error.
bool MakeServerConfig(const SimCli& c, const SimProfile& profile, ServerConfig& config) {
  config.pty = c.pty;
  config.linkPath = c.linkPath;
  config.serialDevice = c.serialDevice;
  if (!c.tcp.empty()) config.tcp = c.tcp;
  else if (c.protocol == "iec104") config.tcp = kIec104DefaultListen;
  else if (!c.pty && c.serialDevice.empty()) config.tcp = "127.0.0.1:1502";
  if (!c.linkPath.empty() && !c.pty) {
    std::cerr << "tessvar-sim: --link needs --pty\n";
    return false;
  }
  config.serialFraming = c.mode.empty() ? profile.serialFraming : c.mode == "ascii" ? ModbusFraming::Ascii : ModbusFraming::Rtu;
  config.address = c.address > 0 ? static_cast<uint8_t>(c.address) : profile.address;
  config.baud = c.baud ? c.baud : profile.baud;
  config.parity = profile.parity;
  config.dataBits = config.serialFraming == ModbusFraming::Ascii ? 7 : 8;
  config.stopBits = profile.stopBits;
  config.trace = c.trace;
  return true;
}

void NoteIneffectiveFaults(const SimCli& c, const ServerConfig& config, const std::vector<FaultRule>& rules) {
  for (const auto& r : rules) {
    if (r.kind == FaultKind::BadChecksum && config.tcp && !c.pty && c.serialDevice.empty())
      std::cerr << "tessvar-sim: note: MODBUS TCP carries no checksum; bad-checksum changes nothing there\n";
    if (r.kind == FaultKind::CloseAfter && !config.tcp)
      std::cerr << "tessvar-sim: note: close-after applies to TCP connections only\n";
  }
}

void PrintStats(const SimStats& stats, const FaultInjector& faults, const Iec101Setup& iec101) {
  std::cerr << "tessvar-sim: requests " << stats.requests << ", replies " << stats.replies << " (exceptions "
            << stats.exceptions << "), ignored " << stats.ignored << ", dropped " << stats.dropped
            << ", connections " << stats.connections << "; faults injected:";
  uint64_t total = 0;
  for (size_t k = 0; k < kFaultKinds; ++k) {
    if (faults.applied[k] == 0) continue;
    std::cerr << " " << FaultName(static_cast<FaultKind>(k)) << " " << faults.applied[k];
    total += faults.applied[k];
  }
  const std::string iecFaults = iec101.faults ? Iec101FaultSummary(*iec101.faults) : "";
  std::cerr << iecFaults;
  if (total == 0 && iecFaults.empty()) std::cerr << " none";
  std::cerr << "\n";
}

}  // namespace

static int Main(int argc, char** argv) {
  CLI::App app{"tessvar-sim: a simulated two-channel AC/DC transducer (MODBUS RTU, ASCII, TCP)"};
  SimCli c;
  AddSimOptions(app, c);
  CLI11_PARSE(app, argc, argv);
  c.iec101Cli.standard = c.iec104.standard = c.stationProfile == "standard";

  std::vector<FaultRule> rules;
  if (!CollectFaultRules(c, rules) || !ApplyServiceOptions(c)) return 2;

  SimProfile profile;
  std::string error;
  if (!LoadProfile(c.datPath, profile, error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 1;
  }
  TransducerOptions options = MakeTransducerOptions(c, profile);
  if (!c.valuesPath.empty() && !LoadPinnedValues(c.valuesPath, options.pinned, error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 1;
  }

  ServerConfig config;
  if (!MakeServerConfig(c, profile, config)) return 2;
  const bool verbose = c.verbose || c.trace;
  NoteIneffectiveFaults(c, config, rules);

  Iec101Setup iec101;
  if (c.protocol == "iec101") {
    if (!MakeIec101Setup(c.iec101Cli, profile, rules, c.seed, c.trace, iec101, error)) {
      std::cerr << "tessvar-sim: " << error << "\n";
      return 2;
    }
    rules.clear();
    config.dataBits = 8;
  }

  RealClock clock;
  Transducer transducer(clock, profile.load.description, options);
  for (const auto& w : transducer.Image().warnings) std::cerr << "tessvar-sim: " << w << "\n";
  FaultInjector faults(rules, c.seed);
  SimStats stats;
  LogSink log;
  if (verbose) log = [](const std::string& line) { std::cerr << line << "\n"; };

  std::atomic<bool> stop{false};
  InstallStopSignals(&stop);
  SimServer server(config, clock, transducer, faults, stats, log);
  if (iec101.faults) InstallIec101(server, iec101, profile.load.description, transducer, stats, log);
  const uint16_t commonAddress =
      c.address > 0 ? static_cast<uint16_t>(c.address) : profile.load.deviceAddress.value_or(config.address);
  if (c.protocol == "iec104" && !InstallIec104Station(server, c.iec104, commonAddress, transducer,
                                                      profile.load.description, stats, log, c.trace, error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 2;
  }
  if (!server.Open(error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 1;
  }
  if (config.tcp) std::cout << "listening " << server.TcpHost() << ":" << server.TcpPort() << std::endl;
  if (c.pty) std::cout << server.PtyName() << std::endl;
  if (verbose) {
    std::cerr << "tessvar-sim: " << transducer.Image().registers.size() << " registers, address "
              << int(config.address) << ", " << (config.serialFraming == ModbusFraming::Ascii ? "ascii" : "rtu")
              << " on serial lines, " << config.baud << " baud\n";
  }
  server.Run(stop);
  PrintStats(stats, faults, iec101);
  return 0;
}

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tessvar-sim: " << e.what() << "\n";
    return 1;
  }
}
