#include "sim/main/iec101_options.h"

#include <charconv>

#include "sim/iec101_station.h"

namespace tessvar::sim {
namespace {

bool ParseSizes(const std::string& text, AsduFieldSizes& sizes, uint8_t& addressSize) {
  int v[3] = {0, 0, 0};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    auto [q, ec] = std::from_chars(p, end, v[i]);
    if (ec != std::errc()) return false;
    p = q;
    if (i < 2) {
      if (p == end || *p != ',') return false;
      ++p;
    }
  }
  if (p != end || v[0] < 1 || v[0] > 2 || v[1] < 1 || v[1] > 3 || v[2] < 1 || v[2] > 2)
    return false;
  addressSize = static_cast<uint8_t>(v[0]);
  sizes = {static_cast<uint8_t>(v[2]), addressSize, static_cast<uint8_t>(v[1])};
  return true;
}

class RefusingSession : public StreamSession {
 public:
  void Receive(std::span<const uint8_t>, uint64_t) override {}
  void Tick(uint64_t) override {}
  std::optional<uint64_t> NextDeadline() const override { return std::nullopt; }
  std::vector<uint8_t> TakeDue(uint64_t) override { return {}; }
  bool CloseRequested() const override { return true; }
};

}  // namespace

void AddIec101Options(CLI::App& app, Iec101CliOptions& o) {
  app.add_option("--iec-type", o.monitorType,
                 "IEC 101: monitor type of the data (9, 10, 11, 21, 34, 35 or 143)")
      ->check(CLI::IsMember({9, 10, 11, 21, 34, 35, 143}));
  app.add_flag("--iec-sq", o.sequence, "IEC 101: send consecutive addresses with SQ = 1");
  app.add_option("--iec-sizes", o.sizes,
                 "IEC 101: field sizes CA,IOA,COT (default from the description)");
  app.add_option("--iec-fault", o.faults,
                 "IEC 101 fault KIND[=ARG][:WHEN]; KIND no-reply, late=MS, bad-checksum, "
                 "bad-start, bad-end, short, e5, nack, acd, negative=44..47, "
                 "negative-plain=44..47");
  app.add_option("--iec-processing", o.processingMs,
                 "IEC 101: added to the time a delay acquisition was held, ms (a station that "
                 "over-reports; the measured delay shrinks by half of it)");
  app.add_option("--iec-line-delay", o.lineDelayMs,
                 "IEC 101: one-way transmission time of the simulated line, ms (a delay "
                 "acquisition measures it); below 70 so the link initialisation still fits");
}

uint16_t Iec101LinkAddress(const SimProfile& profile) {
  return profile.load.deviceAddress ? *profile.load.deviceAddress : profile.address;
}

bool MakeIec101Setup(const Iec101CliOptions& cli, const SimProfile& profile,
                     const std::vector<FaultRule>& genericRules, uint64_t seed, bool trace,
                     Iec101Setup& out, std::string& error) {
  Iec101StationOptions& s = out.station;
  const IecFieldSizes page = profile.load.iecSizes.value_or(IecFieldSizes{});
  s.sizes = AsduSizesFrom(page);
  s.addressSize = s.sizes.commonAddress;
  if (!cli.sizes.empty() && !ParseSizes(cli.sizes, s.sizes, s.addressSize)) {
    error = "--iec-sizes wants CA,IOA,COT with CA 1..2, IOA 1..3, COT 1..2";
    return false;
  }
  s.linkAddress = Iec101LinkAddress(profile);
  if (s.addressSize == 1) s.linkAddress &= 0xFF;
  s.monitorType = static_cast<uint8_t>(cli.monitorType);
  s.sequence = cli.sequence || cli.monitorType == kPrivateSequence;
  s.processingMs = cli.processingMs;
  s.lineDelayMs = cli.lineDelayMs;
  s.trace = trace;
  s.standard = cli.standard;
  std::vector<Iec101FaultRule> rules;
  for (const auto& g : genericRules) {
    Iec101FaultRule r;
    r.arg = g.arg;
    r.trigger = g.trigger;
    if (g.kind == FaultKind::NoReply) r.kind = Iec101FaultKind::NoReply;
    else if (g.kind == FaultKind::LateReply) r.kind = Iec101FaultKind::Late;
    else if (g.kind == FaultKind::BadChecksum) r.kind = Iec101FaultKind::BadChecksum;
    else {
      error = "fault " + std::string(FaultName(g.kind)) + " is for MODBUS; use --iec-fault";
      return false;
    }
    rules.push_back(r);
  }
  for (const auto& text : cli.faults) {
    auto rule = ParseIec101FaultRule(text, error);
    if (!rule) {
      error += " (in \"" + text + "\")";
      return false;
    }
    rules.push_back(*rule);
  }
  out.faults = std::make_unique<Iec101FaultInjector>(std::move(rules), seed);
  return true;
}

void InstallIec101(SimServer& server, Iec101Setup& setup, const DeviceDescription& description,
                   Transducer& transducer, SimStats& stats, LogSink log) {
  server.SetSessionFactory(
      [&setup, &description, &transducer, &stats, log](SimServer::Transport t)
          -> std::unique_ptr<StreamSession> {
        if (t == SimServer::Transport::Tcp) return std::make_unique<RefusingSession>();
        return std::make_unique<Iec101Station>(setup.station, description, transducer,
                                               *setup.faults, stats, log);
      });
}

std::string Iec101FaultSummary(const Iec101FaultInjector& faults) {
  std::string s;
  for (size_t k = 0; k < kIec101FaultKinds; ++k) {
    if (faults.applied[k] == 0) continue;
    s += " " + std::string(Iec101FaultName(static_cast<Iec101FaultKind>(k))) + " " +
         std::to_string(faults.applied[k]);
  }
  return s;
}

}  // namespace tessvar::sim
