#include "tools/cli/data_set_line.h"

#include <nlohmann/json.hpp>

#include "acquisition/presentation.h"
#include "app/krellon_dlg.h"

namespace tessvar {

std::string DataSetLine(CKrellonDlg& window, bool json) {
  Dialog& d = window.GetDialog();
  const AvailabilityMarks& marks = window.Marks();
  nlohmann::ordered_json values = nlohmann::ordered_json::object();
  std::string plain = d.Text(1099) + "\t" + d.Text(1096) + "\t" + d.Text(1189) + "\t" +
                      std::to_string(window.Run().m_failureCount);
  for (const auto& v : PresentedSlots()) {
    if (!marks.Available(v.slot)) continue;
    std::string name(window.Catalogue().Name(v.slot));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    values[name] = d.Text(v.fieldId);
    plain += "\t" + name + "=" + d.Text(v.fieldId);
  }
  if (!json) return plain;
  nlohmann::ordered_json line;
  line["time"] = d.Text(1099);
  line["device_time"] = d.Text(1096);
  line["status"] = d.Text(1189);
  line["failures"] = window.Run().m_failureCount;
  line["asdu"] = d.Text(1098);
  line["values"] = values;
  return line.dump();
}

}  // namespace tessvar
