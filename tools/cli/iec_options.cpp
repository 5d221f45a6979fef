#include "tools/cli/iec_options.h"

#include <charconv>

#include "app/krellon_dlg.h"

namespace tessvar {

namespace {
constexpr int kGroupList = 1127;
constexpr int kModeGroupPoll = 1132;
constexpr int kModeRead102 = 1133;
constexpr int kModeLinkLevel = 1134;

std::optional<IecFieldSizes> ParseSizes(const std::string& text, IecFieldSizes sizes) {
  int v[3] = {0, 0, 0};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    const auto r = std::from_chars(p, end, v[i]);
    if (r.ec != std::errc()) return std::nullopt;
    p = r.ptr;
    if (i < 2) {
      if (p == end || *p != ',') return std::nullopt;
      ++p;
    }
  }
  if (p != end || v[0] < 1 || v[0] > 2 || v[1] < 1 || v[1] > 3 || v[2] < 1 || v[2] > 2)
    return std::nullopt;
  sizes.commonAddress = static_cast<uint8_t>(v[0]);
  sizes.objectAddress = static_cast<uint8_t>(v[1]);
  sizes.causeOfTransmission = static_cast<uint8_t>(v[2]);
  return sizes;
}
}  // namespace

void AddIecOptions(CLI::App& app, IecCliOptions& o) {
  app.add_option("--iec-mode", o.mode,
                 "IEC read mode: group (\"Опрос группы\"), read (\"Чтение (102)\") or cyclic "
                 "(\"Чтение на канальном уровне\")")
      ->check(CLI::IsMember({"group", "read", "cyclic"}));
  app.add_option("--group", o.group, "interrogation group: 0 \"Общий\", 1..16")
      ->check(CLI::Range(0, 16));
  app.add_option("--iec-sizes", o.sizes,
                 "IEC field sizes CA,IOA,COT (default from the description)");
  app.add_option("--iec-profile", o.profile,
                 "IEC station profile: transducer (\"Преобразователь\", default) or standard "
                 "(\"Стандарт МЭК\", any IEC 60870-5-101/104 station)")
      ->check(CLI::IsMember({"transducer", "standard"}));
}

std::optional<std::string> ApplyIecOptions(const IecCliOptions& o, CKrellonDlg& window) {
  Dialog& d = window.GetDialog();
  if (o.mode) {
    const int id = *o.mode == "group" ? kModeGroupPoll : *o.mode == "read" ? kModeRead102
                                                                         : kModeLinkLevel;
    d.UserClick(id);
  }
  if (o.group) d.UserSelect(kGroupList, *o.group);
  if (o.sizes) {
    const auto sizes = ParseSizes(*o.sizes, window.Settings().iecSizes);
    if (!sizes) return "--iec-sizes wants CA,IOA,COT with CA 1..2, IOA 1..3, COT 1..2";
    window.Settings().iecSizes = *sizes;
  }
  if (o.profile) {
    const auto profile = IecProfileFromWord(*o.profile);
    if (!profile) return "--iec-profile wants transducer or standard";
    window.Settings().iecProfile = *profile;
  }
  return std::nullopt;
}

}  // namespace tessvar
