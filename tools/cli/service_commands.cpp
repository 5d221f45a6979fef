#include "tools/cli/service_commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iostream>

#include "acquisition/run_control.h"
#include "app/energy_check_dlg.h"
#include "app/krellon_dlg.h"
#include "model/rtc_test_code.h"
#include "tools/cli/console_host.h"

namespace tessvar {
namespace {

// The check waits this long for its first transducer time, and for its end after that.
constexpr uint64_t kStartLimitMs = 60'000;
constexpr uint64_t kEndLimitMs = 8 * 60'000;

}  // namespace

void AddServiceOptions(CLI::App& app, ServiceOptions& o) {
  CLI::Option* rtc = app.add_flag("--rtc-check", o.rtcCheck,
                                  "put the transducer into its RTC test mode over the serial port, then end");
  CLI::Option* energy = app.add_flag("--energy-check", o.energyCheck,
                                     "run the six-minute check of the DC energy and charge counters, then end");
  rtc->excludes(energy);
  app.add_option("--rtc-code", o.rtcCode,
                 "the transducer's two-letter RTC test-mode code (default " +
                     std::string(kDefaultRtcTestCode) + ")")
      ->check([](const std::string& code) {
        return IsRtcTestCode(code) ? std::string() : "two upper-case letters A-Z expected";
      });
}

bool AnyServiceCommand(const ServiceOptions& o) { return o.rtcCheck || o.energyCheck; }

std::string RtcCheckLine(const ServiceOutcome& outcome, bool json) {
  const std::string result = outcome.ok ? "ok" : outcome.message;
  if (!json) return "rtc_check: " + result;
  return nlohmann::ordered_json{{"rtc_check", result}}.dump();
}

std::string EnergyCheckLine(const EnergyCheckTracker& check, bool json) {
  nlohmann::ordered_json counters = nlohmann::ordered_json::object();
  std::string plain = "energy_check:";
  for (size_t k = 0; k < kCheckedCounters; ++k) {
    const std::string name(kCheckedCounterNames[k]);
    const int64_t initial = ParseCodeText(check.Initial()[k]);
    const int64_t final = ParseCodeText(check.Final()[k]);
    const int64_t increment = ParseCodeText(check.Increment()[k]);
    counters[name] = {{"initial", initial}, {"final", final}, {"increment", increment}};
    plain += " " + name + " " + std::to_string(initial) + " " + std::to_string(final) + " " +
             std::to_string(increment) + ";";
  }
  plain += " start " + check.StartText() + "; end " + check.EndText();
  if (!json) return plain;
  counters["start"] = check.StartText();
  counters["end"] = check.EndText();
  return nlohmann::ordered_json{{"energy_check", counters}}.dump();
}

std::string EnergyCheckFailureLine(const std::string& message, bool json) {
  if (!json) return "energy_check: " + message;
  return nlohmann::ordered_json{{"energy_check", message}}.dump();
}

namespace {

int RunEnergyCheck(bool json, CKrellonDlg& window, ConsoleHost& host,
                   const volatile std::sig_atomic_t& stop) {
  Check_W_C& check = window.OnEnergyCheck();
  bool finished = false;
  check.onFinished = [&finished] { finished = true; };
  const uint64_t opened = host.GetClock().MonotonicMs();
  std::optional<uint64_t> started;
  std::string failure;
  while (!finished && failure.empty()) {
    host.RunFor(200, [&] { return finished || stop != 0; });
    const uint64_t now = host.GetClock().MonotonicMs();
    if (!started && check.Tracker().Started()) started = now;
    if (stop != 0) failure = "interrupted";
    else if (!started && now - opened > kStartLimitMs) failure = "no transducer time arrived";
    else if (started && now - *started > kEndLimitMs) failure = "the transducer time stopped";
  }
  window.RunControl().OnStop();
  std::cout << (finished ? EnergyCheckLine(check.Tracker(), json) : EnergyCheckFailureLine(failure, json))
            << std::endl;
  return finished ? 0 : 1;
}

}  // namespace

int RunServiceCommand(const ServiceOptions& o, bool json, CKrellonDlg& window, ConsoleHost& host,
                      const volatile std::sig_atomic_t& stop) {
  if (o.rtcCheck) {
    const std::string code = o.rtcCode.value_or(std::string(kDefaultRtcTestCode));
    const ServiceOutcome outcome = window.RunControl().OnRtcCheck(code);
    std::cout << RtcCheckLine(outcome, json) << std::endl;
    return outcome.ok ? 0 : 1;
  }
  return RunEnergyCheck(json, window, host, stop);
}

}  // namespace tessvar
