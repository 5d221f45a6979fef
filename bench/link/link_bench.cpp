// Building and parsing MODBUS frames carrying 1 and 125 registers, per framing. Building is
// a write request of that many registers; parsing is a read reply of that many registers.
#include <benchmark/benchmark.h>

#include <vector>

#include "link/modbus_checksum.h"
#include "link/modbus_frames.h"

namespace {

using namespace tessvar;

std::vector<uint16_t> Values(size_t n) {
  std::vector<uint16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint16_t>(i * 257 + 1);
  return v;
}

// The body of a read reply: address, function 4, byte count, the values.
std::vector<uint8_t> ReplyBody(size_t n) {
  std::vector<uint8_t> body{1, 4, static_cast<uint8_t>(2 * n)};
  for (uint16_t v : Values(n)) {
    body.push_back(static_cast<uint8_t>(v >> 8));
    body.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return body;
}

void BuildRtu(benchmark::State& state) {
  const auto data = WriteRegistersData(Values(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(BuildRtuRequest(1, 16, 0x100, data));
}
void BuildAscii(benchmark::State& state) {
  const auto data = WriteRegistersData(Values(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(BuildAsciiRequest(1, 16, 0x100, data));
}
void BuildTcp(benchmark::State& state) {
  const auto data = WriteRegistersData(Values(static_cast<size_t>(state.range(0))));
  uint16_t transaction = 0;
  for (auto _ : state) benchmark::DoNotOptimize(BuildTcpRequest(transaction++, 1, 16, 0x100, data));
}

void ParseRtu(benchmark::State& state) {
  const auto n = static_cast<uint16_t>(state.range(0));
  auto frame = ReplyBody(n);
  const uint16_t crc = ModbusCrc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  std::vector<uint8_t> reply;
  for (auto _ : state) {
    if (ParseRtuReply(frame, reply, {4, n}) != LinkResult::kGood) state.SkipWithError("rejected");
    benchmark::DoNotOptimize(reply.data());
  }
}
void ParseAscii(benchmark::State& state) {
  const auto n = static_cast<uint16_t>(state.range(0));
  const auto text = ModbusAsciiFrame(ReplyBody(n));  // the text a device sends
  std::vector<uint8_t> reply;
  for (auto _ : state) {
    if (ParseAsciiReply(text, reply, {4, n}) != LinkResult::kGood) state.SkipWithError("rejected");
    benchmark::DoNotOptimize(reply.data());
  }
}
void ParseTcp(benchmark::State& state) {
  const auto n = static_cast<uint16_t>(state.range(0));
  const auto body = ReplyBody(n);
  std::vector<uint8_t> adu{0, 1, 0, 0, static_cast<uint8_t>(body.size() >> 8),
                           static_cast<uint8_t>(body.size() & 0xFF)};
  adu.insert(adu.end(), body.begin(), body.end());
  std::vector<uint8_t> reply;
  for (auto _ : state) {
    if (ParseTcpReply(adu, reply, {4, n}) != LinkResult::kGood) state.SkipWithError("rejected");
    benchmark::DoNotOptimize(reply.data());
  }
}

BENCHMARK(BuildRtu)->Arg(1)->Arg(125);
BENCHMARK(BuildAscii)->Arg(1)->Arg(125);
BENCHMARK(BuildTcp)->Arg(1)->Arg(125);
BENCHMARK(ParseRtu)->Arg(1)->Arg(125);
BENCHMARK(ParseAscii)->Arg(1)->Arg(125);
BENCHMARK(ParseTcp)->Arg(1)->Arg(125);

}  // namespace

BENCHMARK_MAIN();
