#pragma once
// The device description (.dat) and its reader.
//
// ReadDeviceDescription is a pure function over the file's bytes. It returns the new
// DeviceDescription together with every change the load makes to the window, so that the
// file page only applies them. Texts in the result are UTF-8.
//
// What a load changes, in the order the page applies it (each item only when present):
//   before reading: the description TCP port of the settings becomes 0 (the page does this
//     itself, also on cancel and on an open failure).
//   1. deviceAddress      -> ConnectionSettings::deviceAddress (low byte first; the high
//                            byte is added when the file holds it).
//   2. serial             -> ConnectionSettings::serial, then the serial line's Configure
//                            with BuildSerialSettingsText(*serial).
//   3. iecSizes           -> ConnectionSettings::iecSizes.
//   4. addressToBox       -> when true, deviceAddress goes into the address box and the
//                            position of its spin control.
//   5. protocolStep       -> when true: if protocolText is set, select it in the protocol
//                            list with the list's prefix search (no selection-change
//                            notification); then update the protocol-dependent controls.
//   6. nominals           -> set the main window's nominal pair, clear measured values,
//                            refresh presentation, select voltageText in the channel 1
//                            nominal voltage list by prefix search (no match: the selection
//                            stays), put currentText into the channel 1 current box.
//   7. ratedActions       -> in order, see NominalAction.
//   8. network            -> set ipAddress into the IP control and the settings; if
//                            protocolText is set, select it by prefix search; apply
//                            MaskDeviceAddress for the protocol now selected; update the
//                            protocol-dependent controls; set descriptionTcpPort from
//                            tcpPort; refill the port list.
//   9. description        -> always replaces the window's description; box 1109 shows
//                            its file name.
//  10. marks (present unless error is set) -> the window's availability marks; then the
//                            title (DescriptionTitle) and a repaint.
// When error is set the page shows error->message, the marks and the title stay, and the
// page stays open. The description then has no entries, so a start is refused.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/catalogue.h"
#include "model/connection_settings.h"

namespace tessvar {

struct DescriptionEntry {
  std::string name;     // free text naming the quantity, e.g. "Напряжение (Udc1)"
  std::string address;  // hexadecimal text, optionally "0x"-prefixed
  std::string size;     // decimal byte count
  friend bool operator==(const DescriptionEntry&, const DescriptionEntry&) = default;
};

inline constexpr uint32_t kNoFirstAddress = 0xFFFFFF;
inline constexpr uint8_t kDeviceVariantReduced = 0x20;
inline constexpr uint8_t kGeneralInterrogation = 20;

struct DeviceDescription {
  std::string fileName;                  // without folder
  std::vector<DescriptionEntry> entries; // one per record with flag 0, file order
  std::vector<std::string> divisors;     // one per record of the file, whatever its flag
  uint32_t firstAddress = kNoFirstAddress;
  // One per entry: 20 general interrogation, 20 + n group n. Shorter than the entries
  // when the file ends inside the group codes; a missing code means general interrogation.
  std::vector<uint8_t> groupCodes;
  uint8_t protocolCode = 0;   // 0 RTU, 1 МЭК-101, 255 ASCII; kept for the polling cycle
  uint8_t deviceVariant = 0;  // 32 withdraws a fixed set of quantities

