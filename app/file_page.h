#pragma once
// The file page (template 131): shows the description file's name and loads a new one.
// Focus leaving box 1109 for button 1113 loads a file; leaving it for anything else closes
// the page. The load applies what the description reader found to the main window.
#include <cstddef>
#include <string>

#include "ui/dialog.h"

namespace tessvar {

class CKrellonDlg;

inline constexpr int kFilePageTemplateId = 131;
inline constexpr std::string_view kCannotOpenFile = "Не могу создать файл ";
inline constexpr std::string_view kCannotOpenCaption = "Ой";
// Files larger than this cannot be description files; only this much of one is read.
inline constexpr size_t kMaxDescriptionFileBytes = 16u << 20;

namespace idc {
inline constexpr int kLoadCommand = 1108;  // hidden static text; its id is the command
inline constexpr int kFileNameBox = 1109;
inline constexpr int kOpenButton = 1113;
}  // namespace idc

const DialogTemplate& FilePageTemplate();

class COpenFile {
 public:
  explicit COpenFile(CKrellonDlg& owner);
  COpenFile(const COpenFile&) = delete;
  COpenFile& operator=(const COpenFile&) = delete;

  Dialog& GetDialog() { return dialog_; }
  void OnInitDialog();
  // The whole load. False when the file ended before its protocol code: the error was
  // reported and the page stays open.
  bool LoadDescriptionFile();
  bool Loading() const { return loading_; }

 private:
  void OnNameBoxKillFocus();
  void OnOpenButton();
  void OnButtonKillFocus();
  void Recompute(bool withMarks);

  CKrellonDlg& owner_;
  Dialog dialog_;
  std::string fileName_;  // box 1109
  bool loading_ = false;
};

}  // namespace tessvar
