#pragma once
// The service functions of the window as tessvar-cli runs them: --rtc-check and
// --energy-check run their check and end, printing one line (with --json one object) and
// exiting 0 when the function succeeded, 1 otherwise.
#include <csignal>
#include <optional>
#include <string>

#include "acquisition/energy_check.h"
#include "acquisition/rtc_check.h"

namespace CLI {
class App;
}

namespace tessvar {

class CKrellonDlg;
class ConsoleHost;

struct ServiceOptions {
  bool rtcCheck = false;
  bool energyCheck = false;
  std::optional<std::string> rtcCode;
};

void AddServiceOptions(CLI::App& app, ServiceOptions& o);
bool AnyServiceCommand(const ServiceOptions& o);

// The outcome lines.
std::string RtcCheckLine(const ServiceOutcome& outcome, bool json);
std::string EnergyCheckLine(const EnergyCheckTracker& check, bool json);
std::string EnergyCheckFailureLine(const std::string& message, bool json);

// Runs the requested command on the loaded window; returns the exit status.
int RunServiceCommand(const ServiceOptions& o, bool json, CKrellonDlg& window, ConsoleHost& host,
                      const volatile std::sig_atomic_t& stop);

}  // namespace tessvar
