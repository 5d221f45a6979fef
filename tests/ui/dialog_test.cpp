#include <gtest/gtest.h>

#include <array>

#include "tests/support/scripted_host.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"

namespace tessvar {
namespace {

constexpr std::array kControls{
    ControlTemplate{10, ControlKind::PushButton, "Старт", {0, 0, 40, 12}},
    ControlTemplate{11, ControlKind::PushButton, "Стоп", {0, 14, 40, 12}, ctl::kDisabled},
    ControlTemplate{12, ControlKind::CheckBox, "Сохранить", {0, 28, 40, 10}},
    ControlTemplate{20, ControlKind::RadioButton, "A", {50, 0, 40, 10}, ctl::kGroupStart},
    ControlTemplate{21, ControlKind::RadioButton, "B", {50, 12, 40, 10}},
    ControlTemplate{22, ControlKind::RadioButton, "C", {50, 24, 40, 10}},
    ControlTemplate{30, ControlKind::Edit, "", {100, 0, 40, 12}},
    ControlTemplate{31, ControlKind::Spin, "", {140, 0, 10, 12}},
    ControlTemplate{32, ControlKind::Edit, "", {100, 14, 40, 12}, ctl::kReadOnly},
    ControlTemplate{40, ControlKind::DropDownList, "", {100, 30, 40, 60}},
    ControlTemplate{41, ControlKind::DropDownList, "", {100, 44, 40, 60}, ctl::kSorted},
    ControlTemplate{50, ControlKind::Text, "hidden", {0, 60, 40, 10}, ctl::kHidden},
    ControlTemplate{-1, ControlKind::GroupBox, "unnamed", {0, 0, 200, 100}},
};
constexpr DialogTemplate kTemplate{900, "Проба", 200, 100, "MS Sans Serif", 8, dlg::kSystemMenu,
                                   kControls};

TEST(Dialog, TemplateGivesInitialStateAndSkipsUnnamedControls) {
  Dialog d(kTemplate);
  EXPECT_EQ(d.Ids().size(), 12u);
  EXPECT_EQ(d.Text(10), "Старт");
  EXPECT_FALSE(d.IsEnabled(11));
  EXPECT_TRUE(d.State(32).readOnly);
  EXPECT_FALSE(d.State(50).visible);
  EXPECT_EQ(d.Title(), "Проба");
  EXPECT_THROW(d.State(999), std::out_of_range);
}

TEST(Dialog, UserInputToDisabledHiddenOrReadOnlyControlsIsRefused) {
  Dialog d(kTemplate);
  int clicks = 0;
  d.OnClick(11, [&] { ++clicks; });
  d.OnClick(50, [&] { ++clicks; });
  EXPECT_FALSE(d.UserClick(11));
  EXPECT_FALSE(d.UserClick(50));
  EXPECT_FALSE(d.UserType(32, "x"));
  EXPECT_EQ(clicks, 0);
  d.Enable(11, true);
  EXPECT_TRUE(d.UserClick(11));
  EXPECT_EQ(clicks, 1);
  d.FireClick(50);  // service code may still run a hidden button's handler
  EXPECT_EQ(clicks, 2);
}

TEST(Dialog, CheckBoxTogglesAndRadioGroupKeepsOneChecked) {
  Dialog d(kTemplate);
  d.UserClick(12);
  EXPECT_TRUE(d.IsChecked(12));
  d.UserClick(12);
  EXPECT_FALSE(d.IsChecked(12));
  EXPECT_EQ(d.RadioIndex(20), -1);
  d.UserClick(22);
  EXPECT_EQ(d.RadioIndex(20), 2);
  d.UserClick(21);
  EXPECT_EQ(d.RadioIndex(20), 1);
  EXPECT_FALSE(d.IsChecked(22));
  EXPECT_EQ(d.RadioGroup(21), (std::vector<int>{20, 21, 22}));
}

TEST(Dialog, SortedListInsertsInCaseFoldedOrderAndKeepsSelection) {
  Dialog d(kTemplate);
  for (const char* name : {"COM2", "НЕТ", "COM10", "com1"}) d.AddItem(41, name);
  EXPECT_EQ(d.Items(41), (std::vector<std::string>{"com1", "COM10", "COM2", "НЕТ"}));
  d.SetSelection(41, 2);
  d.AddItem(41, "COM0");
  EXPECT_EQ(d.SelectedText(41), "COM2");
}

struct PrefixCase {
  const char* prefix;
  int start;
  int expected;  // -1: selection unchanged
};

TEST(Dialog, PrefixSearchBeginsAfterStartGoesRoundAndIgnoresCase) {
  const PrefixCase cases[] = {
      {"MODBUS", 0, 1},  // item 0 is searched last
      {"modbus a", 0, 0},
      {"мэк", 0, 3},
      {"МЭК-104", 0, 4},
      {"IEC", 0, -1},
      {"", 0, 1},
      {"MODBUS", 1, 2},
      {"MODBUS", -1, 0},  // a search from "nothing selected" begins with item 0
  };
  for (const auto& c : cases) {
    Dialog d(kTemplate);
    for (const char* p : {"MODBUS ASCII", "MODBUS RTU", "MODBUS TCP/IP", "МЭК-101", "МЭК-104"})
      d.AddItem(40, p);
    d.SetSelection(40, 4);
    const int got = d.SelectByPrefix(40, c.prefix, c.start);
    EXPECT_EQ(got, c.expected) << c.prefix;
    EXPECT_EQ(d.Selection(40), c.expected < 0 ? 4 : c.expected) << c.prefix;
  }
}

TEST(Dialog, SpinWritesItsClampedPositionIntoItsBuddy) {
  Dialog d(kTemplate);
  d.SetSpinRange(31, 1, 65535);
  d.UserSpin(31, 70000);
  EXPECT_EQ(d.SpinPos(31), 65535);
  EXPECT_EQ(d.Text(30), "65535");
}

TEST(Dialog, FocusLossReachesTheHandlerWithTheNewFocusKnown) {
  Dialog d(kTemplate);
  int seen = -2;
  d.OnKillFocus(30, [&] { seen = d.Focus(); });
  d.UserFocus(30);
  d.UserFocus(40);
  EXPECT_EQ(seen, 40);
  d.UserFocus(30);
  d.UserFocus(-1);
  EXPECT_EQ(seen, -1);
}

TEST(Dialog, EscapeAndCloseEndTheDialogUnlessHandled) {
  Dialog plain(kTemplate);
  plain.UserEscape();
  EXPECT_TRUE(plain.Ended());
  EXPECT_EQ(plain.Result(), 2);

  Dialog handled(kTemplate);
  bool closed = false;
  handled.OnClose([&] { closed = true; });
  handled.UserClose();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(handled.Ended());
}

TEST(Dialog, ObserversHearOnlyRealChanges) {
  struct Counter : DialogObserver {
    std::vector<int> ids;
    void ControlChanged(int id) override { ids.push_back(id); }
  } counter;
  Dialog d(kTemplate);
  d.AddObserver(&counter);
  d.SetText(10, "Старт");  // unchanged
  d.SetText(10, "Go");
  d.Enable(10, true);  // unchanged
  d.Enable(10, false);
  d.RemoveObserver(&counter);
  d.SetText(10, "x");
  EXPECT_EQ(counter.ids, (std::vector<int>{10, 10}));
}

struct FieldCase {
  const char* text;
  std::optional<uint32_t> value;
};

TEST(DataExchange, UnsignedFieldRule) {
  const FieldCase cases[] = {{"500", 500u},  {" 42 ", 42u}, {"0", 0u},       {"4294967295", 4294967295u},
                             {"4294967296", {}}, {"-1", {}},  {"+1", {}},      {"", {}},
                             {"abc", {}},    {"12a", {}},   {"1 2", {}},     {"0x10", {}}};
  for (const auto& c : cases) EXPECT_EQ(ParseUnsignedField(c.text), c.value) << c.text;
}

TEST(DataExchange, CollectStopsAtTheFirstBadUnsignedFieldAndFocusesIt) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  d.SetText(30, "abc");
  d.SetText(32, "keep");
  d.SetCheck(12, true);
  bool saved = false;
  uint32_t period = 7;
  std::string tail = "old";
  DataExchange dx(d, host, true);
  dx.Check(12, saved);
  dx.Unsigned(30, period);
  dx.Text(32, tail);
  EXPECT_TRUE(dx.Failed());
  EXPECT_TRUE(saved);          // exchanged before the bad field
  EXPECT_EQ(period, 7u);       // the bad field keeps its value
  EXPECT_EQ(tail, "old");      // nothing after it is exchanged
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Enter a positive integer.");
  EXPECT_EQ(d.Focus(), 30);
}

TEST(DataExchange, ShowWritesMembersIntoControls) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  uint32_t period = 500;
  int mode = 2;
  DataExchange dx(d, host, false);
  dx.Unsigned(30, period);
  dx.Radio(20, mode);
  EXPECT_EQ(d.Text(30), "500");
  EXPECT_TRUE(d.IsChecked(22));
}

}  // namespace
}  // namespace tessvar
