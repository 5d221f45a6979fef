#include "link/iec104_apci.h"

#include <algorithm>
#include <cstring>

namespace tessvar::iec104 {

ApduFormat FormatOf(uint8_t c1) {
  if ((c1 & 0x01) == 0) return ApduFormat::I;
  return (c1 & 0x03) == 0x01 ? ApduFormat::S : ApduFormat::U;
}

std::vector<uint8_t> BuildUFormat(uint8_t function) {
  return {kStartOctet, 0x04, function, 0x00, 0x00, 0x00};
}

std::vector<uint8_t> BuildSFormat(uint16_t vr) {
  return {kStartOctet, 0x04, kSFormat, 0x00, static_cast<uint8_t>(vr & 0xFF),
          static_cast<uint8_t>(vr >> 8)};
}

std::vector<uint8_t> BuildIFormat(uint16_t ns, uint16_t nr, std::span<const uint8_t> asdu) {
  if (asdu.empty() || asdu.size() + kControlOctets > kMaxApduLength) return {};
  std::vector<uint8_t> out;
  out.reserve(kHeadOctets + asdu.size());
  out.push_back(kStartOctet);
  out.push_back(static_cast<uint8_t>(asdu.size() + kControlOctets));
  out.push_back(static_cast<uint8_t>(ns & 0xFE));
  out.push_back(static_cast<uint8_t>(ns >> 8));
  out.push_back(static_cast<uint8_t>(nr & 0xFE));
  out.push_back(static_cast<uint8_t>(nr >> 8));
  out.insert(out.end(), asdu.begin(), asdu.end());
  return out;
}

std::vector<uint8_t> BuildUConfirmation(std::span<const uint8_t> received, uint8_t confirmation) {
  std::vector<uint8_t> out(received.begin(), received.end());
  if (out.size() < kHeadOctets) return BuildUFormat(confirmation);
  out[2] = confirmation;
  return out;
}

uint16_t SendSequenceOf(std::span<const uint8_t> apdu) {
  if (apdu.size() < kHeadOctets) return 0;
  return static_cast<uint16_t>(apdu[2] | (apdu[3] << 8));
}

uint16_t ReceiveSequenceOf(std::span<const uint8_t> apdu) {
  if (apdu.size() < kHeadOctets) return 0;
  return static_cast<uint16_t>(apdu[4] | (apdu[5] << 8));
}

std::span<const uint8_t> AsduOf(std::span<const uint8_t> apdu) {
  if (apdu.size() <= kHeadOctets || FormatOf(apdu[2]) != ApduFormat::I) return {};
  return apdu.subspan(kHeadOctets);
}

size_t ApduStream::Append(std::span<const uint8_t> bytes) {
  const size_t take = std::min(bytes.size(), FreeSpace());
  if (take == 0) return 0;
  if (size_ + take > buffer_.size()) Compact();
  std::memcpy(buffer_.data() + size_, bytes.data(), take);
  size_ += take;
  return take;
}

void ApduStream::Compact() {
  if (pos_ == 0) return;
  std::memmove(buffer_.data(), buffer_.data() + pos_, size_ - pos_);
  size_ -= pos_;
  pos_ = 0;
}

ApduStream::Status ApduStream::Next(std::span<const uint8_t>& apdu) {
  const size_t held = size_ - pos_;
  if (held == 0) {
    pos_ = size_ = 0;
    return Status::NeedMore;
  }
  const uint8_t* p = buffer_.data() + pos_;
  if (p[0] != kStartOctet) return Status::BadStart;
  if (held < 2) return Status::NeedMore;
  const size_t length = p[1];
  if (length < kControlOctets || length > kMaxApduLength) return Status::BadLength;
  if (held < length + 2) {
    Compact();  // keep the partial APDU at the front so the rest of the buffer is free
    return Status::NeedMore;
  }
  apdu = std::span<const uint8_t>(p, length + 2);
  pos_ += length + 2;
  return Status::Apdu;
}

}  // namespace tessvar::iec104
