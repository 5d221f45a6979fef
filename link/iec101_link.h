#pragma once
// CIec101Link: the primary station of an unbalanced IEC 60870-5-101 link. It initialises
// the link, sends command ASDUs in variable frames, polls class 2 with fixed frames, and
// collects and judges each reply, handing user data to the ASDU decoder. It borrows the
// serial line given at each run start; it owns no port and shows nothing.
#include <cstdint>
#include <span>
#include <vector>

#include "link/ft12_frames.h"
#include "link/iec_asdu.h"
#include "link/iec_asdu_decoder.h"
#include "link/serial_line.h"
#include "model/connection_settings.h"

namespace tessvar {

// What every call needs besides the link address.
struct Iec101LinkParams {
  uint8_t addressSize = 1;        // link address and ASDU common address: 1 or 2
  uint8_t objectAddressSize = 2;  // 1..3
  uint8_t causeSize = 1;          // 1 or 2
  uint8_t fixedFrameSize = 16;    // carried along from the IEC page, not used
  uint8_t group = 0;              // 0 station, 1..16
  uint8_t cause = kCauseActivation;  // of the next command ASDU: 5, 6 or 8

  AsduFieldSizes Asdu() const { return Clamped({causeSize, addressSize, objectAddressSize}); }
};
Iec101LinkParams MakeIec101LinkParams(const IecFieldSizes& sizes, InterrogationGroup group);

class CIec101Link {
 public:
  static constexpr uint32_t kInitWaitMs = 150;

  // The line to use from now on (null: none; every call then does nothing or gives 4).
  void SetHandle(CSerialLine* line) { line_ = line; }
  CSerialLine* Handle() const { return line_; }

  // Request status of link; true for a lone 0xE5 or a 5..6-octet reply whose control
  // function is 11 (status of link).
  bool RequestLinkStatus(uint16_t linkAddress, const Iec101LinkParams& p);
  // Reset of remote link; true for 0xE5 or a 5..6-octet acknowledgement. The next frame
  // with FCV = 1 carries FCB = 1 afterwards, whatever the answer.
  bool ResetRemoteLink(uint16_t linkAddress, const Iec101LinkParams& p);
  // Request user data class 2; the reply is collected later.
  void RequestClass2(uint16_t linkAddress, const Iec101LinkParams& p);
  // Send/confirm user data (interrogation, clock synchronisation, delay acquisition).
  void SendConfirmed(uint16_t linkAddress, const Iec101LinkParams& p,
                     std::span<const uint8_t> asdu);
  // The read command in a function-11 frame; answered like a class 2 request.
  void SendRequestRespond(uint16_t linkAddress, const Iec101LinkParams& p,
                          std::span<const uint8_t> asdu);

  // Collects and judges one reply (result codes in ft12_frames.h, plus 44..47 for a
  // negative cause). User data goes into the decoder; when it completes a data set,
  // `reply` becomes 0, 0 and the value image, and the decoder starts a new cycle.
  // Otherwise `reply` is left empty.
  uint8_t ReceiveFrame(std::vector<uint8_t>& reply, const Iec101LinkParams& p,
                       AsduDecoder& decoder);

  // --- a standard secondary (iec101_standard_link.cpp)
  // Request user data class 1 (function 10); the reply is collected later.
  void RequestClass1(uint16_t linkAddress, const Iec101LinkParams& p);
  // Sends the last frame with FCV = 1 again, frame count bit unchanged: the repetition
  // that asks a secondary for its answer once more. False when there is none.
  bool RepeatLast();
  // Collects and judges one reply of a standard secondary (ParseFt12ReplyStandard): as
  // ReceiveFrame, and `acd` tells whether the station has class 1 data waiting.
  uint8_t ReceiveStandard(std::vector<uint8_t>& reply, const Iec101LinkParams& p,
                          AsduDecoder& decoder, bool& acd);

  bool FrameCountToggle() const { return toggle_; }
  void SetFrameCountToggle(bool value) { toggle_ = value; }

 private:
  // FCB for the next FCV = 1 frame; flips the toggle.
  uint8_t NextFcb();
  // Sends an initialisation frame, waits, reads once; the octets that came.
  std::vector<uint8_t> InitExchange(uint8_t control, uint16_t linkAddress,
                                    const Iec101LinkParams& p);

  // Writes a frame with FCV = 1 and keeps it for a repetition.
  void WriteCounted(std::vector<uint8_t> frame);
  uint8_t TakeAsdu(const Ft12Reply& frame, std::vector<uint8_t>& reply,
                   const Iec101LinkParams& p, AsduDecoder& decoder);

  CSerialLine* line_ = nullptr;
  bool toggle_ = false;
  std::vector<uint8_t> lastCounted_;
};

}  // namespace tessvar
