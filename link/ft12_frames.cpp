#include "link/ft12_frames.h"

#include <algorithm>

#include "link/iec_asdu.h"

namespace tessvar {
namespace {

uint8_t AddressSize(uint8_t size) { return size == 2 ? 2 : 1; }

void PutAddress(std::vector<uint8_t>& out, uint16_t address, uint8_t size) {
  out.push_back(static_cast<uint8_t>(address & 0xFF));
  if (size == 2) out.push_back(static_cast<uint8_t>(address >> 8));
}

// A cause octet returned as the result: the unknown-field causes by their cause bits; any
// other octet as it is, but never 0, which would read as a good reply.
uint8_t CauseAsResult(uint8_t causeOctet) {
  const uint8_t cause = CauseBits(causeOctet);
  if (cause >= kCauseUnknownType && cause <= kCauseUnknownObject) return cause;
  return causeOctet != 0 ? causeOctet : Ft12Result::kUnexpected;
}

// The function code of a control field that is not plain user data.
uint8_t JudgeControl(uint8_t control, bool variable, std::span<const uint8_t> asdu) {
  const bool hasCause = asdu.size() >= 3;
  const uint8_t cause = hasCause ? asdu[2] : 0;
  switch (control & 0x0F) {
    case 0:
      return Ft12Result::kGood;
    case 1:
      if (!variable) return Ft12Result::kBadStart;
      return hasCause ? CauseAsResult(cause) : Ft12Result::kUnexpected;
    case 9:
      if (!variable) return Ft12Result::kNoData;
      return hasCause ? CauseAsResult(cause) : Ft12Result::kUnexpected;
    case 11: {
      if (variable && !hasCause) return Ft12Result::kUnexpected;
      const uint8_t dfcSource = variable ? cause : control;
      return (dfcSource & 0x10) ? Ft12Result::kNotConfirmed : Ft12Result::kGood;
    }
    default:
      return Ft12Result::kUnexpected;
  }
}

}  // namespace

uint8_t Ft12Checksum(std::span<const uint8_t> octets) {
  uint8_t sum = 0;
  for (uint8_t o : octets) sum = static_cast<uint8_t>(sum + o);
  return sum;
}

std::vector<uint8_t> BuildFixedFrame(uint8_t control, uint16_t linkAddress, uint8_t addressSize) {
  std::vector<uint8_t> out{kFt12Fixed, control};
  PutAddress(out, linkAddress, AddressSize(addressSize));
  out.push_back(Ft12Checksum(std::span(out).subspan(1)));
  out.push_back(kFt12End);
  return out;
}

std::vector<uint8_t> BuildVariableFrame(uint8_t control, uint16_t linkAddress,
                                        uint8_t addressSize, std::span<const uint8_t> asdu) {
  const uint8_t size = AddressSize(addressSize);
  const size_t room = 255u - 1u - size;
  asdu = asdu.first(std::min(asdu.size(), room));
  const auto length = static_cast<uint8_t>(1 + size + asdu.size());
  std::vector<uint8_t> out{kFt12Variable, length, length, kFt12Variable, control};
  PutAddress(out, linkAddress, size);
  out.insert(out.end(), asdu.begin(), asdu.end());
  out.push_back(Ft12Checksum(std::span(out).subspan(4)));
  out.push_back(kFt12End);
  return out;
}

Ft12Reply ParseFt12Reply(std::span<const uint8_t> f, uint8_t addressSize) {
  Ft12Reply r;
  const size_t n = f.size();
  if (n == 0) return r;
  if (n == 1) {
    r.result = f[0] == kFt12SingleAck ? Ft12Result::kSingleAck : Ft12Result::kShort;
    return r;
  }
  if (n <= 4) {
    r.result = Ft12Result::kShort;
    return r;
  }
  const bool variable = f[0] == kFt12Variable;
  if (!variable && f[0] != kFt12Fixed) {
    r.result = Ft12Result::kBadStart;
    return r;
  }
  const size_t controlAt = variable ? 4 : 1;
  if (controlAt >= n - 2 || Ft12Checksum(f.subspan(controlAt, n - 2 - controlAt)) != f[n - 2]) {
    r.result = Ft12Result::kBadChecksum;
    return r;
  }
  const uint8_t size = AddressSize(addressSize);
  // A frame whose length octets disagree with each other or with what arrived is corrupt,
  // whatever its sum says; so is a fixed frame of another length than either address size.
  const bool lengthOk = variable ? (f[1] == f[2] && f[3] == kFt12Variable &&
                                    f[1] == n - 6 && f[1] >= 1u + size)
                                 : (n == 5 || n == 6);
  if (!lengthOk) {
    r.result = Ft12Result::kBadChecksum;
    return r;
  }
  if (f[n - 1] != kFt12End) {
    r.result = Ft12Result::kBadStop;
    return r;
  }
  r.control = f[controlAt];
  const size_t asduAt = controlAt + 1 + size;
  const auto asdu = variable ? f.subspan(asduAt, n - 2 - asduAt) : std::span<const uint8_t>{};
  if (r.control == kCtrlRespondData && variable) {
    r.hasAsdu = true;
    r.asdu = asdu;
    r.result = Ft12Result::kGood;
    return r;
  }
  r.result = r.control == kCtrlRespondData ? Ft12Result::kUnexpected
                                           : JudgeControl(r.control, variable, asdu);
  return r;
}

}  // namespace tessvar

