#include "acquisition/presentation.h"

#include <charconv>
#include <cmath>

namespace tessvar {

namespace {

enum class Kind { U, I, P, Pq, Ps, W, Q, PF, F, Eta };

struct SlotInfo {
  PresentedSlot view;
  Kind kind;
};

const std::array<SlotInfo, kPresentedCount>& Infos() {
  static const std::array<SlotInfo, kPresentedCount> infos = {{
      {{0, "Udc1"}, Kind::U},      {{1, "Idc1"}, Kind::I},
      {{2, "Pdc1"}, Kind::P},      {{3, "Wdc1"}, Kind::W},
      {{5, "Qdc1"}, Kind::Q},      {{7, "Uac1"}, Kind::U},
      {{8, "Iac1"}, Kind::I},      {{9, "P1"}, Kind::P},
      {{10, "Pq1"}, Kind::Pq},     {{11, "Ps1"}, Kind::Ps},
      {{12, "PF1"}, Kind::PF},     {{13, "W1"}, Kind::W},
      {{15, "f1"}, Kind::F},       {{16, "Uacdc1"}, Kind::U},
      {{17, "Iacdc1"}, Kind::I},   {{18, "Pacdc1"}, Kind::P},
      {{19, "Wacdc1"}, Kind::W},   {{21, "Udc2"}, Kind::U},
      {{22, "Idc2"}, Kind::I},     {{23, "Pdc2"}, Kind::P},
      {{24, "Wdc2"}, Kind::W},     {{26, "Qdc2"}, Kind::Q},
      {{28, "Uac2"}, Kind::U},     {{29, "Iac2"}, Kind::I},
      {{30, "P2"}, Kind::P},       {{31, "Pq2"}, Kind::Pq},
      {{32, "Ps2"}, Kind::Ps},     {{33, "PF2"}, Kind::PF},
      {{34, "W2"}, Kind::W},       {{36, "f2"}, Kind::F},
      {{37, "Uacdc2"}, Kind::U},   {{38, "Iacdc2"}, Kind::I},
      {{39, "Pacdc2"}, Kind::P},   {{40, "Wacdc2"}, Kind::W},
      {{42, "ETA"}, Kind::Eta},
  }};
  return infos;
}

struct Factors {
  double u, i, p, w, q;
};

Factors ComputeFactors(const ChannelNominals& n) {
  const double un = ParseNominal(n.voltage);
  const double in = ParseNominal(n.current);
  Factors f{};
  f.u = un / 15000.0;
  f.i = in / 15000.0;
  f.p = in * un / 20000.0;
  if (n.kilo.power) f.p /= 1000.0;
  f.w = in * un / 20000.0 / 1.8;
  if (n.kilo.energy) f.w /= 1000.0;
  f.q = in / 15000.0 / 2.4;
  return f;
}

std::string Caption(const SlotInfo& info, const KiloFlags& kilo) {
  const std::string name(info.view.name);
  const std::string p = kilo.power ? "k" : "";
  const std::string e = kilo.energy ? "k" : "";
  switch (info.kind) {
    case Kind::U: return name + ", В";
    case Kind::I: return name + ", A";
    case Kind::P: return name + ", " + p + "Вт";
    case Kind::Pq: return name + ", " + p + "вар";
    case Kind::Ps: return name + ", " + p + "ВА";
    case Kind::W: return name + ", " + e + "Вт·ч";
    case Kind::Q: return name + ", A·ч";
    case Kind::PF: return name;
    case Kind::F: return name + ", Гц";
    case Kind::Eta: return "ETA, %";
  }
  return name;
}

double Scaled(const SlotInfo& info, int32_t raw, const Factors& f) {
  const double r = raw;
  switch (info.kind) {
    case Kind::U: return r * f.u;
    case Kind::I: return r * f.i;
    case Kind::P: case Kind::Pq: case Kind::Ps: return r * f.p;
    case Kind::W: return r * f.w;
    case Kind::Q: return r * f.q;
    case Kind::PF: return r / 1000.0;
    case Kind::F: case Kind::Eta: return r / 10.0;
  }
  return r;
}

std::string TwoDigits(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

// Seconds from milliseconds, cut to hundredths: "07.25", "59.99".
std::string Seconds(int64_t ms) {
  const int64_t hundredths = ms / 10;
  return TwoDigits(static_cast<int>(hundredths / 100)) + "." +
         TwoDigits(static_cast<int>(hundredths % 100));
}

}  // namespace

const std::array<PresentedSlot, kPresentedCount>& PresentedSlots() {
  static const std::array<PresentedSlot, kPresentedCount> views = [] {
    std::array<PresentedSlot, kPresentedCount> v{};
    for (int k = 0; k < kPresentedCount; ++k) v[k] = Infos()[k].view;
    return v;
  }();
  return views;
}

double PhysicalPerCode(int slot, const ChannelNominals& nominals) {
  ChannelNominals base = nominals;
  base.kilo = {};
  const Factors f = ComputeFactors(base);
  for (const auto& info : Infos()) {
    if (info.view.slot == slot) return Scaled(info, 1, f);
  }
  return 0;
}

const PresentedSlot* FindPresented(int slot) {
  for (const auto& v : PresentedSlots()) {
    if (v.slot == slot) return &v;
  }
  return nullptr;
}

std::string FormatDecimals(double value, int decimals) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

KiloFlags ComputeKiloFlags(double nominalCurrent, double nominalVoltage) {
  const bool kilo = FormatDecimals(nominalCurrent * nominalVoltage, 0).size() > 3;
  return {kilo, kilo};
}

double ParseNominal(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || !std::isfinite(value)) return 0;
  return value;
}

std::string FormatValue(double value) {
  if (!std::isfinite(value)) return FormatDecimals(0, 3);
  const double whole = std::trunc(std::fabs(value));
  const int decimals = whole < 10 ? 3 : whole < 100 ? 2 : whole < 1000 ? 1 : 0;
  return FormatDecimals(value, decimals);
}

std::array<PresentedText, kPresentedCount> Present(const PresentationInput& in) {
  static const RawValues kZero{};
  const RawValues& raw = in.raw ? *in.raw : kZero;
  const Factors f1 = ComputeFactors(in.channel1);
  const Factors f2 = ComputeFactors(in.channel2);
  std::array<PresentedText, kPresentedCount> out;
  for (int k = 0; k < kPresentedCount; ++k) {
    const SlotInfo& info = Infos()[k];
    const bool second = info.view.slot >= 21 && info.view.slot <= 41;
    const int32_t value = raw.value[info.view.slot];
    if (in.physicalUnits) {
      out[k].caption = Caption(info, second ? in.channel2.kilo : in.channel1.kilo);
      out[k].value = FormatValue(Scaled(info, value, second ? f2 : f1));
    } else {
      out[k].caption = std::string(info.view.name);
      out[k].value = std::to_string(value);
    }
  }
  return out;
}

std::string ConverterTimeText(const ConverterTime& t) {
  return TwoDigits(t.hour) + " : " + TwoDigits(t.minute) + " : " + Seconds(t.milliseconds);
}

std::string ComputerTimeText(const WallTime& t) {
  return TwoDigits(t.hour) + " : " + TwoDigits(t.minute) + " : " +
         Seconds(int64_t{t.second} * 1000 + t.millisecond);
}

}  // namespace tessvar
