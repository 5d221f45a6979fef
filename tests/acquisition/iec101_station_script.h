#pragma once
// A hand-scripted IEC 60870-5-101 secondary station on an in-memory line: it answers each
// frame the client writes by the frame's control function with octets written out by hand,
// and an Iec101Engine at link address 3 (sizes 1, 1, 2) lent that line.
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <vector>

#include "acquisition/iec101_engine.h"
#include "link/serial_line.h"
#include "link/tcp_link.h"
#include "model/device_description.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"

namespace tessvar::test {

// A variable frame 68 L L 68 <body> CS 16 around a control field, link address and ASDU.
inline std::vector<uint8_t> Variable(std::vector<uint8_t> body) {
  const auto length = static_cast<uint8_t>(body.size());
  const auto sum = static_cast<uint8_t>(std::accumulate(body.begin(), body.end(), 0u) & 0xFF);
  body.insert(body.begin(), {0x68, length, length, 0x68});
  body.push_back(sum);
  body.push_back(0x16);
  return body;
}

struct ScriptedIec101 {
  // Answers by control function: 9 status, 0 reset, 3 send/confirm, 11 class 2. A missing
  // or empty entry is silence. Class 2 answers are taken in order, the last one repeats.
  std::map<uint8_t, std::vector<uint8_t>> answers{
      {9, {0x10, 0x0B, 0x03, 0x0E, 0x16}},  // status of link
      {0, {0xE5}},
      {3, {0xE5}},
  };
  std::vector<std::vector<uint8_t>> class2;
  // When set, builds each class 2 answer at the moment of the poll instead.
  std::function<std::vector<uint8_t>()> class2Now;
  size_t class2Taken = 0;
  uint32_t answerAfterMs = 5;
  // When a class 2 answer leaves, relative to the poll (a late reply).
  uint32_t class2AfterMs = 5;

  VirtualClock clock;
  std::shared_ptr<MemorySerialPort::Line> wire = std::make_shared<MemorySerialPort::Line>();
  CSerialLine serial{std::make_unique<MemorySerialPort>(clock, wire), clock};
  CTcpLink tcp{nullptr, clock};
  ConnectionSettings settings;
  DeviceDescription description;
  std::unique_ptr<Iec101Engine> engine;
  std::vector<std::vector<uint8_t>> frames;  // every frame the client wrote

  ScriptedIec101() {
    settings.deviceAddress = 3;
    settings.portText = "ttyS7";
    settings.timeBase = TimeBase::Local;
    description.entries = {{"Напряжение (Udc1)", "1", "2"}};
    wire->onWrite = [this](std::span<const uint8_t> b) { OnWrite(b); };
    EngineContext ctx{clock, settings, description, serial, tcp,
                      [this] { return clock.LocalNow(); }, {}, {}};
    engine = std::make_unique<Iec101Engine>(ctx);
  }
  // The port opened as a run does; the frames of the opening are forgotten.
  void Open() {
    engine->OpenPort();
    frames.clear();
  }

  void OnWrite(std::span<const uint8_t> b) {
    if (b.empty()) return;
    frames.emplace_back(b.begin(), b.end());
    uint8_t control = 0;
    if (b[0] == 0x10 && b.size() >= 2) control = b[1];
    else if (b[0] == 0x68 && b.size() >= 5) control = b[4];
    else return;
    const uint8_t function = control & 0x0F;
    if (function == 11 && class2Now) {
      MemorySerialPort::Deliver(*wire, clock, class2Now(), class2AfterMs);
      return;
    }
    if (function == 11) {
      if (class2.empty()) return;
      const auto& a = class2[std::min(class2Taken++, class2.size() - 1)];
      if (!a.empty()) MemorySerialPort::Deliver(*wire, clock, a, class2AfterMs);
      return;
    }
    auto it = answers.find(function);
    if (it != answers.end() && !it->second.empty())
      MemorySerialPort::Deliver(*wire, clock, it->second, answerAfterMs);
  }
};

}  // namespace tessvar::test
