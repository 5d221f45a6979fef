#pragma once
// Picking the COM ports out of the system's device-name list (the zero-separated list
// QueryDosDevice gives, ending with an empty name). Pure, so it is tested on any system.
#include <span>
#include <string>
#include <vector>

namespace tessvar {

// "COM<number>" entries (any letter case, number 1..999) no longer than maxLength, without
// repeats, ordered by number ("COM2" before "COM10"). Never reads past the span, even when
// the list lacks its final zero.
std::vector<std::string> ComPortNames(std::span<const char> dosDevices, size_t maxLength);

}  // namespace tessvar
