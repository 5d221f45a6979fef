// The two IEC link framings around an ASDU: FT1.2 frames of the serial link and the APCI
// of IEC 104.
#include "link/ft12_frames.h"
#include "link/iec104_apci.h"
#include "monitor/frame_summary.h"
#include "monitor/octet_reader.h"

namespace tessvar::monitor {

namespace {

const char* PrimaryFunction(uint8_t f) {
  switch (f) {
    case 0: return "reset remote link";
    case 1: return "reset user process";
    case 3: return "user data, confirm expected";
    case 4: return "user data, no reply expected";
    case 8: return "request for access demand";
    case 9: return "request status of link";
    case 10: return "request user data class 1";
    case 11: return "request user data class 2";
    default: return "reserved function";
  }
}

const char* SecondaryFunction(uint8_t f) {
  switch (f) {
    case 0: return "ACK";
    case 1: return "NACK, message not accepted";
    case 8: return "user data";
    case 9: return "NACK, requested data not available";
    case 11: return "status of link";
    case 14: return "link service not functioning";
    case 15: return "link service not implemented";
    default: return "reserved function";
  }
}

std::string ControlText(uint8_t c) {
  const uint8_t function = c & 0x0F;
  if ((c & 0x40) != 0) {
    return Fmt("PRM=1 FCB=%u FCV=%u fn %u %s", (c >> 5) & 1, (c >> 4) & 1, function,
               PrimaryFunction(function));
  }
  return Fmt("PRM=0 ACD=%u DFC=%u fn %u %s", (c >> 5) & 1, (c >> 4) & 1, function,
             SecondaryFunction(function));
}

// Control field, link address and ASDU (may be empty) of a frame whose checksum covers them.
FrameSummary LinkBody(const char* kind, std::span<const uint8_t> body, uint8_t checksum, bool endOk,
                      const FrameFormat& format) {
  OctetReader r(body);
  const uint8_t addressSize = format.linkAddressSize == 2 ? 2 : 1;
  bool malformed = !endOk;
  std::string text = std::string("FT1.2 ") + kind;
  if (!r.Has(1 + addressSize)) {
    malformed = true;
    text += " too short for control and address";
  } else {
    text += ", " + ControlText(r.U8());
    text += Fmt(", link address %u", r.Le(addressSize));
  }
  const bool sumOk = Ft12Checksum(body) == checksum;
  text += sumOk ? ", checksum ok" : Fmt(", checksum bad (0x%02X, expected 0x%02X)", checksum, Ft12Checksum(body));
  if (!endOk) text += ", no end octet 16";
  FrameClass cls = r.Left() > 0 ? FrameClass::kData : FrameClass::kControl;
  if (r.Left() > 0) {
    FrameSummary asdu = SummariseAsdu(r.Take(r.Left()), format.asdu);
    text += "; " + asdu.text;
    cls = asdu.cls;
  }
  if (malformed || !sumOk) {
    cls = FrameClass::kMalformed;
    text += " [malformed]";
  }
  return {cls, std::move(text)};
}

const char* UFunction(uint8_t c1) {
  switch (c1) {
    case iec104::kStartDtAct: return "STARTDT act";
    case iec104::kStartDtCon: return "STARTDT con";
    case iec104::kStopDtAct: return "STOPDT act";
    case iec104::kStopDtCon: return "STOPDT con";
    case iec104::kTestFrAct: return "TESTFR act";
    case iec104::kTestFrCon: return "TESTFR con";
    default: return nullptr;
  }
}

}  // namespace

FrameSummary SummariseFt12(std::span<const uint8_t> frame, const FrameFormat& format) {
  const size_t addressSize = format.linkAddressSize == 2 ? 2 : 1;
  if (frame.size() == 1 && frame[0] == kFt12SingleAck) return {FrameClass::kControl, "FT1.2 single character E5 (ACK)"};
  if (frame.empty()) return {FrameClass::kMalformed, "FT1.2 empty [malformed]"};
  if (frame[0] == kFt12Fixed) {
    const size_t size = 4 + addressSize;  // start, control, address, checksum, end
    if (frame.size() < size) {
      return {FrameClass::kMalformed, Fmt("FT1.2 fixed frame cut short (%zu of %zu octets) [malformed]", frame.size(), size)};
    }
    FrameSummary s = LinkBody("fixed", frame.subspan(1, 1 + addressSize), frame[size - 2],
                              frame[size - 1] == kFt12End, format);
    if (frame.size() > size) {
      s.cls = FrameClass::kMalformed;
      s.text += Fmt(" [%zu extra octets]", frame.size() - size);
    }
    return s;
  }
  if (frame[0] == kFt12Variable) {
    if (frame.size() < 4 || frame[3] != kFt12Variable || frame[1] != frame[2]) {
      return {FrameClass::kMalformed, "FT1.2 variable frame with a broken head [malformed]"};
    }
    const size_t length = frame[1];
    if (frame.size() != length + 6) {
      return {FrameClass::kMalformed, Fmt("FT1.2 variable frame, L=%zu but %zu octets [malformed]", length, frame.size())};
    }
    return LinkBody(Fmt("variable L=%zu", length).c_str(), frame.subspan(4, length), frame[4 + length],
                    frame.back() == kFt12End, format);
  }
  return {FrameClass::kMalformed, Fmt("FT1.2 unknown start octet 0x%02X (%zu octets) [malformed]", frame[0], frame.size())};
}

FrameSummary SummariseApci(std::span<const uint8_t> frame) {
  if (frame.size() < iec104::kHeadOctets || frame[0] != iec104::kStartOctet) {
    return {FrameClass::kMalformed, Fmt("APDU without a whole head (%zu octets) [malformed]", frame.size())};
  }
  const size_t length = frame[1];
  std::string lengthNote;
  if (length + 2 != frame.size()) lengthNote = Fmt(" [length %zu but %zu follow, malformed]", length, frame.size() - 2);
  const uint8_t c1 = frame[2];
  FrameSummary s;
  switch (iec104::FormatOf(c1)) {
    case iec104::ApduFormat::I:
      s.text = Fmt("I N(S)=%u N(R)=%u", iec104::SendSequenceOf(frame) / 2, iec104::ReceiveSequenceOf(frame) / 2);
      if (frame.size() > iec104::kHeadOctets) {
        FrameSummary asdu = SummariseAsdu(frame.subspan(iec104::kHeadOctets), kIec104FieldSizes);
        s.text += "; " + asdu.text;
        s.cls = asdu.cls;
      } else {
        s.text += ", no ASDU";
        s.cls = FrameClass::kMalformed;
      }
      break;
    case iec104::ApduFormat::S:
      s = {FrameClass::kControl, Fmt("S N(R)=%u", iec104::ReceiveSequenceOf(frame) / 2)};
      break;
    case iec104::ApduFormat::U: {
      const char* name = UFunction(c1);
      s = {name ? FrameClass::kControl : FrameClass::kMalformed, name ? Fmt("U %s", name) : Fmt("U unknown function 0x%02X", c1)};
      break;
    }
  }
  if (!lengthNote.empty()) {
    s.cls = FrameClass::kMalformed;
    s.text += lengthNote;
  }
  return s;
}

}  // namespace tessvar::monitor
