#include "tests/soak/record_check.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "acquisition/presentation.h"
#include "app/main_window_template.h"
#include "model/catalogue.h"
#include "ui/dialog.h"

namespace tessvar::soak {

namespace {
constexpr size_t kHeaderLines = 3;       // date and time, an empty line, the captions
constexpr size_t kLookAhead = 256;       // how far a recorded line may run ahead of the presented

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}
}  // namespace

std::string PresentedSignature(const Dialog& dialog, const AvailabilityMarks& marks) {
  std::string out;
  for (const auto& v : PresentedSlots()) {
    const ValueFieldBinding* field = FindValueField(v.slot);
    if (!field || !marks.Available(v.slot)) continue;
    const std::string text = dialog.Text(field->fieldId);
    if (text.empty()) continue;
    if (!out.empty()) out += '|';
    out += text;
  }
  return out;
}

std::vector<std::string> RecordedSignatures(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t lineNo = 0;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view line = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    if (lineNo++ < kHeaderLines || Trim(line).empty()) continue;
    std::string sig;
    bool timeCell = true;
    for (std::string_view rest = line; !rest.empty();) {
      const size_t tab = rest.find('\t');
      const std::string_view cell = Trim(rest.substr(0, tab));
      rest = tab == std::string_view::npos ? std::string_view{} : rest.substr(tab + 1);
      if (timeCell) {
        timeCell = false;
        continue;
      }
      if (cell.empty()) continue;
      if (!sig.empty()) sig += '|';
      std::string v(cell);
      std::replace(v.begin(), v.end(), ',', '.');
      sig += v;
    }
    lines.push_back(std::move(sig));
  }
  return lines;
}

uint64_t SignatureHash(std::string_view signature) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (const char c : signature) {
    h ^= static_cast<uint8_t>(c);
    h *= 1099511628211ull;
  }
  return h;
}

LineAccount Account(std::span<const uint64_t> presented, std::span<const uint64_t> recorded) {
  LineAccount a;
  size_t i = 0;
  for (const uint64_t line : recorded) {
    const size_t limit = std::min(presented.size(), i + kLookAhead);
    size_t k = i;
    while (k < limit && presented[k] != line) ++k;
    if (k == limit) {
      ++a.duplicated;
      continue;
    }
    a.lost += k - i;
    ++a.matched;
    i = k + 1;
  }
  a.lost += presented.size() - i;
  return a;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), {});
}

}  // namespace tessvar::soak
