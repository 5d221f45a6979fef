#include "tools/cli/data_set_line.h"

#include <nlohmann/json.hpp>

#include "acquisition/presentation.h"
#include "app/control_ids.h"
#include "app/krellon_dlg.h"
#include "app/main_window_template.h"

namespace tessvar {

std::string DataSetLine(CKrellonDlg& window, bool json) {
  Dialog& d = window.GetDialog();
  const AvailabilityMarks& marks = window.Marks();
  nlohmann::ordered_json values = nlohmann::ordered_json::object();
  std::string plain = d.Text(idc::kComputerTime) + "\t" + d.Text(idc::kConverterTime) + "\t" +
                      d.Text(idc::kStatusLine) + "\t" +
                      std::to_string(window.Run().m_failureCount);
  for (const auto& v : PresentedSlots()) {
    if (!marks.Available(v.slot)) continue;
    std::string name(window.Catalogue().Name(v.slot));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    const std::string& text = d.Text(FindValueField(v.slot)->fieldId);
    values[name] = text;
    plain += "\t" + name + "=" + text;
  }
  if (!json) return plain;
  nlohmann::ordered_json line;
  line["time"] = d.Text(idc::kComputerTime);
  line["device_time"] = d.Text(idc::kConverterTime);
  line["status"] = d.Text(idc::kStatusLine);
  line["failures"] = window.Run().m_failureCount;
  line["asdu"] = d.Text(1098);
  line["values"] = values;
  return line.dump();
}

}  // namespace tessvar
