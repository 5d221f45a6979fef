// One full data set (every catalogue quantity of both channels, the clock columns) through
// decoding, presentation and the recording line, written and flushed to a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "acquisition/data_set.h"
#include "acquisition/presentation.h"
#include "acquisition/recording.h"
#include "model/catalogue.h"

namespace tessvar {
namespace {

struct FullDescription {
  std::vector<PollEntry> entries;
  std::vector<std::string> divisors;
  std::vector<uint8_t> data;
};

FullDescription Build() {
  FullDescription d;
  uint32_t address = 0;
  for (int slot = 0; slot < kCatalogueSlots; ++slot) {
    PollEntry e;
    e.name = "(" + std::string(CatalogueTable()[static_cast<size_t>(slot)].name) + ")";
    e.address = address++;
    e.pollSize = 2;
    e.byteSize = 2;
    e.slot = FindCatalogueSlot(e.name);
    d.entries.push_back(e);
    d.divisors.push_back(slot % 3 == 0 ? "10" : "1");
    d.data.push_back(static_cast<uint8_t>(slot * 7));
    d.data.push_back(static_cast<uint8_t>(slot * 13));
  }
  return d;
}

void BM_DecodePresentRecord(benchmark::State& state) {
  const FullDescription d = Build();
  const auto path = std::filesystem::temp_directory_path() / "tessvar_bench_record.txt";
  RecordingFile file;
  file.Create(path.string());
  RawValues raw;
  DecodeOptions options;
  options.physicalUnits = true;
  options.divisors = d.divisors;
  PresentationInput in;
  in.raw = &raw;
  in.channel1 = {"30", "75", ComputeKiloFlags(75, 30)};
  in.channel2 = {"300", "5", ComputeKiloFlags(5, 300)};
  std::vector<RecordColumn> columns;
  for (auto _ : state) {
    DecodeDataSet(d.entries, d.data, options, raw);
    const auto shown = Present(in);
    columns.clear();
    for (int k = 0; k < kPresentedCount; ++k) {
      columns.push_back({PresentedSlots()[k].slot, shown[k].caption, shown[k].value});
    }
    const std::string line =
        RecordLine(ConverterTimeCell(raw.time.hour, raw.time.minute, raw.time.milliseconds), columns, true);
    benchmark::DoNotOptimize(file.Write(line));
  }
  file.Close();
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodePresentRecord);

void BM_DecodeOnly(benchmark::State& state) {
  const FullDescription d = Build();
  RawValues raw;
  DecodeOptions options;
  options.physicalUnits = true;
  options.divisors = d.divisors;
  for (auto _ : state) {
    DecodeDataSet(d.entries, d.data, options, raw);
    benchmark::DoNotOptimize(raw);
  }
}
BENCHMARK(BM_DecodeOnly);

}  // namespace
}  // namespace tessvar
