// Every MODBUS reply parser of the master side on arbitrary bytes. The first byte picks the
// expectation (as if a request had asked for that many registers), the rest is the reply.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/modbus_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const tessvar::ModbusExpectation expect{
      static_cast<uint8_t>((data[0] & 1) ? tessvar::kModbusReadInputRegisters : 0),
      static_cast<uint16_t>(data[0] >> 1)};
  const std::span<const uint8_t> frame(data + 1, size - 1);
  using Parser = tessvar::LinkResult (*)(std::span<const uint8_t>, std::vector<uint8_t>&,
                            const tessvar::ModbusExpectation&);
  for (Parser parse : {Parser{tessvar::ParseRtuReply}, Parser{tessvar::ParseAsciiReply},
                       Parser{tessvar::ParseTcpReply}}) {
    std::vector<uint8_t> reply;
    const tessvar::LinkResult r = parse(frame, reply, expect);
    // A reply array never holds more than the frame could carry, and a good reply names
    // address and function and, for a known quantity, exactly that many registers.
    if (reply.size() > frame.size() + 4) __builtin_trap();
    if (r == tessvar::LinkResult::kGood && reply.size() < 2) __builtin_trap();
    if (r == tessvar::LinkResult::kGood && expect.function == 4 && reply[1] == 4 && reply.size() != 2u + 2u * expect.registers) {
      __builtin_trap();
    }
  }
  (void)tessvar::MbapFrameLength(frame);
  return 0;
}