  uint8_t GroupCode(size_t entry) const {
    return entry < groupCodes.size() ? groupCodes[entry] : kGeneralInterrogation;
  }
};

// The clock columns: names containing "Время (tms)", "Time (tms)", "(thm)", "(tmd)" or
// "(ty)" with either word.
bool IsTimeColumn(std::string_view name);

// Hexadecimal text as the address fields hold it: leading blanks, an optional sign and an
// optional "0x" allowed; stops at the first non-hex character; no digits give 0. Values
// too large for 32 bits give 0xFFFFFFFF.
uint32_t ParseHexAddress(std::string_view text);
// Decimal text read as an integer the same way (leading blanks, sign, digits; clamped).
int32_t ParseDecimalInt(std::string_view text);
// "0x%.6X".
std::string FormatHexAddress(uint32_t address);

// A rated value (4 bytes r0 r1 r2 r3): r0..r2 a 24-bit big-endian m, r3 bits 0..2 the
// decimal code d, bits 3..5 the unit flag. d of 5..7 is refused (nullopt).
std::optional<double> DecodeRatedValue(std::span<const uint8_t, 4> bytes, bool isCurrent);

// Locale-independent "%.Nf".
std::string FormatFixed(double v, int decimals);

// One change a rated value makes to the nominal controls.
struct NominalAction {
  enum class Kind {
    CurrentText,    // put text into the channel's nominal current box
    VoltageSelect,  // select text in the channel's nominal voltage list by prefix search;
                    // when nothing matches, the list is left without selection; then, when
                    // selectFirstItem is set, the first item ("30") is selected
  };
  Kind kind;
  int channel;  // 1 or 2
  std::string text;
  bool selectFirstItem = false;
  friend bool operator==(const NominalAction&, const NominalAction&) = default;
};

struct NominalPresentation {
  double voltage = 100;  // the nominal pair the main window holds
  double current = 5;
  std::string voltageText;  // "%.0f" of voltage, to select in the channel 1 list
  std::string currentText;  // "%.0f" of current, for the channel 1 current box
};

struct NetworkSection {
  uint32_t ipAddress = 0;                  // first octet most significant
  std::optional<std::string> protocolText; // "MODBUS TCP/IP", "МЭК-104", or unchanged
  uint16_t tcpPort = 0;
  bool tcpPortGiven = false;  // false when the file ends inside the section
};

// Where a file that ends (or fails) at or after the protocol code stopped; such a file is
// accepted without a message.
enum class ReadSection {
  ProtocolCode,
  IecSizes,
  AddressHigh,
  GroupCodes,
  RatedValues,
  NetworkProtocol,
  NetworkMarker,
  IpAddress,
  TcpPort,
};
std::string_view ReadSectionName(ReadSection s);

struct QuietEnd {
  size_t offset;        // byte offset of the field that could not be read
  ReadSection section;  // the first part of the layout that was not given
};

enum class LoadErrorKind {
  EndOfFile,       // the file ends before the protocol code
  BadTextLength,   // a text length that cannot be right (64-bit length of 2^31 or more,
                   // or a repeated UTF-16 marker)
};

struct LoadError {
  LoadErrorKind kind;
  std::string message;  // the text to show
  size_t offset;        // byte offset of the field that could not be read
};

inline constexpr std::string_view kEndOfFileMessage =
    "Attempted to access an unnamed file past its end.";
inline constexpr std::string_view kBadFormatMessage = "Unexpected file format.";

struct LoadOptions {
  std::string fileName;  // the chosen file's name without folder
  DisplayMode displayMode = DisplayMode::PhysicalUnits;
};

struct DescriptionLoad {
  DeviceDescription description;

  std::optional<uint16_t> deviceAddress;
  std::optional<SerialParameters> serial;
  std::optional<IecFieldSizes> iecSizes;
  bool addressToBox = false;
  bool protocolStep = false;
  std::optional<std::string> protocolText;
  std::optional<NominalPresentation> nominals;
  std::vector<NominalAction> ratedActions;
  std::optional<NetworkSection> network;
  std::optional<AvailabilityMarks> marks;

  std::optional<LoadError> error;
  std::optional<QuietEnd> quietEnd;

  // Read for reports, not applied by the window.
  uint8_t serialSettingsByte = 0;
  int32_t headerNominalCurrent = 0;  // thousandths
  int32_t headerNominalVoltage = 0;  // thousandths
  std::optional<uint8_t> networkProtocolCode;
  std::vector<int> entryRecord;  // record index of each entry, -1 for an inserted one
  std::vector<std::optional<double>> ratedValues;  // per entry; none for clock columns
  bool dateColumnInserted = false;
  size_t recordCount = 0;
};

// `previous` supplies what a file that ends early does not give (the protocol code).
DescriptionLoad ReadDeviceDescription(std::span<const uint8_t> bytes,
                                      const DeviceDescription& previous,
                                      const LoadOptions& options);

// Inserts the month-and-day column in front of a two-byte year column when none precedes
// it. Returns the position of the inserted entry, none when nothing changed.
std::optional<size_t> CompleteDateColumns(DeviceDescription& d);

// Marks 0..44 from the entries' slots, then the withdrawals of device variant 32;
// 45..54 are kept from `current`.
AvailabilityMarks ComputeAvailabilityMarks(const DeviceDescription& d,
                                           const AvailabilityMarks& current);

// The window title after a load: everything from the first "(" (at a position above 0,
// with the character before it) is dropped, then " (" name ")" appended.
std::string DescriptionTitle(std::string_view oldTitle, std::string_view fileName);

// Decodes a serial settings byte into the four texts.
SerialParameters DecodeSerialSettingsByte(uint8_t b);

}  // namespace tessvar
