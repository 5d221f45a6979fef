#include "sim/main/iec104_cli.h"

namespace tessvar::sim {

void AddIec104Options(CLI::App& app, Iec104Cli& cli) {
  app.add_option("--iec104-type", cli.type, "IEC 104: monitor type of the values (9, 10, 11, 21, 34, 35, 143)")
      ->check(CLI::IsMember({9, 10, 11, 21, 34, 35, 143}));
  app.add_flag("--iec104-sq", cli.sequence, "IEC 104: consecutive objects with SQ = 1 (types 9, 21; 143 always)");
  app.add_option("--iec104-cyclic", cli.cyclicMs, "IEC 104: cyclic data every MS while data transfer runs");
  app.add_option("--iec104-t1", cli.t1Ms, "IEC 104: close when an I-format waits this long for its acknowledgement (0 = never)");
  app.add_option("--iec104-k", cli.k, "IEC 104: unacknowledged I-formats before the station waits")->check(CLI::Range(1, 32767));
  app.add_option("--iec104-ca", cli.commonAddress, "IEC 104: common address (default: the description's device address)")
      ->check(CLI::Range(0, 65535));
  app.add_option("--iec104-fault", cli.faultTexts,
                 "IEC 104 fault KIND[=ARG][@CONNECTION]: close-after=MS, stopdt=MS, negative[=44..47], "
                 "no-answer, burst, split, garbage=MS, testfr=MS, negative-clock[=44..47]; connection 1 by default, @0 every one");
}

bool InstallIec104Station(SimServer& server, const Iec104Cli& cli, uint16_t deviceAddress,
                          Transducer& transducer, const DeviceDescription& description,
                          SimStats& stats, LogSink log, bool trace, std::string& error) {
  std::vector<Iec104Fault> faults;
  for (const auto& text : cli.faultTexts) {
    auto f = ParseIec104Fault(text, error);
    if (!f) return false;
    faults.push_back(*f);
  }
  Iec104StationOptions options;
  options.commonAddress = cli.commonAddress >= 0 ? static_cast<uint16_t>(cli.commonAddress) : deviceAddress;
  options.monitorType = static_cast<uint8_t>(cli.type);
  options.sequence = cli.sequence;
  options.cyclicMs = cli.cyclicMs;
  options.t1Ms = cli.t1Ms;
  options.k = cli.k;
  options.trace = trace;
  options.standard = cli.standard;
  auto connections = std::make_shared<uint32_t>(0);
  server.SetSessionFactory([=, &transducer, &description, &stats](SimServer::Transport) {
    const uint32_t n = ++*connections;
    if (log) log("iec104: connection " + std::to_string(n));
    return std::make_unique<Iec104Station>(options, PlanForConnection(faults, n), transducer,
                                           description, stats, log);
  });
  return true;
}

}  // namespace tessvar::sim
