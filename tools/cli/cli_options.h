#pragma once
// The command line of tessvar-cli, and how it is applied to the window's controls.
#include <cstdint>
#include <optional>
#include <string>

namespace tessvar {

class CKrellonDlg;

struct CliOptions {
  std::string dat;
  std::optional<std::string> protocol;
  std::optional<std::string> port;
  std::optional<std::string> ip;
  std::optional<uint32_t> address;
  std::optional<uint32_t> pollMs;
  bool codes = false;
  std::optional<std::string> timeBase;
  std::optional<std::string> record;
  std::optional<std::string> recordTime;
  std::optional<uint64_t> dataSets;
  bool json = false;
};

// Parses "A.B.C.D" into the first-octet-most-significant form.
std::optional<uint32_t> ParseIpv4(const std::string& text);

// Sets the controls as a user would, after the description was loaded. The error text, or
// nothing when every option could be applied.
std::optional<std::string> ApplyOptions(const CliOptions& o, CKrellonDlg& window);

}  // namespace tessvar
