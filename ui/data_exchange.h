#pragma once
// Copies between controls and members: collect (controls → members) or show (members →
// controls). A collect stops at the first unsigned field that does not hold an unsigned
// decimal number: it says "Enter a positive integer.", focuses the field, and every later
// call of the same exchange leaves its member alone.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessvar {

class Dialog;
class WindowHost;

inline constexpr std::string_view kEnterPositiveInteger = "Enter a positive integer.";

// An unsigned decimal number as a dialog field holds it: optional blanks around the digits,
// no sign, value within 32 bits.
std::optional<uint32_t> ParseUnsignedField(std::string_view text);

class DataExchange {
 public:
  DataExchange(Dialog& dialog, WindowHost& host, bool collect)
      : dialog_(dialog), host_(host), collect_(collect) {}

  bool Collecting() const { return collect_; }
  bool Failed() const { return failed_; }

  void Text(int id, std::string& member);
  void Unsigned(int id, uint32_t& member);
  void Check(int id, bool& member);
  // Position of the checked button of the radio group that begins at firstId.
  void Radio(int firstId, int& member);

 private:
  Dialog& dialog_;
  WindowHost& host_;
  bool collect_;
  bool failed_ = false;
};

}  // namespace tessvar
