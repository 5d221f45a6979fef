#pragma once
// FT1.2 frames of an unbalanced IEC 60870-5-101 link: the fixed and variable frames the
// primary station sends, and the judgement of one received reply. Pure functions; the
// parser never reads past the octets it is given and never trusts a length octet.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessvar {

inline constexpr uint8_t kFt12Fixed = 0x10;
inline constexpr uint8_t kFt12Variable = 0x68;
inline constexpr uint8_t kFt12End = 0x16;
inline constexpr uint8_t kFt12SingleAck = 0xE5;

// Control fields sent (PRM = 1).
inline constexpr uint8_t kCtrlRequestStatus = 0x49;  // function 9, FCV = 0
inline constexpr uint8_t kCtrlResetLink = 0x40;      // function 0, FCV = 0
inline constexpr uint8_t kCtrlClass2 = 0x5B;         // function 11, FCV = 1 (+0x20 FCB)
inline constexpr uint8_t kCtrlSendConfirm = 0x53;    // function 3, FCV = 1 (+0x20 FCB)
inline constexpr uint8_t kCtrlFcb = 0x20;
// Control field of user data the client decodes: respond user data, ACD = 0, DFC = 0.
inline constexpr uint8_t kCtrlRespondData = 0x08;

// Result codes a reply can give (values of the link result byte).
namespace Ft12Result {
inline constexpr uint8_t kGood = 0;
inline constexpr uint8_t kBadStart = 1;  // also a fixed-frame negative acknowledgement
inline constexpr uint8_t kBadStop = 2;
inline constexpr uint8_t kBadChecksum = 3;  // also a frame whose length octets lie
inline constexpr uint8_t kNothing = 4;
inline constexpr uint8_t kNoData = 5;
inline constexpr uint8_t kNotConfirmed = 6;  // interrogation not confirmed, or DFC set
inline constexpr uint8_t kShort = 7;         // 2..4 octets, or one other than 0xE5
inline constexpr uint8_t kSingleAck = 229;
inline constexpr uint8_t kUnexpected = 255;
}  // namespace Ft12Result

// 8-bit arithmetic sum.
uint8_t Ft12Checksum(std::span<const uint8_t> octets);

// 0x10, control, address (1 or 2 octets, low first), checksum, 0x16.
std::vector<uint8_t> BuildFixedFrame(uint8_t control, uint16_t linkAddress, uint8_t addressSize);
// 0x68, L, L, 0x68, control, address, ASDU, checksum, 0x16. An ASDU too long for one frame
// is cut to the 255 octets L can count.
std::vector<uint8_t> BuildVariableFrame(uint8_t control, uint16_t linkAddress,
                                        uint8_t addressSize, std::span<const uint8_t> asdu);

struct Ft12Reply {
  uint8_t result = Ft12Result::kNothing;
  bool hasAsdu = false;              // control 0x08 in a variable frame: decode `asdu`
  std::span<const uint8_t> asdu;     // inside the octets given to the parser
  uint8_t control = 0;
  bool acd = false;  // standard judgement: the station has class 1 data
};

// Judges one gathered reply: its size, start octet, checksum, length octets, end octet
// (in that order), then its control field. A user-data reply comes back with hasAsdu and a
// provisional result 0; the caller judges the ASDU's cause. The address is not compared.
Ft12Reply ParseFt12Reply(std::span<const uint8_t> octets, uint8_t addressSize);

// The same for a standard secondary, whose replies carry ACD and DFC in their control
// field: user data is any variable frame with function 8; a fixed ACK (0) or status (11)
// is good, a NACK "no data" (9) gives kNoData and a NACK (1) kBadStart; E5 gives
// kSingleAck. `acd` tells whether class 1 data waits.
Ft12Reply ParseFt12ReplyStandard(std::span<const uint8_t> octets, uint8_t addressSize);

// When the octets are two or more whole frames back to back (E5, fixed, variable by their
// length octet), the last of them; otherwise the octets as they are. A reply that came late
// and the answer to the repetition then gathered together: the last answers the last request.
std::span<const uint8_t> LastFt12Frame(std::span<const uint8_t> octets, uint8_t addressSize);

}  // namespace tessvar
