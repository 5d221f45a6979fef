#include "platform/posix/file_settings_store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace tessvar {
namespace {

struct StoredValue {
  std::string name;
  StoreValueType type;
  std::vector<uint8_t> data;
};

struct Section {
  std::string key;
  std::vector<StoredValue> values;
};

using Document = std::vector<Section>;

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Key and value names compare without regard to letter case, as the registry compares them.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "cd,c5,d2,00" (blanks allowed around the bytes); nothing when malformed.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view s) {
  std::vector<uint8_t> out;
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  };
  skipBlanks();
  if (i == s.size()) return out;
  for (;;) {
    skipBlanks();
    if (i + 2 > s.size()) return std::nullopt;
    const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    i += 2;
    skipBlanks();
    if (i == s.size()) return out;
    if (s[i] != ',') return std::nullopt;
    ++i;
  }
}

// A quoted name or text with \" and \\ escapes, starting at s[i] == '"'; i ends after the
// closing quote.
std::optional<std::string> ParseQuoted(std::string_view s, size_t& i) {
  if (i >= s.size() || s[i] != '"') return std::nullopt;
  std::string out;
  for (++i; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      out.push_back(s[++i]);
    } else if (s[i] == '"') {
      ++i;
      return out;
    } else {
      out.push_back(s[i]);
    }
  }
  return std::nullopt;
}

std::optional<StoredValue> ParseValueLine(std::string_view line) {
  size_t i = 0;
  auto name = ParseQuoted(line, i);
  if (!name || i >= line.size() || line[i] != '=') return std::nullopt;
  std::string_view rest = line.substr(i + 1);
  StoredValue v{*name, StoreValueType::None, {}};
  if (rest.substr(0, 6) == "dword:") {
    rest.remove_prefix(6);
    if (rest.size() != 8) return std::nullopt;
    uint32_t x = 0;
    for (char c : rest) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      x = x * 16 + static_cast<uint32_t>(d);
    }
    v.type = StoreValueType::Dword;
    for (int b = 0; b < 4; ++b) v.data.push_back(static_cast<uint8_t>(x >> (8 * b)));
    return v;
  }
  if (rest.substr(0, 4) == "hex:") {
    auto bytes = ParseHexBytes(rest.substr(4));
    if (!bytes) return std::nullopt;
    v.type = StoreValueType::Binary;
    v.data = std::move(*bytes);
    return v;
  }
  if (rest.substr(0, 4) == "hex(") {
    const size_t close = rest.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) return std::nullopt;
    uint32_t type = 0;
    for (char c : rest.substr(4, close - 4)) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      type = type * 16 + static_cast<uint32_t>(d);
    }
    auto bytes = ParseHexBytes(rest.substr(close + 2));
    if (!bytes) return std::nullopt;
    v.type = static_cast<StoreValueType>(type);
    v.data = std::move(*bytes);
    return v;
  }
  if (!rest.empty() && rest.front() == '"') {
    // A text typed by hand: its bytes as they stand, with the terminating zero added.
    size_t j = 0;
    auto text = ParseQuoted(rest, j);
    if (!text || j != rest.size()) return std::nullopt;
    v.type = StoreValueType::String;
    v.data.assign(text->begin(), text->end());
    v.data.push_back(0);
    return v;
  }
  return std::nullopt;
}

Document Parse(const std::string& text) {
  Document doc;
  std::istringstream in(text);
  std::string physical, line;
  Section* current = nullptr;
  while (std::getline(in, physical)) {
    if (!physical.empty() && physical.back() == '\r') physical.pop_back();
    // A trailing backslash continues a long hex line on the next one.
    const bool hexValue =
        physical.find('=') != std::string::npos && physical.find("hex") != std::string::npos;
    if (!physical.empty() && physical.back() == '\\' && (hexValue || !line.empty())) {
      physical.pop_back();
      line += physical;
      continue;
    }
    if (!line.empty()) {
      std::string trimmed = physical;
      trimmed.erase(0, trimmed.find_first_not_of(" \t"));
      physical = line + trimmed;
      line.clear();
    }
    if (physical.empty() || physical.front() == ';') continue;
    if (physical.front() == '[') {
      if (physical.back() != ']') {
        current = nullptr;
        continue;
      }
      const std::string key = physical.substr(1, physical.size() - 2);
      current = nullptr;
      for (auto& s : doc)
        if (SameName(s.key, key)) current = &s;
      if (!current) current = &doc.emplace_back(Section{key, {}});
      continue;
    }
    if (!current) continue;
    auto value = ParseValueLine(physical);
    if (!value) continue;
    bool replaced = false;
    for (auto& old : current->values)
      if (SameName(old.name, value->name)) {
        old = *value;
        replaced = true;
      }
    if (!replaced) current->values.push_back(std::move(*value));
  }
  return doc;
}

