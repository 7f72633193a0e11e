// Running out of memory inside a command, through OnCommand against the simulated editor:
// the keyed sort gives way to the comparator sort when its key arena cannot be had; any other
// failure leaves the document as it was, switches repainting back on and tells the user in
// Japanese.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "commands/LineCommands.h"
#include "platform/linux/User32.h"
#include "plugin/EntryPoints.h"
#include "plugin/plugin.h"
#include "tests/editor/EditorFixture.h"
#include "tests/support/AllocationSeam.h"

using namespace plugin;

namespace {

class OnCommandOutOfMemory : public SimEditor::EditorFixture {
 protected:
  void SetUp() override { standin::ResetUser32(); }
  void TearDown() override { AllocationSeam::Disarm(); }

  void Choose(int Id) {
    standin::SetMenuChooser([Id](const standin::TrackedMenu&) { return Id; });
  }
  // The whole document selected by the host's command, as a user with nothing selected.
  void RunOnWholeDocument(int Id) {
    Editor.Select({0, 0}, {0, 0});
    Choose(Id);
    Tarnwick::OnCommand(Window());
  }
  void ExpectFailedInJapanese(const std::u16string& Document) {
    EXPECT_EQ(Editor.Document, Document);
    EXPECT_TRUE(Editor.WParamsOf(HM_REPLACE_SEL).empty());
    EXPECT_TRUE(Editor.Redraw);
    EXPECT_EQ(Editor.Messages().back(), HM_SET_REDRAW);
    ASSERT_EQ(standin::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(standin::MessageBoxCalls()[0].Text, u"メモリが不足しています");
    EXPECT_EQ(standin::MessageBoxCalls()[0].Caption, u"Tarnwick");
  }

  // Lines of two letters and a break.
  static std::u16string Lines(int Count) {
    std::u16string Text;
    for (int I = 0; I < Count; ++I) {
      Text += static_cast<char16_t>(u'a' + (I * 7) % 26);
      Text += static_cast<char16_t>(u'a' + (I * 11) % 26);
      Text += u"\r\n";
    }
    return Text;
  }
};

TEST_F(OnCommandOutOfMemory, SortWithoutRoomForKeysFallsBackToTheComparators) {
  // The key arena is asked for in one piece of two bytes per code unit and eight per line;
  // every allocation of that size fails, as in an editor whose address space has no such hole.
  const int Count = 2000;
  const std::u16string Text = Lines(Count);
  const size_t KeyArena = Text.size() * 2 + 8 * static_cast<size_t>(Count);
  for (int Id : {1, 2, 3, 5, 7}) {
    Open(Text);
    standin::ResetUser32();
    const std::u16string Sorted = Tarnwick::Sort(Text, static_cast<uint8_t>(Id));
    {
      AllocationSeam::TArmed Seam(KeyArena - 1, 1, 1000, KeyArena);
      RunOnWholeDocument(Id);
      EXPECT_GE(AllocationSeam::Failures(), 1) << "command " << Id;
    }
    EXPECT_EQ(Editor.Document, Sorted) << "command " << Id;
    EXPECT_TRUE(standin::MessageBoxCalls().empty()) << "command " << Id;
  }
}

TEST_F(OnCommandOutOfMemory, ATextOfOneLineOrNoneIsItsOwnResultWithoutASecondCopy) {
  // Nothing to reorder: the sorts and reversal give the text back without making room for
  // another copy of it, keys or a list.
  const std::u16string Line(1 << 16, u'x');
  for (const std::u16string& Text : {Line, Line + u"\r\n", Line + u"\r", std::u16string()}) {
    for (int Id = 1; Id <= 9; ++Id) {
      std::u16string GivenUp = Text;
      AllocationSeam::TArmed Seam(1024, 1, 1'000'000);
      EXPECT_EQ(Tarnwick::Sort(std::move(GivenUp), static_cast<uint8_t>(Id)), Text) << Id;
      EXPECT_EQ(AllocationSeam::Failures(), 0) << "command " << Id;
    }
  }
}

TEST_F(OnCommandOutOfMemory, EachFailedAllocationLeavesTheDocumentOrSortsIt) {
  // Every allocation of the text's size or more, one after the other, is the one that fails:
  // each run either sorts (the keyed sort gave way) or fails as a whole, never half-done.
  const std::u16string Text = Lines(300);
  const std::u16string Sorted = Tarnwick::Sort(Text, 2);
  int Failed = 0;
  for (int Nth = 1; Nth <= 12; ++Nth) {
    Open(Text);
    ClearLog();
    standin::ResetUser32();
    {
      AllocationSeam::TArmed Seam(Text.size(), Nth);
      RunOnWholeDocument(2);
    }
    if (standin::MessageBoxCalls().empty()) {
      EXPECT_EQ(Editor.Document, Sorted) << "allocation " << Nth;
    } else {
      ++Failed;
      ExpectFailedInJapanese(Text);
    }
    EXPECT_TRUE(Editor.Redraw);
  }
  EXPECT_GT(Failed, 0) << "some allocation could not be done without";
}

TEST_F(OnCommandOutOfMemory, EveryCommandFailsInJapaneseWhenNothingLargeCanBeHad) {
  const std::u16string Text = Lines(200);
  for (int Id = 1; Id <= 11; ++Id) {
    Open(Text);
    ClearLog();
    standin::ResetUser32();
    {
      AllocationSeam::TArmed Seam(Text.size(), 1, 1'000'000);
      RunOnWholeDocument(Id);
    }
    SCOPED_TRACE(Id);
    ExpectFailedInJapanese(Text);
  }
}

TEST_F(OnCommandOutOfMemory, ForeignExceptionShowsItsTextOnASecondLine) {
  const std::u16string Text = u"b\r\na\r\n";
  Open(Text);
  Editor.Select({0, 0}, {0, 0});
  standin::SetMenuChooser(
      [](const standin::TrackedMenu&) -> BOOL { throw std::runtime_error("disk on fire"); });
  Tarnwick::OnCommand(Window());
  EXPECT_EQ(Editor.Document, Text);
  EXPECT_TRUE(Editor.Redraw);
  ASSERT_EQ(standin::MessageBoxCalls().size(), 1u);
  EXPECT_EQ(standin::MessageBoxCalls()[0].Text, u"予期しないエラーが発生しました\ndisk on fire");
}

}  // namespace
