#include "link/iec101_link.h"

#include <array>

namespace tessvar {

Iec101LinkParams MakeIec101LinkParams(const IecFieldSizes& sizes, InterrogationGroup group) {
  const AsduFieldSizes s = AsduSizesFrom(sizes);
  Iec101LinkParams p;
  p.addressSize = s.commonAddress;
  p.objectAddressSize = s.objectAddress;
  p.causeSize = s.cause;
  p.fixedFrameSize = sizes.fixedFrame;
  p.group = static_cast<uint8_t>(group.position < 0 ? 0 : group.position > 16 ? 16
                                                                                : group.position);
  return p;
}

uint8_t CIec101Link::NextFcb() {
  const uint8_t fcb = toggle_ ? kCtrlFcb : 0;
  toggle_ = !toggle_;
  return fcb;
}

std::vector<uint8_t> CIec101Link::InitExchange(uint8_t control, uint16_t linkAddress,
                                               const Iec101LinkParams& p) {
  if (!line_) return {};
  line_->Write(BuildFixedFrame(control, linkAddress, p.addressSize));
  line_->GetClock().Sleep(kInitWaitMs);
  std::array<uint8_t, 256> buffer{};
  const size_t n = line_->ReadAvailable(buffer);
  return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n)};
}

namespace {
// A lone single-character acknowledgement, or a short frame whose control function is the
// wanted one. The checksum is not looked at: initialisation accepts any such answer.
bool InitAnswered(const std::vector<uint8_t>& got, uint8_t function) {
  if (got.size() == 1) return got[0] == kFt12SingleAck;
  return (got.size() == 5 || got.size() == 6) && (got[1] & 0x0F) == function;
}
}  // namespace

bool CIec101Link::RequestLinkStatus(uint16_t linkAddress, const Iec101LinkParams& p) {
  return InitAnswered(InitExchange(kCtrlRequestStatus, linkAddress, p), 11);
}

bool CIec101Link::ResetRemoteLink(uint16_t linkAddress, const Iec101LinkParams& p) {
  const bool ok = InitAnswered(InitExchange(kCtrlResetLink, linkAddress, p), 0);
  toggle_ = true;
  return ok;
}

void CIec101Link::WriteCounted(std::vector<uint8_t> frame) {
  if (!line_) return;
  line_->Write(frame);
  lastCounted_ = std::move(frame);
}

void CIec101Link::RequestClass2(uint16_t linkAddress, const Iec101LinkParams& p) {
  const uint8_t control = kCtrlClass2 | NextFcb();
  WriteCounted(BuildFixedFrame(control, linkAddress, p.addressSize));
}

void CIec101Link::SendConfirmed(uint16_t linkAddress, const Iec101LinkParams& p,
                                std::span<const uint8_t> asdu) {
  const uint8_t control = kCtrlSendConfirm | NextFcb();
  WriteCounted(BuildVariableFrame(control, linkAddress, p.addressSize, asdu));
}

void CIec101Link::SendRequestRespond(uint16_t linkAddress, const Iec101LinkParams& p,
                                     std::span<const uint8_t> asdu) {
  const uint8_t control = kCtrlClass2 | NextFcb();
  WriteCounted(BuildVariableFrame(control, linkAddress, p.addressSize, asdu));
}

uint8_t CIec101Link::ReceiveFrame(std::vector<uint8_t>& reply, const Iec101LinkParams& p,
                                  AsduDecoder& decoder) {
  reply.clear();
  if (!line_) return Ft12Result::kNothing;
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  buffer.resize(line_->CollectReply(buffer));
  const Ft12Reply frame = ParseFt12Reply(buffer, p.addressSize);
  if (!frame.hasAsdu) return frame.result;

  return TakeAsdu(frame, reply, p, decoder);
}

uint8_t CIec101Link::TakeAsdu(const Ft12Reply& frame, std::vector<uint8_t>& reply,
                              const Iec101LinkParams& p, AsduDecoder& decoder) {
  decoder.sizes = p.Asdu();
  // User data too short for an ASDU header and one object address says nothing usable.
  if (frame.asdu.size() < AsduHeaderSize(decoder.sizes) + decoder.sizes.objectAddress)
    return Ft12Result::kUnexpected;
  DecodeAsdu(decoder, frame.asdu);
  const uint8_t result = JudgeAsduReply(frame.asdu[0], frame.asdu[2]);
  if (decoder.complete) {
    if (result == Ft12Result::kGood) {
      reply = {0, 0};
      reply.insert(reply.end(), decoder.image.begin(), decoder.image.end());
    }
    StartCycle(decoder);
  }
  return result;
}

}  // namespace tessvar
