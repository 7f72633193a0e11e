#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/linux/User32.h"
#include "plugin/DuplicationHighlight.h"
#include "plugin/EntryPoints.h"
#include "strings/Utf8.h"
#include "tests/editor/EditorFixture.h"

using namespace Tarnwick;
using plugin::HM_QUERY_COMMAND_STATUS;
using plugin::HM_REFRESH_COMMAND;
using plugin::HM_SET_HIGHLIGHT;
using SimEditor::EditorFixture;

namespace {

class PluginEntryPoints : public EditorFixture {
 protected:
  void SetUp() override { standin::ResetUser32(); }
};

TEST_F(PluginEntryPoints, EnabledExactlyWhenHostCommandIsByLowByte) {
  Editor.CommandStatus = 0x101;
  Editor.Checked = 7;
  BOOL Checked = 0;
  EXPECT_EQ(QueryStatus(Window(), &Checked), -1);
  EXPECT_EQ(Checked, 7) << "the editor writes the checked state straight into the caller's BOOL";
  EXPECT_EQ(Editor.WParamsOf(HM_QUERY_COMMAND_STATUS), (std::vector<WPARAM>{4201}));

  Editor.CommandStatus = 0x100;
  EXPECT_EQ(QueryStatus(Window(), &Checked), 0);
}

TEST_F(PluginEntryPoints, RefreshBeforeAnyStoredValueSendsZero) {
  TEventMemory Memory;
  Memory.OnEvents(Window(), 0x40, 55);
  EXPECT_EQ(Editor.WParamsOf(HM_REFRESH_COMMAND), (std::vector<WPARAM>{0}));
}

TEST_F(PluginEntryPoints, StoresOnEvent400AndSendsBackOnEvent40) {
  OnEvents(Window(), 0x400, 31);
  EXPECT_TRUE(Editor.Log.empty());
  OnEvents(Window(), 0x40 | 0x1, 99);
  OnEvents(Window(), 0x400 | 0x40, 42);  // stored first, then sent
  OnEvents(Window(), 0x2 | 0x80 | 0x200, 5);
  EXPECT_EQ(Editor.WParamsOf(HM_REFRESH_COMMAND), (std::vector<WPARAM>{31, 42}));
  EXPECT_EQ(Editor.Log.size(), 2u);
}

TEST_F(PluginEntryPoints, CopiesNameAndVersionIntoTheCallersBuffer) {
  char Buffer[32];
  EXPECT_EQ(PlugInProc(Window(), 2306, sizeof Buffer, 0), 8) << "null buffer: length only";
  std::memset(Buffer, 'x', sizeof Buffer);
  EXPECT_EQ(PlugInProc(Window(), 2306, 4, reinterpret_cast<LPARAM>(Buffer)), 8);
  EXPECT_EQ(std::string(Buffer, 5), std::string("Tar\0x", 5));
  std::memset(Buffer, 'x', sizeof Buffer);
  EXPECT_EQ(PlugInProc(Window(), 2306, 0, reinterpret_cast<LPARAM>(Buffer)), 8);
  EXPECT_EQ(Buffer[0], 'x') << "a buffer size of 0 copies nothing";
  EXPECT_EQ(PlugInProc(Window(), 2308, sizeof Buffer, reinterpret_cast<LPARAM>(Buffer)), 13);
  EXPECT_STREQ(Buffer, "Version 1.5.0");
}

TEST_F(PluginEntryPoints, AsksBeforeUninstalling) {
  EXPECT_EQ(PlugInProc(Window(), 2310, 0, 0), 1);
  standin::SetMessageBoxAnswer(IDYES);
  EXPECT_EQ(PlugInProc(Window(), 2311, 0, 0), 1);
  standin::SetMessageBoxAnswer(IDNO);
  EXPECT_EQ(PlugInProc(Window(), 2311, 0, 0), 0);
  ASSERT_EQ(standin::MessageBoxCalls().size(), 2u);
  const auto& Box = standin::MessageBoxCalls().back();
  EXPECT_EQ(Box.Owner, Window());
  EXPECT_EQ(Box.Text, u"アンインストールしますか？");
  EXPECT_EQ(Box.Caption, u"Tarnwick");
  EXPECT_EQ(Box.Type, 0x24u);
}

TEST_F(PluginEntryPoints, AnswersZeroToOtherRequests) {
  for (UINT Request : {0u, 2304u, 2305u, 2307u, 2309u, 2312u, 0xFFFFFFFFu}) {
    EXPECT_EQ(PlugInProc(Window(), Request, 1, 1), 0) << Request;
  }
  EXPECT_TRUE(standin::MessageBoxCalls().empty());
}

TEST_F(PluginEntryPoints, HighlightSendsPatternOfRepeatedLines) {
  DuplicationHighlight(Window(), u"a\r\nb\r\na\r\n");
  EXPECT_EQ(Editor.Highlight, u"^\\Qa\\E$");
  EXPECT_EQ(Editor.HighlightBits, 289u);
}

TEST_F(PluginEntryPoints, HighlightWithoutRepeatsSendsEmptyStringNotNull) {
  for (const char16_t* Text : {u"", u"a\r\nb\r\n", u"a\r\na\n"}) {
    DuplicationHighlight(Window(), Text);
    EXPECT_EQ(Editor.Highlight, u"") << "null pattern sent";
  }
  EXPECT_EQ(Editor.HighlightCount, 3);
  EXPECT_EQ(Editor.WParamsOf(HM_SET_HIGHLIGHT), (std::vector<WPARAM>{289, 289, 289}));
}

TEST(Utf8Decoding, DecodesMessagesOfEveryLength) {
  EXPECT_EQ(Utf8::DecodeReplacing("Error:function Sort"), u"Error:function Sort");
  EXPECT_EQ(Utf8::DecodeReplacing("Listエラー"), u"Listエラー");
  EXPECT_EQ(Utf8::DecodeReplacing("\xC3\xA9\xF0\x9F\x98\x80"), u"\u00E9\U0001F600");
  EXPECT_EQ(Utf8::DecodeReplacing(""), u"");
}

TEST(Utf8Decoding, ReplacesMalformedBytesWithoutDroppingTheRest) {
  EXPECT_EQ(Utf8::DecodeReplacing("a\xFF"
                                  "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8::DecodeReplacing("\xE3\x82"), u"\uFFFD\uFFFD") << "truncated sequence";
  EXPECT_EQ(Utf8::DecodeReplacing("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong";
  EXPECT_EQ(Utf8::DecodeReplacing("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "encoded surrogate";
}

}  // namespace
