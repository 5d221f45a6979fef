// The parts of the 101 primary station that only a standard secondary needs: the class 1
// poll, the repetition of a frame whose answer was lost, and replies that carry ACD.
#include "link/iec101_link.h"

namespace tessvar {

namespace {
constexpr uint8_t kCtrlClass1 = 0x5A;  // function 10, FCV = 1 (+0x20 FCB)
}  // namespace

void CIec101Link::RequestClass1(uint16_t linkAddress, const Iec101LinkParams& p) {
  const uint8_t control = kCtrlClass1 | NextFcb();
  WriteCounted(BuildFixedFrame(control, linkAddress, p.addressSize));
}

bool CIec101Link::RepeatLast() {
  if (!line_ || lastCounted_.empty()) return false;
  line_->Write(lastCounted_);
  return true;
}

uint8_t CIec101Link::ReceiveStandard(std::vector<uint8_t>& reply, const Iec101LinkParams& p,
                                     AsduDecoder& decoder, bool& acd) {
  reply.clear();
  acd = false;
  if (!line_) return Ft12Result::kNothing;
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  buffer.resize(line_->CollectReply(buffer));
  const Ft12Reply frame =
      ParseFt12ReplyStandard(LastFt12Frame(buffer, p.addressSize), p.addressSize);
  acd = frame.acd;
  if (!frame.hasAsdu) return frame.result;
  return TakeAsdu(frame, reply, p, decoder);
}

}  // namespace tessvar
