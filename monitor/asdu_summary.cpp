// ASDU summaries: type, qualifier, cause, common address and each information object with
// its value and time tag, for the monitor types the transducer sends and the commands this
// client sends.
#include <cstring>

#include "monitor/frame_summary.h"
#include "monitor/octet_reader.h"

namespace tessvar::monitor {

namespace {

enum class Value : uint8_t { None, Siq, Diq, Vti, Bsi, Nva, Sva, Float, Bcr, Qoi, Qcc, Coi, Cp16, Raw1 };
enum class Tag : uint8_t { None, Cp24, Cp56 };

struct TypeLayout {
  uint8_t type;
  const char* name;
  Value value;
  bool quality;  // a separate quality descriptor follows the value
  Tag tag;
};

constexpr TypeLayout kTypes[] = {
    {1, "M_SP_NA_1", Value::Siq, false, Tag::None},
    {3, "M_DP_NA_1", Value::Diq, false, Tag::None},
    {5, "M_ST_NA_1", Value::Vti, true, Tag::None},
    {7, "M_BO_NA_1", Value::Bsi, true, Tag::None},
    {9, "M_ME_NA_1", Value::Nva, true, Tag::None},
    {10, "M_ME_TA_1", Value::Nva, true, Tag::Cp24},
    {11, "M_ME_NB_1", Value::Sva, true, Tag::None},
    {12, "M_ME_TB_1", Value::Sva, true, Tag::Cp24},
    {13, "M_ME_NC_1", Value::Float, true, Tag::None},
    {14, "M_ME_TC_1", Value::Float, true, Tag::Cp24},
    {15, "M_IT_NA_1", Value::Bcr, false, Tag::None},
    {16, "M_IT_TA_1", Value::Bcr, false, Tag::Cp24},
    {21, "M_ME_ND_1", Value::Nva, false, Tag::None},
    {30, "M_SP_TB_1", Value::Siq, false, Tag::Cp56},
    {31, "M_DP_TB_1", Value::Diq, false, Tag::Cp56},
    {34, "M_ME_TD_1", Value::Nva, true, Tag::Cp56},
    {35, "M_ME_TE_1", Value::Sva, true, Tag::Cp56},
    {36, "M_ME_TF_1", Value::Float, true, Tag::Cp56},
    {37, "M_IT_TB_1", Value::Bcr, false, Tag::Cp56},
    {70, "M_EI_NA_1", Value::Coi, false, Tag::None},
    {100, "C_IC_NA_1", Value::Qoi, false, Tag::None},
    {101, "C_CI_NA_1", Value::Qcc, false, Tag::None},
    {102, "C_RD_NA_1", Value::None, false, Tag::None},
    {103, "C_CS_NA_1", Value::None, false, Tag::Cp56},
    {106, "C_CD_NA_1", Value::Cp16, false, Tag::None},
    {kPrivateSequence, "private sequence", Value::Sva, false, Tag::None},
};

const TypeLayout* LayoutOf(uint8_t type) {
  for (const auto& t : kTypes) {
    if (t.type == type) return &t;
  }
  return nullptr;
}

size_t ValueSize(Value v) {
  switch (v) {
    case Value::None: return 0;
    case Value::Nva: case Value::Sva: case Value::Cp16: return 2;
    case Value::Float: case Value::Bsi: return 4;
    case Value::Bcr: return 5;
    default: return 1;
  }
}

size_t TagSize(Tag t) { return t == Tag::Cp24 ? 3 : t == Tag::Cp56 ? 7 : 0; }

const char* CauseName(uint8_t cause) {
  switch (cause) {
    case 1: return "per/cyc";
    case 2: return "back";
    case kCauseSpontaneous: return "spont";
    case 4: return "init";
    case kCauseRequest: return "req";
    case kCauseActivation: return "act";
    case kCauseActivationCon: return "actcon";
    case kCauseDeactivation: return "deact";
    case kCauseDeactivationCon: return "deactcon";
    case kCauseActivationTerm: return "actterm";
    case kCauseUnknownType: return "unknown type";
    case 45: return "unknown cause";
    case 46: return "unknown common address";
    case kCauseUnknownObject: return "unknown object address";
    default:
      if (cause == kCauseGroupBase) return "inrogen";
      if (cause > kCauseGroupBase && cause <= kCauseGroupBase + 16) return "inro";
      if (cause == 37) return "reqcogen";
      if (cause > 37 && cause <= 41) return "reqco";
      return "";
  }
}

std::string QualityText(uint8_t q) {
  if ((q & 0xF1) == 0) return {};
  std::string t = " q=";
  if (q & 0x80) t += "IV,";
  if (q & 0x40) t += "NT,";
  if (q & 0x20) t += "SB,";
  if (q & 0x10) t += "BL,";
  if (q & 0x01) t += "OV,";
  t.pop_back();
  return t;
}

std::string Cp56Text(std::span<const uint8_t> o) {
  const unsigned ms = o[0] | (o[1] << 8);
  return Fmt(" %04u-%02u-%02u %02u:%02u:%02u.%03u%s%s", 2000u + (o[6] & 0x7F), o[5] & 0x0F, o[4] & 0x1F,
             o[3] & 0x1F, o[2] & 0x3F, ms / 1000, ms % 1000, (o[2] & 0x80) ? " IV" : "",
             (o[3] & 0x80) ? " SU" : "");
}

std::string Cp24Text(std::span<const uint8_t> o) {
  const unsigned ms = o[0] | (o[1] << 8);
  return Fmt(" xx:%02u:%02u.%03u%s", o[2] & 0x3F, ms / 1000, ms % 1000, (o[2] & 0x80) ? " IV" : "");
}

// The value of one element (its octets are all present).
std::string ValueText(Value v, std::span<const uint8_t> o) {
  switch (v) {
    case Value::Siq: return Fmt("SPI=%u", o[0] & 1) + QualityText(o[0] & 0xF0);
    case Value::Diq: return Fmt("DPI=%u", o[0] & 3) + QualityText(o[0] & 0xF0);
    case Value::Vti: return Fmt("step %d", static_cast<int8_t>(static_cast<uint8_t>(o[0] << 1)) / 2);
    case Value::Bsi: return Fmt("0x%08X", static_cast<unsigned>(o[0] | o[1] << 8 | o[2] << 16 | static_cast<uint32_t>(o[3]) << 24));
    case Value::Nva: {
      const auto raw = static_cast<int16_t>(o[0] | (o[1] << 8));
      return Fmt("%d (%.5f)", raw, raw / 32768.0);
    }
    case Value::Sva: return Fmt("%d", static_cast<int16_t>(o[0] | (o[1] << 8)));
    case Value::Float: {
      const uint32_t bits = o[0] | o[1] << 8 | o[2] << 16 | static_cast<uint32_t>(o[3]) << 24;
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return Fmt("%g", static_cast<double>(f));
    }
    case Value::Bcr: {
      const auto count = static_cast<int32_t>(o[0] | o[1] << 8 | o[2] << 16 | static_cast<uint32_t>(o[3]) << 24);
      return Fmt("%d seq %u%s%s%s", count, o[4] & 0x1F, (o[4] & 0x20) ? " CY" : "", (o[4] & 0x40) ? " CA" : "",
                 (o[4] & 0x80) ? " IV" : "");
    }
    case Value::Qoi: return Fmt("QOI=%u", o[0]);
    case Value::Qcc: return Fmt("QCC=%u", o[0]);
    case Value::Coi: return Fmt("COI=%u", o[0]);
    case Value::Cp16: return Fmt("delay %u ms", o[0] | (o[1] << 8));
    default: return Fmt("0x%02X", o[0]);
  }
}

// The elements of an ASDU after its header. `ok` is cleared when they end early.
std::string ObjectsText(OctetReader& r, const TypeLayout& layout, bool sq, size_t count,
                        uint8_t ioaSize, bool& ok) {
  const bool privateType = layout.type == kPrivateSequence;
  const size_t element = ValueSize(layout.value) + (layout.quality || privateType ? 1 : 0) + TagSize(layout.tag);
  std::string text;
  uint32_t ioa = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i == 0 || !sq) {
      if (!r.Has(ioaSize)) return ok = false, text;
      ioa = r.Le(ioaSize);
    } else {
      ++ioa;
    }
    if (!r.Has(element)) return ok = false, text;
    OctetReader e(r.Take(element));
    text += Fmt(" | IOA %u", ioa);
    const auto value = e.Take(ValueSize(layout.value));
    if (!value.empty()) text += " " + ValueText(layout.value, value);
    if (privateType) {
      text += Fmt(" +0x%02X", e.U8());
    } else if (layout.quality) {
      text += QualityText(e.U8());
    }
    if (layout.tag == Tag::Cp24) text += Cp24Text(e.Take(3));
    if (layout.tag == Tag::Cp56) text += Cp56Text(e.Take(7));
  }
  if (privateType) {
    if (!r.Has(4)) return ok = false, text;
    const auto t = r.Take(4);
    const unsigned ms = t[0] | (t[1] << 8);
    text += Fmt(" | time %02u:%02u:%02u.%03u", t[3] & 0x1F, t[2] & 0x3F, ms / 1000, ms % 1000);
  }
  return text;
}

}  // namespace

