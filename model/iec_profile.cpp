#include "model/iec_profile.h"

namespace tessvar {

namespace {
size_t Index(IecProfile profile) { return profile == IecProfile::Standard ? 1 : 0; }
}  // namespace

std::string_view IecProfileText(IecProfile profile) { return kIecProfileTexts[Index(profile)]; }

std::string_view IecProfileWord(IecProfile profile) { return kIecProfileWords[Index(profile)]; }

std::optional<IecProfile> IecProfileFromWord(std::string_view word) {
  for (size_t i = 0; i < kIecProfileWords.size(); ++i) {
    if (kIecProfileWords[i] == word) return static_cast<IecProfile>(i);
  }
  return std::nullopt;
}

}  // namespace tessvar
