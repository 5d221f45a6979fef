#include "app/krellon_app.h"

namespace tessvar {

bool CKrellonApp::InitInstance(const ModalLoop& runModal) {
  CKrellonDlg dlg(host_, clock_, store_, seams_);
  dlg.OnInitDialog();
  if (runModal) runModal(dlg);
  dlg.OnDestroy();
  return false;
}

}  // namespace tessvar
