#include "acquisition/rtc_check.h"

#include <exception>

#include "acquisition/run_control_impl.h"
#include "acquisition/run_texts.h"
#include "link/link_result.h"
#include "link/modbus_master.h"
#include "link/rtc_probe.h"
#include "model/rtc_test_code.h"
#include "ui/window_host.h"

namespace tessvar {
namespace {
constexpr uint32_t kTestModeReplyWaitMs = 200;
}  // namespace

ServiceOutcome CRunControl::Impl::OnRtcCheck(std::string_view testCode) {
  OnStop();
  CSerialLine& line = serial;
  CModbusMaster master(line);
  ServiceOutcome outcome;
  // Whatever path the check takes, the port is given back closed.
  struct CloseAtEnd {
    CSerialLine& line;
    ~CloseAtEnd() { line.Close(); }
  } closeAtEnd{line};

  try {
    std::vector<uint8_t> discard;
    master.ReceiveAscii(discard);
  } catch (const std::exception&) {
    // Nothing pending to lose: the check goes on.
  }
  if (!line.IsOpen() && !line.Open(ctx.settings.portText)) {
    outcome.message = SerialOpenFailureText(ctx.settings.portText);
    ctx.host.MessageBox(outcome.message, run_texts::kError);
    return outcome;
  }
  if (master.ProbeRtcMode() == kNoProbeAnswer) {
    outcome.message = rtc_texts::kNoAnswer;
    ctx.host.MessageBox(outcome.message, run_texts::kError);
    return outcome;
  }
  const std::string code = IsRtcTestCode(testCode) ? std::string(testCode)
                                                    : std::string(kDefaultRtcTestCode);
  const std::vector<uint8_t> data(code.begin(), code.end());
  const auto address = static_cast<uint8_t>(ctx.settings.deviceAddress & 0xFF);
  master.SendRtu(address, kModbusRtcTestFunction, 0, data);
  ctx.clock.Sleep(kTestModeReplyWaitMs);
  std::vector<uint8_t> reply;
  const LinkResult result = master.ReceiveRtu(reply);
  outcome.ok = result == LinkResult::kGood && reply.size() >= 2 &&
               reply[1] == kModbusRtcTestFunction;
  if (outcome.ok) {
    outcome.message = rtc_texts::kStarted;
    ctx.host.MessageBox(outcome.message, rtc_texts::kCaption);
  } else {
    outcome.message = rtc_texts::kStartFailed;
    ctx.host.MessageBox(outcome.message, rtc_texts::kCaption, MessageIcon::Exclamation);
  }
  return outcome;
}

}  // namespace tessvar
