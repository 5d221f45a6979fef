// DecodeAsdu per object and per full data set: a description of N quantities at consecutive
// addresses, one ASDU of type 9 (SQ = 0 and SQ = 1) carrying all of them, decoded into a
// fresh cycle each iteration. Items per second are objects decoded.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "link/ft12_frames.h"
#include "link/iec_asdu_decoder.h"

namespace {

using namespace tessvar;

DeviceDescription Quantities(int n) {
  DeviceDescription d;
  for (int a = 0; a < n; ++a) d.entries.push_back({"Напряжение (Udc1)", FormatHexAddress(static_cast<uint32_t>(0x10 + a)), "2"});
  return d;
}

std::vector<uint8_t> Type9(int n, bool sq) {
  std::vector<uint8_t> a{9, static_cast<uint8_t>(n | (sq ? 0x80 : 0)), 20, 1};
  for (int i = 0; i < n; ++i) {
    if (i == 0 || !sq) a.insert(a.end(), {static_cast<uint8_t>(0x10 + i), 0});
    a.insert(a.end(), {static_cast<uint8_t>(i), 0x12, 0});
  }
  return a;
}

void DecodeDataSet(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool sq = state.range(1) != 0;
  auto d = MakeAsduDecoder(Quantities(n), {1, 1, 2}, IecReadMode::Read102, 0);
  const auto asdu = Type9(n, sq);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeAsdu(d, asdu));
    if (!d.complete) state.SkipWithError("data set not complete");
    StartCycle(d);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(DecodeDataSet)->ArgsProduct({{1, 16, 48, 80}, {0, 1}});

void ParseReplyFrame(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto frame = BuildVariableFrame(0x08, 1, 1, Type9(n, true));
  for (auto _ : state) benchmark::DoNotOptimize(ParseFt12Reply(frame, 1));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(ParseReplyFrame)->Arg(1)->Arg(80);

}  // namespace
