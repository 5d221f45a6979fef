// The FT1.2 reply judgement and what the client does with user data, on arbitrary octets.
// The first octet picks the link address size and the ASDU field sizes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/ft12_frames.h"
#include "link/iec_asdu_decoder.h"

namespace {
const tessvar::AsduDecoder& Prototype() {
  static const tessvar::AsduDecoder d = [] {
    tessvar::DeviceDescription desc;
    for (int a = 0; a < 12; ++a)
      desc.entries.push_back({"Напряжение (Udc1)", std::to_string(a), a == 5 ? "0" : "2"});
    return tessvar::MakeAsduDecoder(desc, {}, tessvar::IecReadMode::Read102, 0);
  }();
  return d;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t addressSize = (data[0] & 1) ? 2 : 1;
  const std::span<const uint8_t> frame(data + 1, size - 1);
  const auto r = tessvar::ParseFt12Reply(frame, addressSize);
  if (r.hasAsdu) {
    // The ASDU lies inside the frame, between the address and the checksum.
    if (r.asdu.data() < frame.data() || r.asdu.data() + r.asdu.size() > frame.data() + frame.size() - 2)
      __builtin_trap();
    // One decoder reused across inputs; what an input may have changed is set again here.
    static tessvar::AsduDecoder d = Prototype();
    d.lastType = d.lastMonitorType = d.lastCause = d.asduCounter = 0;
    d.lastAddress = 0;
    d.time = {};
    tessvar::StartCycle(d);
    d.sizes = tessvar::Clamped({static_cast<uint8_t>(1 + ((data[0] >> 1) & 1)), addressSize,
                                static_cast<uint8_t>(1 + ((data[0] >> 2) % 3))});
    tessvar::DecodeAsdu(d, r.asdu);
    if (d.image.size() != 24 || d.marks.size() != 12) __builtin_trap();
  } else if (r.result == 0 && frame.size() > 0 && frame[0] == tessvar::kFt12Variable &&
             r.control == tessvar::kCtrlRespondData) {
    __builtin_trap();  // user data judged good without being decoded
  }
  return 0;
}
