#pragma once
// Where the window keeps the IEC station profile between starts: the value "IEC profile"
// of the per-user settings key, one word as text, for example
//
//   [Software\Dorvaint]
//   "IEC profile"="standard"
//
// (in the settings file written as hex(1):73,74,61,6e,64,61,72,64,00). "transducer" or
// "standard"; missing or anything else, the transducer profile is used. The IEC page writes
// the value when the user picks another profile.
#include <string_view>

#include "model/iec_profile.h"

namespace tessvar {

class SettingsStore;

inline constexpr std::string_view kIecProfileValue = "IEC profile";

IecProfile ReadIecProfile(SettingsStore& store);
// False when the key cannot be opened or the value not written.
bool WriteIecProfile(SettingsStore& store, IecProfile profile);

}  // namespace tessvar
