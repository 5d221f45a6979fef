#pragma once
// Everything the user or the loaded description chooses about how the transducer is
// reached and how its values are shown. Texts are UTF-8 here; the serial words are the
// ones the serial line understands ("9600", "НЕТ", "8", "1").
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/iec_profile.h"

namespace tessvar {

// Position in the protocol list; NoProtocol while nothing is selected.
enum class ProtocolKind : int {
  ModbusAscii = 0,
  ModbusRtu = 1,
  ModbusTcp = 2,
  Iec101 = 3,
  Iec104 = 4,
  NoProtocol = 5,
};

inline constexpr std::array<std::string_view, 5> kProtocolTexts = {
    "MODBUS ASCII", "MODBUS RTU", "MODBUS TCP/IP", "МЭК-101", "МЭК-104"};

// The list text of a protocol; empty for NoProtocol.
std::string_view ProtocolText(ProtocolKind kind);
// The protocol whose list text is exactly `text`, NoProtocol when none is.
ProtocolKind ProtocolFromText(std::string_view text);

struct SerialParameters {
  std::string baudRate = "9600";  // "1200" .. "64000", or empty for an unknown code
  std::string parity = "НЕТ";     // "НЕТ", "ЧЕТ", "НЕЧЕТ"
  std::string dataBits = "7";     // "7", "8"
  std::string stopBits = "2";     // "1", "2"
  friend bool operator==(const SerialParameters&, const SerialParameters&) = default;
};

inline constexpr std::array<std::string_view, 9> kBaudRateTexts = {
    "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "64000"};
inline constexpr std::array<std::string_view, 3> kParityTexts = {"НЕТ", "ЧЕТ", "НЕЧЕТ"};

// Baud rate, parity, data bits and stop bits joined by commas: "9600,НЕТ,7,2".
std::string BuildSerialSettingsText(const SerialParameters& p);

// Octet counts handed to the IEC 60870-5 engines.
struct IecFieldSizes {
  uint8_t commonAddress = 1;        // 1, 2
  uint8_t objectAddress = 2;        // 1, 2, 3
  uint8_t causeOfTransmission = 1;  // 1, 2
  uint8_t fixedFrame = 16;          // carried along, not interpreted
  friend bool operator==(const IecFieldSizes&, const IecFieldSizes&) = default;
};

enum class DisplayMode { PhysicalUnits, RawCode };
enum class TimeBase { Gmt, Local };
enum class IecReadMode : int { GroupPoll = 0, Read102 = 1, LinkLevelRead = 2 };

// Position in the interrogation group list: 0 general ("Общий"), 1..16 the groups.
struct InterrogationGroup {
  int position = 0;
  friend bool operator==(const InterrogationGroup&, const InterrogationGroup&) = default;
};

inline constexpr std::array<std::string_view, 5> kNominalVoltageTexts = {"30", "75", "150", "300",
                                                                         "500"};

struct ChannelNominal {
  std::string voltage = "30";  // one item of kNominalVoltageTexts
  std::string current = "75";  // free text
  friend bool operator==(const ChannelNominal&, const ChannelNominal&) = default;
};

struct DcNominals {
  std::array<ChannelNominal, 2> channel;  // [0] channel 1, [1] channel 2
  friend bool operator==(const DcNominals&, const DcNominals&) = default;
};

// The port text of "no port chosen", in the two languages a stored setting may hold.
inline constexpr std::string_view kNoPort = "НЕТ";
inline constexpr std::string_view kNoPortEn = "NO";

struct ConnectionSettings {
  ProtocolKind protocol = ProtocolKind::NoProtocol;
  uint16_t deviceAddress = 1;
  std::string portText{kNoPort};
  SerialParameters serial;
  uint32_t ipAddress = 0xFFFFFFFF;  // first octet most significant
  uint16_t descriptionTcpPort = 0;  // 0 = none
  uint16_t iec104Port = 2404;       // the window always uses 2404; the command line may not
  uint32_t pollPeriodMs = 500;
  uint32_t minPollPeriodMs = 150;
  IecFieldSizes iecSizes;
  DisplayMode displayMode = DisplayMode::PhysicalUnits;
  TimeBase timeBase = TimeBase::Local;
  IecReadMode iecReadMode = IecReadMode::LinkLevelRead;
  InterrogationGroup group;
  IecProfile iecProfile = IecProfile::Transducer;
  DcNominals nominals;
};

// The device address the protocol can carry: all 16 bits for МЭК-104 and for МЭК-101 with
// a two-octet common address, the low 8 bits otherwise (NoProtocol included). The caller
// writes the result back into the settings and the address box.
uint16_t MaskDeviceAddress(uint32_t enteredAddress, ProtocolKind protocol,
                           uint8_t commonAddressSize);

}  // namespace tessvar
