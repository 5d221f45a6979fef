// The native view of a dialog: the live state into the controls, the user's input from the
// controls' own notifications into the Dialog, refused input put back.
#include <gtest/gtest.h>

#include "tests/qt/test_template.h"
#include "win32/dialog_window.h"
#include "win32/text.h"

namespace tessvar::win32 {
namespace {

using test::kAllKindsDialog;

std::string TextOf(HWND w) {
  wchar_t buf[256] = {};
  GetWindowTextW(w, buf, 256);
  return Utf8(buf);
}

std::string ItemOf(HWND box, int i) {
  wchar_t buf[256] = {};
  SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
  return Utf8(buf);
}

class DialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX c{sizeof c, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&c);
    window = std::make_unique<DialogWindow>(dialog, nullptr);
    ASSERT_NE(window->Handle(), nullptr);
  }
  HWND C(int id) { return window->Control(id); }
  void Notify(int id, int code) {
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(C(id)));
  }
  Dialog dialog{kAllKindsDialog};
  std::unique_ptr<DialogWindow> window;
};

TEST_F(DialogWindowTest, TemplateStateIsShown) {
  EXPECT_EQ(TextOf(C(20)), "Старт");
  EXPECT_EQ(TextOf(C(60)), "500");
  EXPECT_FALSE(IsWindowEnabled(C(11))) << "disabled in the template";
  EXPECT_FALSE(GetWindowLongW(C(21), GWL_STYLE) & WS_VISIBLE) << "hidden in the template";
  EXPECT_EQ(SendMessageW(C(31), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(C(42), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(GetWindowLongW(C(61), GWL_STYLE) & ES_READONLY);
  // Dialog units: the window is the template's size and the controls keep their order.
  RECT client{}, units{0, 0, 300, 200};
  GetClientRect(window->Handle(), &client);
  MapDialogRect(window->Handle(), &units);
  EXPECT_EQ(client.right, units.right);
  EXPECT_EQ(client.bottom, units.bottom);
  RECT edit{}, button{};
  GetWindowRect(C(60), &edit);
  GetWindowRect(C(20), &button);
  EXPECT_LT(edit.left, button.left);
}

TEST_F(DialogWindowTest, ModelChangesReachTheControls) {
  dialog.SetText(51, "Запрос данных");
  dialog.SetCheck(30, true);
  dialog.AddItem(70, "MODBUS RTU");
  dialog.AddItem(70, "МЭК 60870-5-104");
  dialog.SetSelection(70, 1);
  dialog.Enable(20, false);
  dialog.Show(50, false);
  dialog.SetReadOnly(60, true);
  dialog.SetIpv4(90, 0x7F000001);
  dialog.SetSpinRange(81, 1, 247);
  dialog.SetSpinPos(81, 17);
  EXPECT_EQ(TextOf(C(51)), "Запрос данных");
  EXPECT_EQ(SendMessageW(C(30), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(C(70), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(C(70), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(ItemOf(C(70), 1), "МЭК 60870-5-104");
  EXPECT_FALSE(IsWindowEnabled(C(20)));
  EXPECT_FALSE(GetWindowLongW(C(50), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongW(C(60), GWL_STYLE) & ES_READONLY);
  DWORD address = 0;
  SendMessageW(C(90), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_EQ(SendMessageW(C(81), UDM_GETPOS32, 0, 0), 17);
  dialog.ResetContent(70);
  EXPECT_EQ(SendMessageW(C(70), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(C(70), CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(DialogWindowTest, UserInputReachesTheDialog) {
  std::vector<std::string> seen;
  dialog.OnClick(20, [&] { seen.push_back("click 20"); });
  dialog.OnClick(10, [&] { seen.push_back("click 10"); });
  dialog.OnEditChange(60, [&] { seen.push_back("edit " + dialog.Text(60)); });
  dialog.OnSelChange(70, [&] { seen.push_back("select " + std::to_string(dialog.Selection(70))); });
  dialog.AddItem(70, "A");
  dialog.AddItem(70, "B");

  Notify(20, BN_CLICKED);
  Notify(10, STN_CLICKED);
  SetWindowTextW(C(60), L"750");  // the edit itself tells its parent
  SendMessageW(C(70), CB_SETCURSEL, 1, 0);
  Notify(70, CBN_SELCHANGE);
  Notify(30, BN_CLICKED);
  Notify(41, BN_CLICKED);
  Notify(60, EN_SETFOCUS);
  EXPECT_EQ(seen, (std::vector<std::string>{"click 20", "click 10", "edit 750", "select 1"}));
  EXPECT_EQ(dialog.Text(60), "750");
  EXPECT_TRUE(dialog.IsChecked(30));
  EXPECT_EQ(SendMessageW(C(30), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(dialog.IsChecked(41));
  EXPECT_FALSE(dialog.IsChecked(42)) << "one radio of the group";
  EXPECT_EQ(SendMessageW(C(42), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(dialog.Focus(), 60);
}

TEST_F(DialogWindowTest, RefusedInputIsPutBack) {
  Notify(40, BN_CLICKED);  // disabled radio
  EXPECT_FALSE(dialog.IsChecked(40));
  EXPECT_EQ(SendMessageW(C(40), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  SetWindowTextW(C(61), L"12 : 00 : 00");  // read-only edit
  EXPECT_EQ(dialog.Text(61), "00 : 00 : 15");
  EXPECT_EQ(TextOf(C(61)), "00 : 00 : 15");
}

TEST_F(DialogWindowTest, SpinStepsFromWhatWasTyped) {
  dialog.SetSpinRange(81, 1, 247);
  dialog.SetSpinPos(81, 1);
  struct Case {
    const wchar_t* typed;
    int delta;
    int pos;
  } cases[] = {{L"5", +1, 6}, {L"5", -1, 4}, {L"247", +1, 247}, {L"1", -1, 1}, {L"x", +1, 2}};
  for (const auto& c : cases) {
    SetWindowTextW(C(80), c.typed);
    NMUPDOWN change{};
    change.hdr.hwndFrom = C(81);
    change.hdr.idFrom = 81;
    change.hdr.code = UDN_DELTAPOS;
    change.iPos = dialog.SpinPos(81);
    change.iDelta = c.delta;
    SendMessageW(window->Handle(), WM_NOTIFY, 81, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(dialog.SpinPos(81), c.pos) << Utf8(c.typed) << " " << c.delta;
    EXPECT_EQ(TextOf(C(80)), std::to_string(c.pos));
  }
}

TEST_F(DialogWindowTest, KeysCloseAndMenuGoToTheDialog) {
  std::vector<std::string> seen;
  dialog.OnOk([&] { seen.push_back("ok"); });
  dialog.OnCancel([&] { seen.push_back("cancel"); });
  dialog.OnClose([&] { seen.push_back("close"); });
  dialog.OnClick(20, [&] { seen.push_back("click 20"); });
  dialog.OnCommand(16, [&] { seen.push_back("about"); });
  window->SetMenuCommand("О программе...", 16);
  auto key = [&](int id, WPARAM vk) {
    MSG m{C(id), WM_KEYDOWN, vk, 0, 0, {}};
    return window->HandleKey(m);
  };
  EXPECT_TRUE(key(60, VK_RETURN));
  EXPECT_TRUE(key(20, VK_RETURN));
  EXPECT_TRUE(key(60, VK_ESCAPE));
  EXPECT_TRUE(key(60, VK_F1));
  EXPECT_FALSE(key(60, 'A'));
  SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
  SendMessageW(window->Handle(), WM_SYSCOMMAND, 16, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"ok", "click 20", "cancel", "about", "close", "about"}));
  EXPECT_TRUE(IsWindow(window->Handle())) << "the Dialog decides whether it ends";
}

TEST_F(DialogWindowTest, EndedDialogIsLetGo) {
  int ended = 0;
  window->onEnded = [&] { ++ended; };
  ShowWindow(window->Handle(), SW_SHOW);
  dialog.EndDialog(1);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(window->Model(), nullptr);
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  dialog.SetText(51, "после");
  EXPECT_NE(TextOf(C(51)), "после") << "no mirroring after the end";
}

}  // namespace
}  // namespace tessvar::win32