FrameSummary SummariseAsdu(std::span<const uint8_t> asdu, const AsduFieldSizes& requested) {
  const AsduFieldSizes sizes = Clamped(requested);
  OctetReader r(asdu);
  if (!r.Has(AsduHeaderSize(sizes))) {
    return {FrameClass::kMalformed, Fmt("ASDU header cut short (%zu octets) [malformed]", asdu.size())};
  }
  const uint8_t type = r.U8();
  const uint8_t vsq = r.U8();
  const uint8_t cot = r.U8();
  const uint32_t originator = sizes.cause == 2 ? r.U8() : 0;
  const uint32_t common = r.Le(sizes.commonAddress);
  const TypeLayout* layout = LayoutOf(type);
  const bool sq = (vsq & 0x80) != 0;
  const size_t count = vsq & 0x7F;
  const uint8_t cause = CauseBits(cot);
  std::string text = Fmt("type %u %s, SQ=%u n=%zu, cause %u %s%s%s", type, layout ? layout->name : "unknown", sq ? 1 : 0,
                         count, cause, CauseName(cause), IsNegative(cot) ? " P/N=1 negative" : "",
                         (cot & kCauseTestBit) ? " T=1 test" : "");
  if (sizes.cause == 2 && originator != 0) text += Fmt(" orig %u", originator);
  text += Fmt(", CA %u", common);
  FrameClass cls = IsNegative(cot) ? FrameClass::kException : FrameClass::kData;
  if (!layout) {
    text += Fmt(", %zu octets not decoded", r.Left());
    return {cls, std::move(text)};
  }
  bool ok = true;
  text += ObjectsText(r, *layout, sq, count, sizes.objectAddress, ok);
  if (!ok) {
    text += " | cut short [malformed]";
    cls = FrameClass::kMalformed;
  } else if (r.Left() > 0) {
    text += Fmt(" | %zu extra octets [malformed]", r.Left());
    cls = FrameClass::kMalformed;
  }
  return {cls, std::move(text)};
}

}  // namespace tessvar::monitor
