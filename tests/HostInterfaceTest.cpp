// The editor's interface pinned to literal values: the layout of the records passed with the
// host messages (in the 32-bit and the 64-bit build alike), and the number and kind each host
// operation sends, as the editor reads them.
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
