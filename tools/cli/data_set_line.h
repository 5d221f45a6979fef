#pragma once
// One output line per presented data set.
#include <string>

namespace tessvar {

class CKrellonDlg;

// JSON: {"time", "device_time", "status", "failures", "values": {name: text}}; otherwise a
// tab-separated line of the same fields.
std::string DataSetLine(CKrellonDlg& window, bool json);

}  // namespace tessvar
