#pragma once
// The IEC options of tessvar-cli: the read mode, the interrogation group, the field sizes
// and the station profile, applied to the window as a user would set them.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace tessvar {

class CKrellonDlg;

struct IecCliOptions {
  std::optional<std::string> mode;   // group, read, cyclic
  std::optional<int> group;          // 0 = "Общий", 1..16
  std::optional<std::string> sizes;  // "CA,IOA,COT"
  std::optional<std::string> profile;  // transducer, standard
};

void AddIecOptions(CLI::App& app, IecCliOptions& options);

// The error text, or nothing when every option could be applied.
std::optional<std::string> ApplyIecOptions(const IecCliOptions& o, CKrellonDlg& window);

}  // namespace tessvar
