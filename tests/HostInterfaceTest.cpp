// The editor's interface pinned to literal values: the host message numbers, the layout of
// the records passed with them (in the 32-bit and the 64-bit build alike), the request codes,
// host commands, event flags and resource identifiers. Every other test takes these values
// from the same headers as the code, so only this one can catch a wrong number.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin/DuplicationHighlight.h"
#include "plugin/EntryPoints.h"
#include "plugin/plugin.h"
#ifndef _WIN32
#include "platform/linux/User32.h"
#endif

using namespace plugin;

TEST(HostInterface, MessageNumbersAreTheEditors) {
  EXPECT_EQ(HM_QUERY_COMMAND_STATUS, 2049u);
  EXPECT_EQ(HM_REFRESH_COMMAND, 2050u);
  EXPECT_EQ(HM_GET_LINE_COUNT, 2052u);
  EXPECT_EQ(HM_GET_CARET_POS, 2054u);
  EXPECT_EQ(HM_GET_SCROLL_POS, 2057u);
  EXPECT_EQ(HM_TEXT_TO_DISPLAY_POS, 2062u);
  EXPECT_EQ(HM_SET_CARET_POS, 2066u);
  EXPECT_EQ(HM_SET_SCROLL_POS, 2067u);
  EXPECT_EQ(HM_RUN_COMMAND, 2070u);
  EXPECT_EQ(HM_GET_SEL_START, 2074u);
  EXPECT_EQ(HM_GET_SEL_END, 2075u);
  EXPECT_EQ(HM_SET_SEL, 2081u);
  EXPECT_EQ(HM_SET_REDRAW, 2092u);
  EXPECT_EQ(HM_QUERY_SELECTION, 2093u);
  EXPECT_EQ(HM_GET_SEL_TEXT, 2094u);
  EXPECT_EQ(HM_GET_LINE_TEXT, 2095u);
  EXPECT_EQ(HM_REPLACE_SEL, 2100u);
  EXPECT_EQ(HM_SET_HIGHLIGHT, 2101u);
  EXPECT_EQ(static_cast<int>(ckDisplay), 0);
  EXPECT_EQ(static_cast<int>(ckText), 2);
  EXPECT_EQ(LineTextFlagTextLine, 1u);
  EXPECT_EQ(Tarnwick::HighlightOptionBits, 289u);
}

TEST(HostInterface, RecordsHaveTheEditorsLayoutInEitherBitness) {
  // Two and three 32-bit fields without padding, whatever the pointer size.
  EXPECT_EQ(sizeof(HostPos), 8u);
  EXPECT_EQ(offsetof(HostPos, Column), 0u);
  EXPECT_EQ(offsetof(HostPos, Line), 4u);
  EXPECT_EQ(sizeof(HostPos::Column), 4u);
  EXPECT_EQ(sizeof(HostPos::Line), 4u);
  EXPECT_EQ(sizeof(LineTextRequest), 12u);
  EXPECT_EQ(offsetof(LineTextRequest, BufferLength), 0u);
  EXPECT_EQ(offsetof(LineTextRequest, Flags), 4u);
  EXPECT_EQ(offsetof(LineTextRequest, Line), 8u);
  // They travel as pointers in the message parameters, which are pointer-sized.
  EXPECT_EQ(sizeof(WPARAM), sizeof(void*));
  EXPECT_EQ(sizeof(LPARAM), sizeof(void*));
}

TEST(HostInterface, RequestsCommandsEventsAndResourcesAreTheEditors) {
  EXPECT_EQ(Tarnwick::RequestName, 2306u);
  EXPECT_EQ(Tarnwick::RequestVersion, 2308u);
  EXPECT_EQ(Tarnwick::RequestCanUninstall, 2310u);
  EXPECT_EQ(Tarnwick::RequestUninstall, 2311u);
  EXPECT_EQ(Tarnwick::HostCommandEnabledState, 4201u);
  EXPECT_EQ(Tarnwick::HostCommandSelectAll, 4136u);
  EXPECT_EQ(Tarnwick::HostCommandAfterWholeDocument, 4187u);
  EXPECT_EQ(Tarnwick::EventStoreValue, 0x400u);
  EXPECT_EQ(Tarnwick::EventRefresh, 0x40u);
  EXPECT_EQ(Tarnwick::MenuTextId, 1u);
  EXPECT_EQ(Tarnwick::StatusMessageId, 2u);
  EXPECT_EQ(Tarnwick::BitmapId, 101u);
}

#ifndef _WIN32
namespace {

struct TSent {
  UINT Message;
  WPARAM WParam;
};
std::vector<TSent> Sent;

// An editor that records each message and writes 7, 9 into every position it is asked for.
LRESULT CALLBACK Recorder(HWND, UINT Message, WPARAM WParam, LPARAM LParam) {
  Sent.push_back({Message, WParam});
  const bool ReadsPos = Message == 2054 || Message == 2057 || Message == 2074 || Message == 2075;
  if (ReadsPos && LParam != 0) {
    auto* Pos = reinterpret_cast<int32_t*>(LParam);
    Pos[0] = 7;
    Pos[1] = 9;
  }
  return 0;
}

}  // namespace

TEST(HostInterface, EachHostOperationSendsTheEditorsNumberAndKind) {
  HWND Window = standin::CreateWindowFor(Recorder);
  const THostEditor Editor(Window);
  Sent.clear();
  BOOL Checked = FALSE;
  char16_t Buffer[4] = {};
  LineTextRequest Request{0, 1, 3};
  Editor.QueryCommandStatus(4201, &Checked);
  Editor.RefreshCommand(5);
  Editor.LineCount(ckText);
  const HostPos Caret = Editor.CaretPos(ckDisplay);
  Editor.ScrollPos();
  Editor.TextToDisplayPos({1, 2});
  Editor.SetCaretPos(ckText, {0, 0});
  Editor.SetScrollPos({0, 0});
  Editor.RunCommand(4136);
  Editor.SelStart(ckText);
  Editor.SelEnd(ckDisplay);
  Editor.SetSel({0, 0}, {1, 1});
  Editor.SetRedraw(false);
  Editor.QuerySelection();
  Editor.GetSelText(4, Buffer);
  Editor.GetLineText(Request, Buffer);
  Editor.ReplaceSel(u"");
  Editor.SetHighlight(289, u"");
  standin::DestroyWindowFor(Window);

  const std::vector<std::pair<UINT, WPARAM>> Expected{
      {2049, 4201}, {2050, 5}, {2052, 2},    {2054, 0}, {2057, 0}, {2062, 0},
      {2066, 2},    {2067, 0}, {2070, 4136}, {2074, 2}, {2075, 0}, {2081, 0},
      {2092, 0},    {2093, 0}, {2094, 4},    {2095, 0}, {2100, 0}, {2101, 289}};
  ASSERT_EQ(Sent.size(), Expected.size());
  for (size_t I = 0; I < Expected.size(); ++I) {
    EXPECT_EQ(Sent[I].Message, Expected[I].first) << I;
    // Records travel as pointers: only the kinds and plain values are compared.
    const UINT M = Expected[I].first;
    if (M != 2062 && M != 2081 && M != 2095) {
      EXPECT_EQ(Sent[I].WParam, Expected[I].second) << I;
    }
  }
  EXPECT_EQ(Caret.Column, 7);
  EXPECT_EQ(Caret.Line, 9);
}
#endif
