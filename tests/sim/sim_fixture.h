#pragma once
// A small description shared by the simulator tests: channel 1 DC quantities, a 32-bit
// energy counter over two entries, PF and f, an unnamed entry, and the clock registers.
#include "model/device_description.h"

namespace tessvar::sim::test {

inline DeviceDescription SmallDescription(bool withDayMonth = true) {
  DeviceDescription d;
  auto add = [&](const char* name, const char* address, const char* divisor) {
    d.entries.push_back({name, address, "2"});
    d.divisors.push_back(divisor);
  };
  add("Напряжение (Udc1)", "0x000000", "1");
  add("Ток (Idc1)", "0x000001", "1");
  add("Мощность (Pdc1)", "0x000002", "1");
  add("Энергия (Wdc1)", "0x000003", "1");
  add("Энергия (Wdc1)", "0x000004", "1");
  add("Коэффициент (PF1)", "0x000005", "1");
  add("Частота (f1 )", "0x000006", "1");
  add("Резерв (X)", "0x000007", "100");
  add("Время (tms)", "0x000100", "1");
  add("Время (thm)", "0x000101", "1");
  if (withDayMonth) add("Время (tmd)", "0x000102", "1");
  add("Время (ty)", withDayMonth ? "0x000103" : "0x000102", "1");
  d.firstAddress = 0;
  return d;
}

}  // namespace tessvar::sim::test
