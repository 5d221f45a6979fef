#include "acquisition/recording.h"

#include "model/cp1251.h"

namespace tessvar {

namespace {

std::string Pad2(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

std::optional<uint32_t> ParsePart(std::string_view part) {
  size_t i = 0;
  while (i < part.size() && part[i] == ' ') ++i;
  size_t digits = 0;
  uint32_t value = 0;
  while (i < part.size() && part[i] >= '0' && part[i] <= '9') {
    if (value < 100000) value = value * 10 + static_cast<uint32_t>(part[i] - '0');
    ++i;
    ++digits;
  }
  while (i < part.size() && part[i] == ' ') ++i;
  if (digits == 0 || i != part.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<uint32_t> ParseRecordingTime(std::string_view text) {
  const size_t c1 = text.find(':');
  if (c1 == std::string_view::npos) return std::nullopt;
  const size_t c2 = text.find(':', c1 + 1);
  if (c2 == std::string_view::npos) return std::nullopt;
  const auto h = ParsePart(text.substr(0, c1));
  const auto m = ParsePart(text.substr(c1 + 1, c2 - c1 - 1));
  const auto s = ParsePart(text.substr(c2 + 1));
  if (!h || !m || !s || *h > 24 || *m > 60 || *s > 60) return std::nullopt;
  return *h * 3600 + *m * 60 + *s;
}

std::string RemainingText(uint64_t remainingMs) {
  const uint64_t total = (remainingMs + 999) / 1000;
  return Pad2(static_cast<int>(total / 3600)) + " : " + Pad2(static_cast<int>(total / 60 % 60)) +
         " : " + Pad2(static_cast<int>(total % 60));
}

std::string RecordPathFromChoice(std::string_view chosen) {
  std::string path(chosen);
  if (path.find(".txt") == std::string::npos) path += ".txt";
  return path;
}

std::string RotatedRecordPath(std::string_view recordPath, const WallTime& t) {
  std::string base(recordPath);
  if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".txt") == 0) base.resize(base.size() - 4);
  return base + "_" + Pad2(t.day) + "_" + Pad2(t.month) + "__" + Pad2(t.hour) + "_" +
         Pad2(t.minute) + "_" + Pad2(t.second) + ".txt";
}

bool CaptionPadded(int slot) {
  switch (slot) {
    case 3: case 16: case 18: case 19: case 24: case 37: case 39: case 40:
      return false;
    default:
      return true;
  }
}

static const std::string kSixteenBlanks(16, ' ');

std::string RecordHeader(const WallTime& t, std::span<const RecordColumn> columns) {
  std::string out = Pad2(t.day) + "_" + Pad2(t.month) + "_" + Pad2(t.year) + " " + Pad2(t.hour) +
                    ":" + Pad2(t.minute) + ":" + Pad2(t.second) + "\n\n";
  out += "Время      \t";
  for (const auto& c : columns) {
    out += c.caption;
    if (CaptionPadded(c.slot)) out += kSixteenBlanks;
    out += '\t';
  }
  out += '\n';
  return out;
}

std::string ConverterTimeCell(uint8_t hour, uint8_t minute, uint16_t milliseconds) {
  const int hundredths = milliseconds / 10;
  return Pad2(hour) + ":" + Pad2(minute) + ":" + std::to_string(hundredths / 100) + "," +
         Pad2(hundredths % 100) + "\t";
}

std::string ComputerTimeCell(const WallTime& t) {
  return Pad2(t.hour) + ":" + Pad2(t.minute) + ":" + Pad2(t.second) + "," +
         std::to_string(t.millisecond / 100 % 10) + "\t";
}

std::string RecordLine(std::string_view timeCell, std::span<const RecordColumn> columns,
                       bool physicalUnits) {
  std::string out(timeCell);
  for (const auto& c : columns) {
    std::string v = c.value;
    if (physicalUnits) {
      for (char& ch : v) {
        if (ch == '.') ch = ',';
      }
    }
    out += v;
    out += kSixteenBlanks;
    out += '\t';
  }
  out += '\n';
  return out;
}

bool RecordingFile::Create(const std::string& path) {
  Close();
  path_ = path;
  file_.reset(std::fopen(path.c_str(), "wb"));
  return file_ != nullptr;
}

bool RecordingFile::Write(std::string_view utf8) {
  if (!file_) return false;
  std::string bytes;
  const std::string cp = Utf8ToCp1251(utf8);
  bytes.reserve(cp.size() + 8);
  for (char c : cp) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size() &&
                  std::fflush(file_.get()) == 0 && std::ferror(file_.get()) == 0;
  if (!ok) Close();
  return ok;
}

void RecordingFile::Close() { file_.reset(); }

}  // namespace tessvar
