#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "acquisition/presentation.h"
#include "app/control_ids.h"
#include "app/dialog_run_view.h"
#include "app/main_window_template.h"
#include "tests/support/scripted_host.h"
#include "ui/dialog.h"

namespace tessvar::test {
namespace {

// Every quantity the run presents reaches a label and a value field of its own; a missing
// or shared binding would show a value in the wrong place or not at all.
TEST(DialogRunViewTest, EveryPresentedQuantityHasItsOwnLabelAndField) {
  Dialog d(MainWindowTemplate());
  VirtualClock clock;
  ScriptedHost host(clock);
  std::map<int, std::string> members;
  DialogRunView view(d, host, [&](int id) { return &members[id]; });
  std::set<int> fields;
  for (const auto& q : PresentedSlots()) {
    const ValueFieldBinding* b = FindValueField(q.slot);
    ASSERT_NE(b, nullptr) << q.name;
    EXPECT_TRUE(fields.insert(b->fieldId).second) << q.name;
    view.ShowQuantity(q.slot, "cap " + std::string(q.name), "val " + std::string(q.name));
    EXPECT_EQ(d.Text(b->labelId), "cap " + std::string(q.name));
    EXPECT_EQ(d.Text(b->fieldId), "val " + std::string(q.name));
    EXPECT_EQ(members[b->fieldId], "val " + std::string(q.name));
  }
  view.ShowQuantity(4, "second half of a counter", "x");  // no field: nothing is written
  EXPECT_EQ(members.size(), PresentedSlots().size());
}

// Unlocking the run settings leaves the recording time read-only unless its limit is set.
TEST(DialogRunViewTest, RunSettingsLockAndUnlock) {
  Dialog d(MainWindowTemplate());
  VirtualClock clock;
  ScriptedHost host(clock);
  DialogRunView view(d, host, {});
  struct Case {
    bool locked, editable, pollReadOnly, timeReadOnly, saveEnabled;
  };
  for (const Case c : {Case{true, true, true, true, false}, Case{false, false, false, true, true},
                       Case{false, true, false, false, true}}) {
    view.LockRunSettings(c.locked, c.editable);
    EXPECT_EQ(d.State(idc::kPollPeriod).readOnly, c.pollReadOnly);
    EXPECT_EQ(d.State(idc::kRecordingTime).readOnly, c.timeReadOnly);
    EXPECT_EQ(d.IsEnabled(idc::kSave), c.saveEnabled);
    EXPECT_EQ(d.IsEnabled(idc::kLimitTime), c.saveEnabled);
  }
}

}  // namespace
}  // namespace tessvar::test
