#pragma once
// The soak's account of the recording: what the window presented, data set by data set, and
// what the recording files hold, compared line by line in order.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar {
class Dialog;
struct AvailabilityMarks;
}

namespace tessvar::soak {

// The value texts the window shows for the available quantities, in presentation order,
// joined by '|' (the recording writes the same texts with a decimal comma).
std::string PresentedSignature(const Dialog& dialog, const AvailabilityMarks& marks);

// The value cells of each data line of a recording file (the time cell and the three header
// lines left out), in the form of PresentedSignature.
std::vector<std::string> RecordedSignatures(std::string_view fileBytes);

uint64_t SignatureHash(std::string_view signature);

struct LineAccount {
  uint64_t matched = 0;
  uint64_t lost = 0;        // presented but never recorded
  uint64_t duplicated = 0;  // recorded again, or recorded without having been presented
};

// Walks both sequences in order: a recorded line that is the next presented one matches; one
// that is a little further on matches and the skipped ones are lost; anything else is extra.
LineAccount Account(std::span<const uint64_t> presented, std::span<const uint64_t> recorded);

std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace tessvar::soak
