#pragma once
// Deliberate misbehaviour of the simulated IEC 60870-5-104 station, so that a client's
// recovery can be exercised. Each fault applies to one connection (the first by default),
// so a client that reconnects finds the station well again.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar::sim {

enum class Iec104FaultKind : uint8_t {
  CloseAfter,  // close the connection `arg` ms after it was accepted
  StopDt,      // send STOPDT act `arg` ms after data transfer started
  Negative,    // refuse every command: its cause with the P/N bit (`arg` = 44..47, or 0: the
               // command's own confirmation cause)
  NoAnswer,    // answer nothing at all
  Burst,       // the first data answer goes out as one burst above 5000 octets
  Split,       // every APDU in two TCP segments, the split point walking over every offset
  Garbage,     // `arg` ms after data transfer started, octets that are no APDU
  TestFr,      // TESTFR act every `arg` ms
  NegativeClock,  // refuse the clock synchronisation only (`arg` as for Negative)
};

struct Iec104Fault {
  Iec104FaultKind kind = Iec104FaultKind::NoAnswer;
  uint32_t arg = 0;
  uint32_t connection = 1;  // 1-based connection it applies to; 0 = every connection
};

// Parses "KIND[=ARG][@CONNECTION]": close-after=MS, stopdt=MS, negative[=CAUSE], no-answer,
// burst, split, garbage=MS, testfr=MS, negative-clock[=CAUSE]; "@0" for every connection. The error text on failure.
std::optional<Iec104Fault> ParseIec104Fault(std::string_view text, std::string& error);

// The faults one connection has.
struct Iec104FaultPlan {
  std::optional<uint32_t> closeAfterMs;
  std::optional<uint32_t> stopDtAfterMs;
  std::optional<uint8_t> negativeCause;  // 0 = the command's own confirmation cause
  std::optional<uint8_t> negativeClockCause;  // the same for C_CS_NA_1 alone
  bool noAnswer = false;
  bool burst = false;
  bool split = false;
  std::optional<uint32_t> garbageAfterMs;
  std::optional<uint32_t> testFrEveryMs;
};
Iec104FaultPlan PlanForConnection(const std::vector<Iec104Fault>& faults, uint32_t connection);

}  // namespace tessvar::sim
