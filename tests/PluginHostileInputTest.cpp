// The inputs that break line tools, run through the plug-in against the simulated editor in
// whole-document mode: each gives its defined result in the document, or leaves the document
// as it was and tells the user, and repainting is always switched back on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/linux/User32.h"
#include "plugin/EntryPoints.h"
#include "tests/editor/EditorFixture.h"

namespace {

class PluginHostileInput : public SimEditor::EditorFixture {
 protected:
  void SetUp() override { standin::ResetUser32(); }

  // Runs menu command Id on the whole of Document; returns the document afterwards.
  std::u16string Run(std::u16string Document, int Id) {
    Open(std::move(Document));
    Editor.Select({0, 0}, {0, 0});
    standin::SetMenuChooser([Id](const standin::TrackedMenu&) { return Id; });
    Tarnwick::OnCommand(Window());
    EXPECT_TRUE(Editor.Redraw);
    return Editor.Document;
  }

  static std::u16string Repeat(std::u16string_view Line, int Times) {
    std::u16string Text;
    Text.reserve(Line.size() * Times);
    for (int I = 0; I < Times; ++I) Text += Line;
    return Text;
  }
};

struct HostileCase {
  const char* Name;
  std::u16string Document;
  int Id;
  std::u16string Expected;
};

class PluginHostileTable : public PluginHostileInput,
                           public testing::WithParamInterface<HostileCase> {};

TEST_P(PluginHostileTable, GivesTheDefinedResult) {
  EXPECT_EQ(Run(GetParam().Document, GetParam().Id), GetParam().Expected);
  EXPECT_TRUE(standin::MessageBoxCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PluginHostileTable,
    testing::Values(
        HostileCase{"OnlyCarriageReturnsDeduplicated", u"\r\r\r", 10, u"\r"},
        HostileCase{"OnlyCarriageReturnsCounted", u"\r\r\r", 11, u":3\r"},
        HostileCase{"OnlyCarriageReturnsSorted", u"\r\r\r", 1, u"\r\r\r"},
        HostileCase{"OnlyBreaksDeduplicated", u"\n\r\n\r\n\r", 10, u"\n"},
        HostileCase{"OnlyBreaksReversed", u"\n\r\n\r", 9, u"\r\r\n\n"},
        HostileCase{"LoneSurrogatesKept", u"b\xd800\r\na\xdc00\r\nb\xd800\r\n", 10,
                    u"b\xd800\r\na\xdc00\r\n"},
        HostileCase{"NumbersAtTheLimits",
                    u"9223372036854775807\n-9223372036854775808\n9223372036854775808\n", 5,
                    u"9223372036854775808\n-9223372036854775808\n9223372036854775807\n"},
        HostileCase{"FullWidthCommasAndIdeographicSpaces", u"a １，０００\nb －\x3000５\nc 1，2\n",
                    5, u"b －\x3000５\nc 1，2\na １，０００\n"}),
    [](const testing::TestParamInfo<HostileCase>& Info) { return std::string(Info.param.Name); });

TEST_F(PluginHostileInput, NulCharacterLeavesTheDocumentAndTellsTheUser) {
  const std::u16string Document(u"b\r\na\0c\r\nb\r\n", 11);
  EXPECT_EQ(Run(Document, 10), Document);
  EXPECT_EQ(standin::MessageBoxCalls().size(), 1u);
}

TEST_F(PluginHostileInput, AMillionIdenticalLines) {
  const std::u16string Document = Repeat(u"same line\r\n", 1'000'000);
  EXPECT_EQ(Run(Document, 10), u"same line\r\n");
  EXPECT_EQ(Run(Document, 11), u"same line:1000000\r\n");
  EXPECT_TRUE(Run(Document, 2) == Document);
}

TEST_F(PluginHostileInput, OrganPipeOrderIsSortedQuickly) {
  std::vector<std::u16string> Lines;
  for (int I = 0; I < 200'000; ++I) {
    const int Value = I < 100'000 ? I : 200'000 - I;
    std::u16string Line = u"line 000000\n";
    for (int K = 10, V = Value; K >= 5; --K, V /= 10)
      Line[K] = static_cast<char16_t>(u'0' + V % 10);
    Lines.push_back(Line);
  }
  std::u16string Document;
  for (const auto& Line : Lines) Document += Line;
  std::sort(Lines.begin(), Lines.end());
  std::u16string Sorted;
  for (const auto& Line : Lines) Sorted += Line;
  EXPECT_TRUE(Run(Document, 1) == Sorted);
  EXPECT_TRUE(Run(Document, 5) == Sorted);
}

TEST_F(PluginHostileInput, TenMillionCharacterLine) {
  const std::u16string Line(10'000'000, u'x');
  EXPECT_TRUE(Run(Line + u"\r\n" + Line, 10) == Line + u"\r\n");
  EXPECT_TRUE(Run(Line, 7) == Line);
}

}  // namespace
