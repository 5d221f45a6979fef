#pragma once
// Writes description files: the sample generator and the tests build their files with it.
// The window never writes descriptions; this lives beside the generator for that reason.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar::samples {

// How a text's length is prefixed.
enum class TextForm { Byte, Word, Dword, Qword, Utf16 };

// Appends a length-prefixed text; `utf8` is converted to Windows-1251 (or UTF-16).
void AppendText(std::vector<uint8_t>& out, std::string_view utf8, TextForm form = TextForm::Byte);
void AppendU16(std::vector<uint8_t>& out, uint16_t v);
void AppendU32(std::vector<uint8_t>& out, uint32_t v);

struct RecordLayout {
  std::string name;     // UTF-8
  std::string address;  // e.g. "0x000010"
  std::string size = "2";
  uint32_t flag = 0;
  std::string divisor = "1";
  TextForm form = TextForm::Byte;
};

struct NetworkSpec {
  uint32_t ip = 0x7F000001;  // first octet most significant
  uint16_t port = 502;
  std::string marker = "IPconf:";
};

struct DescriptionLayout {
  int32_t nominalCurrent = 5000;   // thousandths, header block byte 10
  int32_t nominalVoltage = 75000;  // thousandths, header block byte 42
  std::vector<RecordLayout> records;
  uint16_t deviceAddress = 1;
  uint8_t serialByte = 0x85;  // 9600, no parity, 8 data bits, 1 stop bit
  uint8_t variant = 0;
  uint8_t protocolCode = 0;
  std::array<uint8_t, 4> iecSizes = {1, 2, 16, 1};  // file order: common, object, fixed, cause
  std::vector<uint8_t> groupCodes;  // default: 20 for every entry
  // Rated value of each entry that is not a clock column, in entry order; missing ones zero.
  std::vector<std::array<uint8_t, 4>> ratedValues;
  uint8_t networkCode = 2;
  std::optional<NetworkSpec> network;
};

std::vector<uint8_t> WriteDescription(const DescriptionLayout& layout);

// The four rated-value bytes for x (the shifted product) with decimal code d and unit flag.
std::array<uint8_t, 4> EncodeRatedValue(uint32_t x, uint8_t decimalCode, uint8_t unitFlag);

}  // namespace tessvar::samples
