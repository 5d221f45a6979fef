#pragma once
// LinkEngine: the one place a protocol plugs into an acquisition run. The run chooses an
// engine once, from the protocol, through MakeLinkEngine; after that it never asks which
// protocol it has. An engine never asks which window it serves: it gets the transports and
// the settings in an EngineContext and answers with results the run acts on.
//
// The run's order, which every engine follows:
//   OpenPort            when the run starts or restarts, before the controls are locked
//   DrainStale          unless the restart is soft
//   Connect             after the controls are locked (TCP engines connect here)
//   SendFirstRequest    the first request of the run (an IEC engine initialises its link)
//   each poll tick:     Collect the reply to the last request, then SendRequest the next
//   WriteClock          the "Синхронизация RTC" command, between two ticks
//   Close               at a restart (before the run opens again) and at the end of a run
// Everything runs on the window thread, except what an engine runs on a thread of its own
// (the IEC 104 receive worker); such an engine delivers its ticks through `requestTick`.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "acquisition/poll_plan.h"
#include "link/link_result.h"
#include "model/catalogue.h"
#include "model/converter_time.h"
#include "model/connection_settings.h"
#include "platform/clock.h"

namespace tessvar {

class CSerialLine;
class CTcpLink;
struct DeviceDescription;

// What an engine is lent for the whole run. Every reference outlives the engine.
struct EngineContext {
  Clock& clock;
  const ConnectionSettings& settings;
  const DeviceDescription& description;
  CSerialLine& serial;  // the window's serial line (kept open across restarts)
  CTcpLink& tcp;        // the window's TCP connection
  // The computer's clock on the time base of the settings (GMT or local).
  std::function<WallTime()> now;
  // Asks the window thread for a poll tick (for engines that pace the run themselves);
  // safe to call from any thread.
  std::function<void()> requestTick;
  // Runs a closure on the window thread; safe to call from any thread.
  std::function<void(std::function<void()>)> post;
};

// Where a TCP engine connects: the IPv4 address of the window and the port the window's
// port list names, when it names one.
struct LinkTarget {
  uint32_t ipv4 = 0;
  std::optional<uint16_t> listedPort;
};

// How opening the port for a run ended; `failureText` is shown in a message box.
struct OpenOutcome {
  bool ok = true;
  std::string failureText;
  // The serial device itself could not be opened (an unplugged adapter may come back); a
  // restart then waits for it instead of ending the run.
  bool deviceMissing = false;
};

enum class ConnectOutcome : uint8_t {
  kConnected,      // or nothing to connect
  kCannotCreate,   // no socket could be made: the run stops
  kRetryLater,     // no connection within the limit: retried on the reconnection timer
};

// What the first request of a run led to. With `stop` the run ends (before the message).
struct FirstRequestOutcome {
  bool stop = false;
  std::string message;  // shown in a message box when not empty
};

// What a collected reply asks of the tick besides its result.
struct CollectOutcome {
  LinkResult result = LinkResult::kError;
  bool showConverterTime = false;  // the engine refreshed the converter time it decodes
  bool showComputerTime = false;   // the request-time stamp belongs to this reply
  bool passComplete = false;       // the reply ends the pass over the description
  std::string message;             // shown in a message box (caption "Ошибка") when not empty
};

enum class AfterRequest : uint8_t {
  kContinue,
  kSoftRestart,  // the run restarts at once, keeping the link initialised
};

// Which registers hold the transducer's clock.
struct ClockTarget {
  uint16_t startRegister = 0;
  bool hasDateRegister = false;
};

// How a clock write ended and what the run does next.
struct ClockWriteOutcome {
  enum class Then : uint8_t {
    kRestart,         // the message (if any), then the run restarts
    kStopAndRestart,  // the run stops, the message, then the run restarts
    kResumePolling,   // the poll timer runs again, no restart
    kNothing,         // the message only
  };
  Then then = Then::kRestart;
  std::string message;  // shown in a message box when not empty
};

// How the first step of a delay acquisition ended and what the run does next.
struct DelayOutcome {
  enum class Then : uint8_t {
    kRestart,         // a delay was measured: shown, sent to the station, the run restarts
    kStopAndRestart,  // the run stops, the message, then the run restarts
    kNothing,         // the message only; polling stays stopped
  };
  Then then = Then::kNothing;
  std::optional<uint16_t> delayMs;
  std::string message;  // shown in a message box when not empty
};

enum class LinkClose : uint8_t {
  kRestart,  // before the run opens again: no drain, the serial line stays open
  kStop,     // end of the run: drain the TCP connection, close the serial line
};

class LinkEngine {
 public:
  virtual ~LinkEngine() = default;

