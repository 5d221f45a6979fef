// tessvar-cli: loads a description, sets the controls from the command line, presses
// "Старт" and prints one line per presented data set until the count, the recording time
// or a signal ends the run; then presses "Стоп".
#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <optional>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_dlg.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/serial_enumeration.h"
#include "platform/posix/serial_port_check.h"
#include "platform/settings_store.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/iec_options.h"
#include "tools/cli/console_host.h"
#include "tools/cli/data_set_line.h"
#include "tools/cli/status_echo.h"
#include "tools/cli/run_command.h"
#include "tools/cli/service_commands.h"
#include "tools/cli/traffic_output.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

// The command line never touches the user's stored port.
class NoStore : public tessvar::SettingsStore {
 public:
  std::unique_ptr<tessvar::SettingsKey> OpenOrCreateKey(std::string_view) override { return nullptr; }
};

void AddCliOptions(CLI::App& app, tessvar::CliOptions& o, tessvar::IecCliOptions& iec,
                   std::optional<double>& timeoutSec, tessvar::ServiceOptions& service,
                   tessvar::RunCommandKind& command) {
  using namespace tessvar;
  app.add_option("--dat", o.dat, "device description file (.dat)")->required()->check(CLI::ExistingFile);
  app.add_option("--protocol", o.protocol, "protocol list entry (prefix), e.g. \"MODBUS RTU\"");
  app.add_option("--port", o.port, "serial port (ttyUSB0, /dev/pts/3) or TCP port number (also for МЭК-104, whose window uses 2404)");
  app.add_option("--ip", o.ip, "IPv4 address of a TCP device");
  app.add_option("--address", o.address, "device address");
  app.add_option("--poll-ms", o.pollMs, "poll period in milliseconds");
  app.add_flag("--codes", o.codes, "show raw codes instead of physical units");
  app.add_option("--time-base", o.timeBase, "GMT or Local")->check(CLI::IsMember({"GMT", "Local"}));
  app.add_option("--record", o.record, "record into this file");
  app.add_option("--record-time", o.recordTime, "stop after hh:mm:ss");
  app.add_option("--data-sets", o.dataSets, "stop after this many data sets");
  app.add_flag("--json", o.json, "one JSON object per data set");
  AddIecOptions(app, iec);
  app.add_option("--timeout", timeoutSec, "stop after this many seconds (exit code 2)");
  app.footer(
      "Defaults: protocol, port, address and poll period as the description sets them (the "
      "window's 500 ms when it sets none), time base Local, values in physical units, no "
      "recording. Without --data-sets, --record-time or --timeout the run goes on until "
      "Ctrl+C. Every change of the window's status line goes to stderr with its time.\n"
      "Exit codes: 0 all data sets presented (or the recording time ran out), 1 the start "
      "was refused (the window's message is on stderr), 2 timed out or the run stopped "
      "early, 130 interrupted (SIGINT/SIGTERM). With --clock-sync or --delay: 1 also when "
      "the command failed (its message is the outcome line), 130 still wins; otherwise the "
      "data-set codes. --rtc-check and --energy-check: 0 when the check succeeded, else 1.");
  AddServiceOptions(app, service);
  AddRunCommandOptions(app, command);
}

tessvar::KrellonSeams PosixSeams() {
  using namespace tessvar;
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return SerialPortChoices(); };
  seams.serialPortProblem = [](std::string_view port) { return SerialPortProblem(port); };
  seams.makeSerialPort = [] { return MakePosixSerialPort(); };
  seams.makeTcpSocket = [] { return MakePosixTcpSocket(); };
  seams.configureSerial = [](std::string_view) {};
  return seams;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessvar;
  CliOptions o;
  CLI::App app{"tessvar-cli: the Tessvar window without a screen"};
  IecCliOptions iec;
  std::optional<double> timeoutSec;
  ServiceOptions service;
  RunCommandKind commandKind = RunCommandKind::kNone;
  AddCliOptions(app, o, iec, timeoutSec, service, commandKind);
  TrafficCliOptions trafficOptions;
  AddTrafficOptions(app, trafficOptions);
  CLI11_PARSE(app, argc, argv);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  RealClock clock;
  ConsoleHost host(clock);
  NoStore store;
  CKrellonDlg window(host, clock, store, PosixSeams());
  window.OnInitDialog();

  Dialog& d = window.GetDialog();
  StatusEcho echo(d, idc::kStatusLine, clock, std::cerr);
  d.UserClick(idc::kFileTab);  // the "Файл" tab
  host.openAnswer = o.dat;
  if (!window.FilePage() || !window.FilePage()->LoadDescriptionFile() ||
      window.Description().entries.empty()) {
    std::cerr << "tessvar-cli: " << o.dat << ": no usable description" << std::endl;
    // "Старт" all the same, so that the window's own refusal is printed too.
    d.UserFocus(idc::kStart);
    host.RunPosted();
    d.UserClick(idc::kStart);
    return 1;
  }
  if (window.FilePage()) d.UserFocus(idc::kStart);  // leaving the page closes it
  host.RunPosted();
  if (const auto error = ApplyOptions(o, window)) {
    std::cerr << "tessvar-cli: " << *error << std::endl;
    return 1;
  }
  if (const auto error = ApplyIecOptions(iec, window)) {
    std::cerr << "tessvar-cli: " << *error << std::endl;
    return 1;
  }
  if (o.record) host.saveAnswer = *o.record;
  if (AnyServiceCommand(service)) return RunServiceCommand(service, o.json, window, host, g_stop);

  TrafficOutput traffic(trafficOptions, window.Traffic(), std::cerr);
  if (const auto error = traffic.Open()) {
    std::cerr << "tessvar-cli: " << *error << std::endl;
    return 1;
  }
  uint64_t printed = 0;
  d.UserClick(idc::kStart);  // "Старт"
  if (!window.Run().m_running) {
    std::cerr << "tessvar-cli: the run did not start" << std::endl;
    return 1;
  }
  CRunControl& run = window.RunControl();
  RunCommand command(commandKind, o.json, window, host);
  bool enough = false, timedOut = false;
  const uint64_t deadline =
      timeoutSec ? clock.MonotonicMs() + static_cast<uint64_t>(*timeoutSec * 1000.0) : 0;
  const auto done = [&] {
    traffic.Drain();
    while (!enough && printed < run.DataSetsPresented()) {
      std::cout << DataSetLine(window, o.json) << std::endl;
      ++printed;
      enough = o.dataSets && printed >= *o.dataSets;
    }
    timedOut = timedOut || (timeoutSec && clock.MonotonicMs() >= deadline);
    return enough || timedOut || g_stop != 0 || !window.Run().m_running || command.EndsRun() ||
           command.PressDue(run.DataSetsPresented());
  };
  for (;;) {
    command.AfterDataSets(std::min(printed, run.DataSetsPresented()));
    if (done()) {
      if (!command.PressDue(run.DataSetsPresented())) break;
      continue;
    }
    host.RunFor(timeoutSec ? std::min<uint64_t>(1000, deadline - clock.MonotonicMs() + 1) : 1000, done);
  }
  // The recording time may have stopped the run already; otherwise press "Стоп" so the
  // recording file is closed cleanly.
  const bool stoppedByItself = !window.Run().m_running;
  if (window.Run().m_running) {
    if (!d.UserClick(idc::kStop)) run.OnStop();
  }
  const bool commandOk = command.Finish();
  traffic.Drain();
  if (g_stop != 0) return 130;
  if (!commandOk) return 1;
  if (enough) return 0;
  if (stoppedByItself && o.recordTime && !o.dataSets) return 0;  // the recording time ran out
  return 2;
}
