#include "acquisition/poll_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessvar {
namespace {

PollEntry E(std::string name, uint32_t address, uint32_t size = 2) {
  PollEntry e;
  e.name = std::move(name);
  e.address = address;
  e.pollSize = size;
  e.byteSize = size;
  return e;
}

struct Block {
  uint32_t start;
  uint16_t count;
  bool operator==(const Block&) const = default;
};

// The requests of one pass, from the first block to the wrap.
std::vector<Block> Pass(const std::vector<PollEntry>& entries) {
  std::vector<Block> out;
  RequestBlock b = SelectNextBlock(entries, 0);
  for (int guard = 0; guard < 1000; ++guard) {
    out.push_back({b.start, b.count});
    if (CompletesPass(entries, b)) break;
    b = SelectNextBlock(entries, b.nextCursor);
  }
  return out;
}

TEST(PollPlanTest, BlocksOfAPass) {
  struct Case {
    const char* what;
    std::vector<PollEntry> entries;
    std::vector<Block> blocks;
  };
  const std::vector<Case> cases = {
      {"consecutive", {E("(Udc1)", 0), E("(Idc1)", 1), E("(Pdc1)", 2)}, {{0, 3}}},
      {"gap splits", {E("(Udc1)", 0), E("(Idc1)", 1), E("(Uac1)", 0x10), E("(Iac1)", 0x11)},
       {{0, 2}, {0x10, 2}}},
      {"unsorted addresses", {E("a", 5), E("b", 6), E("c", 1), E("d", 2), E("e", 3)},
       {{5, 2}, {1, 3}}},
      {"size 0 splits and is skipped",
       {E("a", 0), E("skip", 1, 0), E("b", 2), E("c", 3)}, {{0, 1}, {2, 2}}},
      {"leading size 0", {E("skip", 0, 0), E("a", 1), E("b", 2)}, {{1, 2}}},
      {"trailing size 0", {E("a", 0), E("b", 1), E("skip", 7, 0)}, {{0, 2}}},
      {"counter halves at a block edge",
       {E("(Udc1)", 0), E("(Wdc1)", 1), E("(Wdc1)", 2), E("(Uac1)", 0x20)},
       {{0, 3}, {0x20, 1}}},
      {"clock continuing the last block",
       {E("(Udc1)", 0), E("(Idc1)", 1), E("Время (tms)", 2), E("Время (thm)", 3)}, {{0, 4}}},
      // The clock does not continue the data: the selection wraps at it; the pass still ends.
      {"clock apart from the data",
       {E("(Udc1)", 0), E("(Idc1)", 1), E("Время (tms)", 0x40), E("Время (thm)", 0x41)},
       {{0, 2}}},
      {"clock apart after two blocks",
       {E("(Udc1)", 0), E("(Uac1)", 8), E("Time (tms)", 0x40)}, {{0, 1}, {8, 1}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Pass(c.entries), c.blocks) << c.what;
  }
}

TEST(PollPlanTest, LongRunsAreSplitAtTheReplyLimit) {
  std::vector<PollEntry> entries;
  for (uint32_t a = 0; a < 300; ++a) entries.push_back(E("x", 0x100 + a));
  EXPECT_EQ(Pass(entries), (std::vector<Block>{{0x100, 125}, {0x17D, 125}, {0x1FA, 50}}));
}

TEST(PollPlanTest, ManyEntriesOfSizeZeroEndTheSkip) {
  // More entries than an 8-bit cursor can count, all but the last unpolled.
  std::vector<PollEntry> entries;
  for (int i = 0; i < 299; ++i) entries.push_back(E("z", static_cast<uint32_t>(i), 0));
  entries.push_back(E("a", 0x500));
  EXPECT_EQ(Pass(entries), (std::vector<Block>{{0x500, 1}}));
}

TEST(PollPlanTest, CursorPastTheEndStartsOver) {
  const std::vector<PollEntry> entries = {E("a", 3), E("b", 4)};
  const RequestBlock b = SelectNextBlock(entries, 17);
  EXPECT_EQ(b.firstEntry, 0u);
  EXPECT_EQ(b.start, 3u);
  EXPECT_EQ(b.count, 2u);
}

TEST(PollPlanTest, TextsOfTheDescription) {
  EXPECT_EQ(ParseHexText("0x00001A"), 0x1Au);
  EXPECT_EQ(ParseHexText(" ff"), 0xFFu);
  EXPECT_EQ(ParseHexText("10"), 0x10u);
  EXPECT_EQ(ParseHexText("zz"), 0u);
  EXPECT_EQ(ParseDecimalText(" 12x"), 12);
  EXPECT_EQ(ParseDecimalText(""), 0);
  EXPECT_EQ(ParseDecimalText("-3"), -3);
}

}  // namespace
}  // namespace tessvar