  // --- opening a run
  virtual OpenOutcome OpenPort() = 0;
  // Reads and drops what a previous run left on the line.
  virtual void DrainStale() {}
  virtual ConnectOutcome Connect(const LinkTarget&) { return ConnectOutcome::kConnected; }
  // After a failed or lost connection: true while the engine still waits for one (the run
  // then tries once more at once).
  virtual bool AwaitsConnection() const { return false; }
  virtual FirstRequestOutcome SendFirstRequest(const RequestBlock& block) {
    SendRequest(block);
    return {};
  }
  // False when the engine delivers its ticks itself (no poll timer is armed).
  virtual bool WantsPollTimer() const { return true; }

  // --- the poll tick
  // The port or connection the engine uses is open; a tick with a closed link fails.
  virtual bool IsOpen() const = 0;
  // The collect may block for seconds: the poll timer is held meanwhile.
  virtual bool CollectMayWait() const { return false; }
  // Collects the reply to the last request into `reply`: two leading octets (address and
  // function, or two zeros) followed by the data bytes.
  virtual CollectOutcome Collect(std::vector<uint8_t>& reply) = 0;
  // False when the last reply carried nothing to decode (an IEC cause outside the data
  // causes); the tick then only sends the next request.
  virtual bool ReplyHasData() const { return true; }
  // True when every good reply is a whole data set (IEC); false when blocks accumulate
  // until the pass over the description is complete (MODBUS).
  virtual bool EachReplyIsDataSet() const { return false; }
  // The computer-time stamp is renewed when a request goes out.
  virtual bool StampsRequestTime() const { return true; }
  virtual AfterRequest SendRequest(const RequestBlock& block) = 0;

  // --- commands between ticks
  virtual ClockWriteOutcome WriteClock(const ClockTarget& target) = 0;
  // Clock writes the station has confirmed since the run (re)started, for engines that
  // write the clock later on a thread of their own.
  virtual uint32_t ClockSyncsConfirmed() const { return 0; }
  // "Определение запаздывания": only engines that measure a link delay take part.
  virtual bool MeasuresDelay() const { return false; }
  virtual DelayOutcome AcquireDelay() { return {}; }
  // Tells the station the measured delay; true when it echoed the value.
  virtual bool SendDelay(uint16_t /*delayMs*/) { return false; }

  // --- presentation
  // The converter time comes from the decoded registers (false: the engine decodes it).
  virtual bool ConverterTimeFromRegisters() const { return true; }
  // The text of the "ASDU" field.
  virtual std::string AsduFieldText() const { return " "; }
  // The values of the last data set carried no time tag of the transducer (IEC types 9
  // and 21): the recorded line then shows the computer's time.
  virtual bool ValuesCameUntimed() const { return false; }
  // The transducer's time of day the engine decoded from time tags (IEC), if any.
  virtual std::optional<ConverterTime> DecodedConverterTime() const { return std::nullopt; }
  // When the request the last data set answers went out, for engines that send on their own
  // (the IEC 104 connection thread); the computer-time field then shows it.
  virtual std::optional<WallTime> RequestTime() const { return std::nullopt; }
  // Which entries the last data set carries (IEC: the entries awaited in its cycle); empty
  // means every entry. Entries not carried keep their values.
  virtual std::vector<bool> AwaitedEntries() const { return {}; }
  // Withdraws the quantities the read mode never transfers (IEC link-level read).
  virtual void RestrictAvailability(std::span<const PollEntry>, AvailabilityMarks&) const {}

  virtual void Close(LinkClose how) = 0;
};

// The engine of a protocol; nullptr when this build has none for it.
std::unique_ptr<LinkEngine> MakeLinkEngine(ProtocolKind protocol, const EngineContext& context);

// Closes the window's transports as every engine does that has nothing more to stop.
void CloseTransports(const EngineContext& context, LinkClose how);

// The message shown when the serial port `portText` cannot be opened.
std::string SerialOpenFailureText(const std::string& portText);
// How opening ends when the serial port `portText` cannot be opened.
OpenOutcome SerialOpenFailure(const std::string& portText);

}  // namespace tessvar