namespace tessvar {

Ft12Reply ParseFt12ReplyStandard(std::span<const uint8_t> f, uint8_t addressSize) {
  Ft12Reply r = ParseFt12Reply(f, addressSize);
  // Only a well-formed frame from a secondary (PRM = 0) is judged anew.
  const bool framed = r.result == Ft12Result::kGood || r.result == Ft12Result::kUnexpected ||
                      r.result == Ft12Result::kNoData || r.result == Ft12Result::kNotConfirmed ||
                      r.result == Ft12Result::kBadStart;
  if (f.size() < 5 || !framed || (f[0] != kFt12Fixed && f[0] != kFt12Variable)) return r;
  const bool variable = f[0] == kFt12Variable;
  if (f.size() < (variable ? 8u : 5u)) return r;
  const uint8_t control = f[variable ? 4 : 1];
  if (control & 0x40) {
    r.result = Ft12Result::kUnexpected;
    r.hasAsdu = false;
    return r;
  }
  r.control = control;
  r.acd = (control & 0x20) != 0;
  const uint8_t function = control & 0x0F;
  if (variable) {
    const size_t asduAt = 5u + (addressSize == 2 ? 2u : 1u);
    r.hasAsdu = function == 8 && f.size() >= asduAt + 2;
    r.asdu = r.hasAsdu ? f.subspan(asduAt, f.size() - 2 - asduAt) : std::span<const uint8_t>{};
    r.result = r.hasAsdu ? Ft12Result::kGood : Ft12Result::kUnexpected;
    return r;
  }
  switch (function) {
    case 0:
    case 11: r.result = Ft12Result::kGood; break;
    case 1: r.result = Ft12Result::kBadStart; break;
    case 9: r.result = Ft12Result::kNoData; break;
    default: r.result = Ft12Result::kUnexpected; break;
  }
  return r;
}

std::span<const uint8_t> LastFt12Frame(std::span<const uint8_t> f, uint8_t addressSize) {
  const size_t fixed = 4u + (addressSize == 2 ? 2u : 1u);
  size_t at = 0, last = 0, frames = 0;
  while (at < f.size()) {
    size_t n = 0;
    if (f[at] == kFt12SingleAck) n = 1;
    else if (f[at] == kFt12Fixed) n = fixed;
    else if (f[at] == kFt12Variable && at + 1 < f.size()) n = f[at + 1] + 6u;
    if (n == 0 || n > f.size() - at) return f;  // not whole frames: judged as they are
    last = at;
    at += n;
    ++frames;
  }
  return frames >= 2 ? f.subspan(last) : f;
}

}  // namespace tessvar
