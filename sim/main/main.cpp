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

}  // namespace

static int Main(int argc, char** argv) {
  CLI::App app{"tessvar-sim: a simulated two-channel AC/DC transducer (MODBUS RTU, ASCII, TCP)"};
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
  ServiceInterface service;
  std::string probeAnswer;
  std::vector<uint32_t> probeSilentAt;
  bool steadyDc = false;

  app.add_option("--dat", datPath, "device description file (.dat)")->required()->check(CLI::ExistingFile);
  app.add_option("--tcp", tcp, "serve MODBUS TCP on HOST:PORT (default 127.0.0.1:1502 when no serial line is given)");
  app.add_flag("--pty", pty, "serve on a new pseudo-terminal; prints its name on stdout");
  app.add_option("--link", linkPath, "with --pty: make a symlink to the pseudo-terminal here");
  app.add_option("--serial", serialDevice, "serve on a serial device (RS-485 adapter)");
  app.add_option("--mode", mode, "serial framing: rtu or ascii (default from the description)")
      ->check(CLI::IsMember({"rtu", "ascii"}));
  app.add_option("--address", address, "device address (default from the description)")->check(CLI::Range(1, 255));
  app.add_option("--baud", baud, "baud rate for the RTU silence and a real device (default from the description)");
  app.add_option("--seed", seed, "seed of the value model and the fault rates");
  app.add_option("--values", valuesPath, "JSON object address -> register value to pin")->check(CLI::ExistingFile);
  app.add_option("--protocol", protocol,
                 "modbus (default), iec101 (serial lines only) or iec104 (TCP, default 127.0.0.1:2404)")
      ->check(CLI::IsMember({"modbus", "iec101", "iec104"}));
  AddIec101Options(app, iec101Cli);
  app.add_option("--rtc-code", service.rtcTestCode,
                 "the two upper-case letters that start the RTC test mode (function 118; default " +
                     std::string(kDefaultRtcTestCode) + ")");
  app.add_option("--probe-answer", probeAnswer,
                 "the two octets answering a wake-up burst, hexadecimal (default 1234)");
  app.add_option("--probe-silent-at", probeSilentAt,
                 "leave a wake-up burst at this rate unanswered (76800 or 4800; repeatable)")
      ->check(CLI::IsMember({76800u, 4800u}));
  app.add_flag("--steady-dc", steadyDc,
               "DC at its nominals without ripple: Wdc and Qdc count one code every 100 ms");
  app.add_flag("-v,--verbose", verbose, "one line per request on stderr");
  app.add_flag("--trace", trace, "with the request lines, every frame in and out in hexadecimal");
  app.add_option("--fault", faultTexts,
                 "fault rule KIND[=ARG][:WHEN]; KIND no-reply, late, bad-checksum, wrong-address, "
                 "exception, truncate, overcount, garbage, close-after; WHEN COUNT, COUNT@SKIP, RATE% or always");
  AddIec104Options(app, iec104);
  // One flag per fault, the same rule without the kind.
  const std::vector<std::pair<std::string, std::string>> faultFlags = {
      {"no-reply", "WHEN"},         {"late", "MS[:WHEN]"},      {"bad-checksum", "WHEN"},
      {"wrong-address", "WHEN"},    {"exception", "CODE[:WHEN]"}, {"truncate", "WHEN"},
      {"overcount", "WHEN"},        {"garbage", "BYTES[:WHEN]"}, {"close-after", "REPLIES"}};
  std::map<std::string, std::vector<std::string>> faultFlagValues;
  for (const auto& [name, form] : faultFlags)
    app.add_option("--" + name, faultFlagValues[name], "fault " + name + " (" + form + ")");

  CLI11_PARSE(app, argc, argv);

  for (const auto& [name, values] : faultFlagValues) {
    const bool takesArg = name == "late" || name == "exception" || name == "garbage" || name == "close-after";
    for (const auto& v : values) faultTexts.push_back(name + (takesArg ? "=" : ":") + v);
  }
  std::vector<FaultRule> rules;
  for (const auto& text : faultTexts) {
    std::string error;
    auto rule = ParseFaultRule(text, error);
    if (!rule) {
      std::cerr << "tessvar-sim: " << error << " (in \"" << text << "\")\n";
      return 2;
    }
    rules.push_back(*rule);
  }

  if (!IsRtcTestCode(service.rtcTestCode)) {
    std::cerr << "tessvar-sim: --rtc-code wants two upper-case letters A-Z\n";
    return 2;
  }
  if (!probeAnswer.empty()) {
    uint32_t value = 0;
    if (probeAnswer.size() > 4 || !ParseRegisterNumber("0x" + probeAnswer, value)) {
      std::cerr << "tessvar-sim: --probe-answer wants up to four hexadecimal digits\n";
      return 2;
    }
    service.probeAnswer = static_cast<uint16_t>(value);
  }
  for (uint32_t rate : probeSilentAt) {
    if (rate == 76800) service.answerFastProbe = false;
    if (rate == 4800) service.answerSlowProbe = false;
  }

  SimProfile profile;
  std::string error;
  if (!LoadProfile(datPath, profile, error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 1;
  }
  TransducerOptions options;
  options.seed = seed;
  options.service = service;
  options.steadyDc = steadyDc;
  options.nominals = NominalsFromLoad(profile.load);
  if (!valuesPath.empty() && !LoadPinnedValues(valuesPath, options.pinned, error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 1;
  }

  ServerConfig config;
  config.pty = pty;
  config.linkPath = linkPath;
  config.serialDevice = serialDevice;
  if (!tcp.empty()) config.tcp = tcp;
  else if (protocol == "iec104") config.tcp = kIec104DefaultListen;
  else if (!pty && serialDevice.empty()) config.tcp = "127.0.0.1:1502";
  if (!linkPath.empty() && !pty) {
    std::cerr << "tessvar-sim: --link needs --pty\n";
    return 2;
  }
  config.serialFraming = mode.empty() ? profile.serialFraming : mode == "ascii" ? ModbusFraming::Ascii : ModbusFraming::Rtu;
  config.address = address > 0 ? static_cast<uint8_t>(address) : profile.address;
  config.baud = baud ? baud : profile.baud;
  config.parity = profile.parity;
  config.dataBits = config.serialFraming == ModbusFraming::Ascii ? 7 : 8;
  config.stopBits = profile.stopBits;
  config.trace = trace;
  if (trace) verbose = true;
  for (const auto& r : rules) {
    if (r.kind == FaultKind::BadChecksum && config.tcp && !pty && serialDevice.empty())
      std::cerr << "tessvar-sim: note: MODBUS TCP carries no checksum; bad-checksum changes nothing there\n";
    if (r.kind == FaultKind::CloseAfter && !config.tcp)
      std::cerr << "tessvar-sim: note: close-after applies to TCP connections only\n";
  }

  Iec101Setup iec101;
  if (protocol == "iec101") {
    if (!MakeIec101Setup(iec101Cli, profile, rules, seed, trace, iec101, error)) {
      std::cerr << "tessvar-sim: " << error << "\n";
      return 2;
    }
    rules.clear();
    config.dataBits = 8;
  }

  RealClock clock;
  Transducer transducer(clock, profile.load.description, options);
  for (const auto& w : transducer.Image().warnings) std::cerr << "tessvar-sim: " << w << "\n";
  FaultInjector faults(rules, seed);
  SimStats stats;
  LogSink log;
  if (verbose) log = [](const std::string& line) { std::cerr << line << "\n"; };

  std::atomic<bool> stop{false};
  InstallStopSignals(&stop);
  SimServer server(config, clock, transducer, faults, stats, log);
  if (iec101.faults) InstallIec101(server, iec101, profile.load.description, transducer, stats, log);
  const uint16_t commonAddress =
      address > 0 ? static_cast<uint16_t>(address) : profile.load.deviceAddress.value_or(config.address);
  if (protocol == "iec104" && !InstallIec104Station(server, iec104, commonAddress, transducer,
                                                    profile.load.description, stats, log, trace, error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 2;
  }
  if (!server.Open(error)) {
    std::cerr << "tessvar-sim: " << error << "\n";
    return 1;
  }
  if (config.tcp) std::cout << "listening " << server.TcpHost() << ":" << server.TcpPort() << std::endl;
  if (pty) std::cout << server.PtyName() << std::endl;
  if (verbose) {
    std::cerr << "tessvar-sim: " << transducer.Image().registers.size() << " registers, address "
              << int(config.address) << ", " << (config.serialFraming == ModbusFraming::Ascii ? "ascii" : "rtu")
              << " on serial lines, " << config.baud << " baud\n";
  }
  server.Run(stop);

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
