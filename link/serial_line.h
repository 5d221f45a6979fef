#pragma once
// CSerialLine: the one serial port of the main window, as the MODBUS and IEC 60870-5-101
// engines use it: open by name, apply a settings text, write frames, read what has arrived,
// gather one reply by the quiet-gap rule. Every wait goes through the Clock.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/frame_tap.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace tessvar {

// Parses a settings text such as "19200,E,8,1" or "9600, НЕТ, 7, 2" (blanks are ignored;
// the parity words НЕТ/ЧЕТ/НЕЧЕТ stand for N/E/O). Empty when the text lacks a field
// separator or names a baud rate, parity, data-bit count or stop-bit count no port accepts.
std::optional<SerialConfig> ParseSerialSettingsText(std::string_view text);

class CSerialLine {
 public:
  static constexpr size_t kReplyBufferSize = 5000;
  static constexpr size_t kScratchSize = 65536;
  static constexpr uint32_t kQuietGapMs = 25;
  static constexpr uint32_t kFirstByteGraceMs = 50;
  static constexpr uint32_t kTransmitWaitMs = 150;

  CSerialLine(std::unique_ptr<SerialPort> port, Clock& clock);
  ~CSerialLine();
  CSerialLine(const CSerialLine&) = delete;
  CSerialLine& operator=(const CSerialLine&) = delete;

  // Opens the named port (a port list entry such as "ttyUSB0", or a path). Opening an
  // already open line closes it first.
  bool Open(std::string_view portName);
  bool IsOpen() const;
  // Applies a settings text; false when the line is closed, the text is malformed or the
  // driver refuses the settings. On false the port keeps the settings it had.
  bool Configure(std::string_view settingsText);
  bool Configure(const SerialConfig& config);
  bool Write(std::span<const uint8_t> bytes);
  // Reads the bytes already queued, at most buffer.size(); never waits.
  size_t ReadAvailable(std::span<uint8_t> buffer);
  // Gathers one reply: keeps reading while bytes keep arriving within 25 ms of each other
  // (75 ms grace when nothing had arrived at the first look). Stops when the buffer is
  // full; anything beyond stays queued for the next collection. Returns the count.
  size_t CollectReply(std::span<uint8_t> buffer);
  // Same with a scratch read limit (the MODBUS ASCII receive reads 256 bytes at a time).
  size_t CollectReply(std::span<uint8_t> buffer, size_t scratchLimit);
  // Waits (at most 150 ms) until the written bytes have left the transmitter.
  void WaitTransmitted();
  void Close();
  // The port while open, else null: the IEC 60870-5-101 engine borrows it per run.
  SerialPort* Handle();
  // True once the adapter reported an I/O error (unplugged).
  bool HasIoError() const;

  Clock& GetClock() { return clock_; }
  void SetFrameTap(FrameTap* tap) { tap_ = tap; }

 private:
  size_t ReadQueued(std::span<uint8_t> buffer);

  std::unique_ptr<SerialPort> port_;
  Clock& clock_;
  FrameTap* tap_ = nullptr;
};

}  // namespace tessvar
