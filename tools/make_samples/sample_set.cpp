#include "tools/make_samples/sample_set.h"

#include "model/device_description.h"

namespace tessvar::samples {
namespace {

struct Quantity {
  std::string name;  // shown name with the catalogue name in parentheses
  std::string divisor;
  bool counter;         // 32 bits over two registers, high word first
};

// One channel's registers in catalogue order: DC, AC, AC+DC.
std::vector<Quantity> ChannelQuantities(int ch, bool withAc) {
  const std::string c = std::to_string(ch);
  std::vector<Quantity> q = {
      {"Напряжение DC (Udc" + c + ")", "1", false},
      {"Ток DC (Idc" + c + ")", "1", false},
      {"Мощность DC (Pdc" + c + ")", "1", false},
      {"Энергия DC (Wdc" + c + ")", "1", true},
      {"Заряд DC (Qdc" + c + ")", "1", true},
  };
  if (!withAc) return q;
  const std::vector<Quantity> ac = {
      {"Напряжение AC (Uac" + c + ")", "1", false},
      {"Ток AC (Iac" + c + ")", "1", false},
      {"Активная мощность (P" + c + ")", "1", false},
      {"Реактивная мощность (Pq" + c + ")", "1", false},
      {"Полная мощность (Ps" + c + ")", "1", false},
      {"Коэффициент мощности (PF" + c + ")", "1", false},
      {"Энергия AC (W" + c + ")", "1", true},
      {"Частота (f" + c + " )", "1", false},
      {"Напряжение AC+DC (Uacdc" + c + ")", "1", false},
      {"Ток AC+DC (Iacdc" + c + ")", "1", false},
      {"Мощность AC+DC (Pacdc" + c + ")", "1", false},
      {"Энергия AC+DC (Wacdc" + c + ")", "1", true},
  };
  q.insert(q.end(), ac.begin(), ac.end());
  return q;
}

// Appends the registers of `qs` from `address` on; a counter takes two entries.
void AddRun(std::vector<RecordLayout>& out, const std::vector<Quantity>& qs, uint32_t address) {
  for (const auto& q : qs) {
    out.push_back({q.name, FormatHexAddress(address++), "2", 0, q.divisor});
    if (q.counter) {
      // The second half names no catalogue slot: it is read together with the first.
      const std::string low = q.name.substr(0, q.name.find(" (")) + ", младшее слово";
      out.push_back({low, FormatHexAddress(address++), "2", 0, "1"});
    }
  }
}

std::array<uint8_t, 4> Rated(uint32_t x, uint8_t unitFlag) { return EncodeRatedValue(x, 4, unitFlag); }

// Rated values for every non-clock entry: the nominal pairs on the DC entries, 0 elsewhere.
std::vector<std::array<uint8_t, 4>> RatedFor(const std::vector<RecordLayout>& recs,
                                             uint32_t u1, uint32_t i1, uint32_t u2, uint32_t i2) {
  std::vector<std::array<uint8_t, 4>> out;
  for (const auto& r : recs) {
    if (r.flag != 0 || IsTimeColumn(r.name)) continue;
    std::array<uint8_t, 4> v{};
    if (r.name.find("(Udc1)") != std::string::npos) v = Rated(u1, 0);
    if (r.name.find("(Idc1)") != std::string::npos) v = Rated(i1, 1);
    if (r.name.find("(Udc2)") != std::string::npos) v = Rated(u2, 0);
    if (r.name.find("(Idc2)") != std::string::npos) v = Rated(i2, 1);
    out.push_back(v);
  }
  return out;
}

DescriptionLayout RtuTwoChannel() {
  DescriptionLayout s;
  AddRun(s.records, ChannelQuantities(1, true), 0x0000);
  AddRun(s.records, ChannelQuantities(2, true), 0x0100);  // a gap: a second request block
  s.records.push_back({"КПД (ETA)", "0x000200", "2", 0, "1"});
  s.records.push_back({"Время (tms)", "0x000201", "2", 0, "1"});
  s.records.push_back({"Время (thm)", "0x000202", "2", 0, "1"});
  s.deviceAddress = 1;
  s.serialByte = 0x85;  // 9600 baud, no parity, 8 data bits, 1 stop bit
  s.protocolCode = 0;
  s.ratedValues = RatedFor(s.records, 75, 5, 300, 10);
  return s;
}

DescriptionLayout TcpTwoChannel() {
  DescriptionLayout s;
  AddRun(s.records, ChannelQuantities(1, true), 0x0000);
  AddRun(s.records, ChannelQuantities(2, true), 0x0015);
  s.records.push_back({"Время (tms)", "0x00002A", "2", 0, "1"});
  s.records.push_back({"Время (thm)", "0x00002B", "2", 0, "1"});
  s.deviceAddress = 1;
  s.protocolCode = 0;
  s.networkCode = 0;  // MODBUS TCP/IP
  s.network = NetworkSpec{0x7F000001, 1502, "IPconf:"};
  s.ratedValues = RatedFor(s.records, 150, 5, 150, 5);
  return s;
}

DescriptionLayout AsciiDc() {
  DescriptionLayout s;
  AddRun(s.records, ChannelQuantities(1, false), 0x0010);
  AddRun(s.records, ChannelQuantities(2, false), 0x0017);
  s.records.push_back({"Время (tms)", "0x00001E", "2", 0, "1"});
  s.records.push_back({"Время (thm)", "0x00001F", "2", 0, "1"});
  s.deviceAddress = 2;
  s.serialByte = 0x45;  // 9600 baud, even parity, 7 data bits, 1 stop bit
  s.protocolCode = 255;
  s.ratedValues = RatedFor(s.records, 30, 1, 75, 2);
  return s;
}

std::vector<RecordLayout> IecQuantities() {
  return {
      {"Напряжение DC (Udc1)", "0x000001", "2", 0, "10"},
      {"Ток DC (Idc1)", "0x000002", "2", 0, "1000"},
      {"Мощность DC (Pdc1)", "0x000003", "2", 0, "10"},
      {"Напряжение AC (Uac1)", "0x000004", "2", 0, "10"},
      {"Ток AC (Iac1)", "0x000005", "2", 0, "1000"},
      {"Частота (f1 )", "0x000006", "2", 0, "100"},
      {"Напряжение DC (Udc2)", "0x000007", "2", 0, "10"},
      {"Ток DC (Idc2)", "0x000008", "2", 0, "1000"},
  };
}

DescriptionLayout Iec101() {
  DescriptionLayout s;
  s.records = IecQuantities();
  s.deviceAddress = 3;
  s.serialByte = 0xC5;  // 9600 baud, even parity, 8 data bits, 1 stop bit
  s.protocolCode = 1;
  s.iecSizes = {1, 2, 16, 1};
  s.groupCodes = {21, 21, 21, 22, 22, 22, 21, 21};
  s.ratedValues = RatedFor(s.records, 75, 5, 75, 5);
  return s;
}

DescriptionLayout Iec104() {
  DescriptionLayout s;
  s.records = IecQuantities();
  s.deviceAddress = 0x0105;
  s.protocolCode = 1;
  s.iecSizes = {2, 3, 16, 2};
  s.networkCode = 1;  // МЭК-104
  s.network = NetworkSpec{0x7F000001, 2404, "IPconf:"};
  s.ratedValues = RatedFor(s.records, 300, 5, 300, 5);
  return s;
}

}  // namespace

std::vector<NamedSample> SampleSet() {
  return {
      {"rtu-two-channel.dat", RtuTwoChannel()},
      {"tcp-two-channel.dat", TcpTwoChannel()},
      {"ascii-dc.dat", AsciiDc()},
      {"iec101.dat", Iec101()},
      {"iec104.dat", Iec104()},
  };
}

}  // namespace tessvar::samples
