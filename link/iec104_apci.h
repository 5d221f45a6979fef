#pragma once
// The APCI of IEC 60870-5-104: the six-octet head of every APDU (start octet 0x68, length,
// four control octets) in its three formats, and the walk over a received byte stream that
// keeps a partial APDU for the next batch. Sequence numbers are kept doubled, the form in
// which they stand in the control octets (0, 2, 4, ...).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessvar::iec104 {

inline constexpr uint8_t kStartOctet = 0x68;
inline constexpr size_t kControlOctets = 4;
inline constexpr size_t kHeadOctets = 2 + kControlOctets;
inline constexpr size_t kMaxApduLength = 253;  // the length octet: control octets + ASDU
inline constexpr size_t kReceiveBufferSize = 5000;

// U-format function octets (the first control octet).
inline constexpr uint8_t kStartDtAct = 0x07;
inline constexpr uint8_t kStartDtCon = 0x0B;
inline constexpr uint8_t kStopDtAct = 0x13;
inline constexpr uint8_t kStopDtCon = 0x23;
inline constexpr uint8_t kTestFrAct = 0x43;
inline constexpr uint8_t kTestFrCon = 0x83;
inline constexpr uint8_t kSFormat = 0x01;

enum class ApduFormat : uint8_t { I, S, U };

// The format a first control octet announces: bit 0 clear = I, 01 = S, 11 = U.
ApduFormat FormatOf(uint8_t c1);

// Doubled sequence numbers advance by 2 and wrap at 2^16 (15-bit numbers).
inline uint16_t NextSequence(uint16_t doubled) { return static_cast<uint16_t>(doubled + 2); }

std::vector<uint8_t> BuildUFormat(uint8_t function);
// S-format acknowledging everything up to (doubled) V(R).
std::vector<uint8_t> BuildSFormat(uint16_t vr);
// I-format around an ASDU: N(S) and N(R) doubled, low octet first. Empty when the ASDU
// does not fit the length octet.
std::vector<uint8_t> BuildIFormat(uint16_t ns, uint16_t nr, std::span<const uint8_t> asdu);
// A U-format APDU answered with its confirmation: the received octets with the first control
// octet replaced (STARTDT/STOPDT/TESTFR con).
std::vector<uint8_t> BuildUConfirmation(std::span<const uint8_t> received, uint8_t confirmation);

// The doubled N(S) / N(R) of an APDU (N(R) of I and S formats).
uint16_t SendSequenceOf(std::span<const uint8_t> apdu);
uint16_t ReceiveSequenceOf(std::span<const uint8_t> apdu);
// The ASDU of an I-format APDU (empty for the other formats).
std::span<const uint8_t> AsduOf(std::span<const uint8_t> apdu);

// Cuts a received byte stream into whole APDUs. Octets are appended in batches; a partial
// APDU at the end of a batch waits for the next one. The buffer never holds more than
// kReceiveBufferSize octets: Append takes what fits and reports how much.
class ApduStream {
 public:
  enum class Status : uint8_t {
    Apdu,      // `apdu` holds one whole APDU (valid until the next call)
    NeedMore,  // no whole APDU yet
    BadStart,  // the next octet is not 0x68: the stream cannot be resynchronised
    BadLength  // the length octet is below 4 or above 253
  };

  // Appends as much of `bytes` as fits; returns the count taken.
  size_t Append(std::span<const uint8_t> bytes);
  Status Next(std::span<const uint8_t>& apdu);
  size_t Buffered() const { return size_ - pos_; }
  size_t FreeSpace() const { return kReceiveBufferSize - Buffered(); }
  void Clear() { pos_ = size_ = 0; }

 private:
  void Compact();
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kReceiveBufferSize);
  size_t pos_ = 0;   // start of the first unread octet
  size_t size_ = 0;  // end of the octets held
};

}  // namespace tessvar::iec104