void AppendQuoted(std::string& out, std::string_view s) {
  out.push_back('"');
  for (char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string Format(const Document& doc) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "; Tessvar per-user settings\n";
  for (const auto& s : doc) {
    out += "\n[" + s.key + "]\n";
    for (const auto& v : s.values) {
      AppendQuoted(out, v.name);
      out.push_back('=');
      if (v.type == StoreValueType::Dword && v.data.size() == 4) {
        uint32_t x = 0;
        for (int b = 3; b >= 0; --b) x = (x << 8) | v.data[static_cast<size_t>(b)];
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(x >> shift) & 15]);
      } else {
        out += "hex(";
        const auto type = static_cast<uint32_t>(v.type);
        bool digits = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
          const uint32_t nibble = (type >> shift) & 15;
          if (nibble == 0 && !digits && shift > 0) continue;
          digits = true;
          out.push_back(kHex[nibble]);
        }
        out += "):";
        for (size_t i = 0; i < v.data.size(); ++i) {
          if (i) out.push_back(',');
          out.push_back(kHex[v.data[i] >> 4]);
          out.push_back(kHex[v.data[i] & 15]);
        }
      }
      out.push_back('\n');
    }
  }
  return out;
}

enum class LoadResult { Loaded, Missing, Failed };

LoadResult Load(const std::string& path, Document& doc) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    return ec && ec != std::errc::no_such_file_or_directory ? LoadResult::Failed
                                                             : LoadResult::Missing;
  }
  if (!std::filesystem::is_regular_file(status)) return LoadResult::Failed;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > FileSettingsStore::kMaxFileBytes) return LoadResult::Failed;
  std::ifstream in(path, std::ios::binary);
  if (!in) return LoadResult::Failed;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return LoadResult::Failed;
  doc = Parse(text);
  return LoadResult::Loaded;
}

bool Save(const std::string& path, const Document& doc) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  if (target.has_parent_path()) {
    fs::create_directories(target.parent_path(), ec);
    if (ec) return false;
  }
  const fs::path temp = target.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << Format(doc);
    out.flush();
    if (!out) {
      out.close();
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
  }
  return true;
}

class FileSettingsKey : public SettingsKey {
 public:
  FileSettingsKey(std::string path, Document doc, size_t section)
      : path_(std::move(path)), doc_(std::move(doc)), section_(section) {}

  StoreRead Query(std::string_view name, size_t bufferSize) override {
    StoreRead r;
    for (const auto& v : doc_[section_].values) {
      if (!SameName(v.name, name)) continue;
      r.type = v.type;
      r.storedSize = v.data.size();
      if (v.data.size() > bufferSize) {
        r.status = StoreStatus::MoreData;
      } else {
        r.status = StoreStatus::Ok;
        r.data = v.data;
      }
      return r;
    }
    r.status = StoreStatus::NotFound;
    return r;
  }

  bool SetValue(std::string_view name, StoreValueType type,
                std::span<const uint8_t> data) override {
    Document next = doc_;
    auto& values = next[section_].values;
    StoredValue value{std::string(name), type, {data.begin(), data.end()}};
    bool replaced = false;
    for (auto& v : values)
      if (SameName(v.name, name)) {
        v = value;
        replaced = true;
      }
    if (!replaced) values.push_back(std::move(value));
    if (!Save(path_, next)) return false;
    doc_ = std::move(next);
    return true;
  }

 private:
  std::string path_;
  Document doc_;
  size_t section_;
};

}  // namespace

std::string FileSettingsStore::DefaultPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  return base + "/tessvar/settings.reg";
}

std::unique_ptr<SettingsKey> FileSettingsStore::OpenOrCreateKey(std::string_view keyPath) {
  if (path_.empty() || keyPath.empty()) return nullptr;
  Document doc;
  if (Load(path_, doc) == LoadResult::Failed) return nullptr;
  for (size_t i = 0; i < doc.size(); ++i)
    if (SameName(doc[i].key, keyPath)) return std::make_unique<FileSettingsKey>(path_, doc, i);
  doc.push_back(Section{std::string(keyPath), {}});
  if (!Save(path_, doc)) return nullptr;
  const size_t section = doc.size() - 1;
  return std::make_unique<FileSettingsKey>(path_, std::move(doc), section);
}

}  // namespace tessvar
