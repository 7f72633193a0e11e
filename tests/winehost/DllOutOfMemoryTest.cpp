// The DLL in a 32-bit editor whose address space runs out in the middle of a command. The
// editor window answers the DLL's last message before the sort (the fetch of the selected
// text) and then reserves the rest of the process's address space, leaving only holes of a
// chosen size; the reservations go as soon as the DLL writes back or switches repainting on
// (before any message box). A 64-bit address space cannot be filled this way: skipped there.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "base/Parallel.h"
#include "plugin/plugin.h"
#include "tests/editor/EditorWindow.h"
#include "tests/winehost/AddressSpace.h"
#include "tests/winehost/ImportPatch.h"
#include "tests/winehost/PluginDll.h"
#include "tests/winehost/UserInput.h"

using namespace plugin;
using WineHost::PluginDll;

namespace {

constexpr bool Is64Bit = sizeof(void*) == 8;

size_t Granularity() {
  SYSTEM_INFO Info;
  GetSystemInfo(&Info);
  return Info.dwAllocationGranularity;
}

size_t RoundUp(size_t Bytes, size_t Unit) { return (Bytes + Unit - 1) / Unit * Unit; }

// What the window does around the DLL's command, and what it saw.
struct TStarver {
  bool Armed = false;  // fill the address space at the fetch
  int Holes = 0;       // holes of HoleSize left free
  // Seen at the fetch of the text: the size of the DLL's buffer and the hole size made from it.
  size_t TextBytes = 0;
  size_t HoleSize = 0;
  // Seen while filled: holes made and the largest free run left.
  int HolesMade = -1;
  size_t LargestFree = 0;
  WineHost::TAddressSpaceFill Fill;
  WNDPROC Editor = nullptr;
};

TStarver* Starver = nullptr;

LRESULT CALLBACK StarvingWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  TStarver& S = *Starver;
  if (Message == HM_REPLACE_SEL || (Message == HM_SET_REDRAW && WParam != 0)) S.Fill.Release();
  const LRESULT Result = CallWindowProcW(S.Editor, Window, Message, WParam, LParam);
  if (Message == HM_GET_SEL_TEXT && LParam != 0) {
    // The text is in the DLL's buffer of WParam code units; the editor's own copy for the
    // answer is gone again. A hole holds one block the size of that buffer.
    S.TextBytes = static_cast<size_t>(WParam) * sizeof(char16_t);
    S.HoleSize = RoundUp(S.TextBytes, Granularity()) + Granularity();
    if (S.Armed) {
      S.HolesMade = S.Fill.Fill(S.HoleSize, S.Holes);
      S.LargestFree = WineHost::LargestFreeRun();
    }
  }
  return Result;
}

// Counts the DLL's calls of CompareStringW: the comparator sort makes one per comparison, the
// keyed sort compares the collation keys instead.
std::atomic<long> Compares{0};
using TCompareStringW = int(WINAPI*)(LCID, DWORD, PCNZWCH, int, PCNZWCH, int);
TCompareStringW OriginalCompare = nullptr;

int WINAPI CountingCompare(LCID Locale, DWORD Flags, PCNZWCH A, int ALength, PCNZWCH B,
                           int BLength) {
  ++Compares;
  return OriginalCompare(Locale, Flags, A, ALength, B, BLength);
}

class DllOutOfMemory : public ::testing::Test {
 protected:
  // Many short lines, so that the collation keys of all lines (a few bytes per line more
  // than the lines themselves) take clearly more room than the text: two million lines of
  // four letters, 24 MB of UTF-16, which the DLL keeps as lines in blocks smaller than that.
  static constexpr int LineCount = 2'000'000;

  static const std::u16string& Document() {
    static const std::u16string Text = [] {
      std::u16string T;
      T.reserve(static_cast<size_t>(LineCount) * 6);
      uint32_t Seed = 12345;
      for (int I = 0; I < LineCount; ++I) {
        for (int K = 0; K < 4; ++K) {
          Seed = Seed * 1103515245u + 12345u;
          T += static_cast<char16_t>(u'a' + (Seed >> 16) % 26);
        }
        T += u"\r\n";
      }
      return T;
    }();
    return Text;
  }

  void SetUp() override {
    if (Is64Bit) GTEST_SKIP() << "a 64-bit address space cannot be filled";
    ASSERT_NE(PluginDll().OnCommand, nullptr);
    Starver = &S;
    S.Editor = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        Window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StarvingWindowProc)));
  }
  void TearDown() override {
    if (Starver == &S) {
      SetWindowLongPtrW(Window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(S.Editor));
      Starver = nullptr;
    }
  }

  // Command 1 (ascending dictionary order) on the whole document, nothing selected; a message
  // box is answered with OK. True when a message box was shown.
  bool RunSort() {
    Editor.Document = Document();
    Editor.Select({0, 0}, {0, 0});
    Editor.Log.clear();
    WineHost::AnswerNextMenu(1);
    WineHost::AnswerNextMessageBox(IDOK);
    PluginDll().OnCommand(Window.Handle());
    const bool BoxShown = WineHost::AllAnswersGiven();
    EXPECT_FALSE(S.Fill.Filled()) << "the address space was still filled after the command";
    S.Fill.Release();
    return BoxShown;
  }

  SimEditor::TEditor Editor;
  SimEditor::TEditorWindow Window{Editor};
  TStarver S;
};

TEST_F(DllOutOfMemory, SortWithoutRoomForTheKeysCompletesThroughTheComparators) {
  WineHost::TImportPatch Patch(PluginDll().Module, "KERNEL32.dll", "CompareStringW",
                               reinterpret_cast<void*>(&CountingCompare));
  ASSERT_NE(Patch.Original(), nullptr) << "the DLL does not import CompareStringW";
  OriginalCompare = reinterpret_cast<TCompareStringW>(Patch.Original());

  // With room to spare: the order to expect, and the size of the text the DLL fetches.
  Compares = 0;
  ASSERT_FALSE(RunSort());
  const std::u16string Expected = Editor.Document;
  ASSERT_NE(Expected, Document());
  ASSERT_LT(Compares.load(), LineCount / 2) << "the keyed sort itself calls CompareStringW";

  // Room for three texts, in holes of one text each: the comparator sort needs the lines in
  // the DLL's own form (the text and a few bytes per line) and the result, which takes the
  // place the fetched text leaves. No hole holds a key arena larger than the text.
  S.Armed = true;
  S.Holes = static_cast<int>((3 * S.TextBytes + S.HoleSize - 1) / S.HoleSize) + 1;
  Compares = 0;
  const bool BoxShown = RunSort();
  EXPECT_EQ(S.HolesMade, S.Holes);
  EXPECT_LE(S.LargestFree, S.HoleSize) << "the address space could not be filled";
  EXPECT_FALSE(BoxShown) << "the command failed: "
                         << testing::PrintToString(WineHost::LastBoxText());
  EXPECT_TRUE(Editor.Document == Expected) << "the document is not sorted as with room to spare";
  EXPECT_GE(Compares.load(), LineCount - 1) << "the comparator sort did not run";
  EXPECT_EQ(Editor.WParamsOf(HM_SET_REDRAW), (std::vector<WPARAM>{0, 1}));
}

TEST_F(DllOutOfMemory, CommandWithoutRoomForTheLinesFailsInJapaneseAndLeavesTheDocument) {
  // One hole the size of the text: less than the lines and the result of any sort take.
  S.Armed = true;
  S.Holes = 1;
  ASSERT_TRUE(RunSort()) << "the command did not fail";
  EXPECT_EQ(S.HolesMade, 1);
  EXPECT_LE(S.LargestFree, S.HoleSize) << "the address space could not be filled";
  EXPECT_EQ(WineHost::LastBoxCaption(), L"Tarnwick");
  EXPECT_EQ(WineHost::LastBoxText(), L"メモリが不足しています");
  EXPECT_TRUE(Editor.Document == Document()) << "the document was changed";
  EXPECT_TRUE(Editor.WParamsOf(HM_REPLACE_SEL).empty());
  EXPECT_TRUE(Editor.Redraw);
  EXPECT_EQ(Editor.WParamsOf(HM_SET_REDRAW), (std::vector<WPARAM>{0, 1}));
  EXPECT_EQ(Editor.Messages().back(), HM_SET_REDRAW);
}

TEST(WineAddressSpace, ThreadsThatCannotStartLeaveTheirWorkToTheCaller) {
  if (Is64Bit) GTEST_SKIP() << "a 64-bit address space cannot be filled";
  // A thread's stack is reserved from the address space: with none left no thread starts, and
  // every part runs on the calling thread instead.
  Parallel::SetThreadCount(4);
  std::vector<int> Runs(64, 0);
  std::vector<std::thread::id> Ran(Runs.size());
  size_t LargestFree = 0;
  {
    WineHost::TAddressSpaceFill Fill;
    Fill.Fill(0, 0);
    LargestFree = WineHost::LargestFreeRun();
    Parallel::ForEachPart(Runs.size(), [&](size_t Part) {
      ++Runs[Part];
      Ran[Part] = std::this_thread::get_id();
    });
  }
  Parallel::SetThreadCount(0);
  EXPECT_EQ(LargestFree, 0u) << "the address space could not be filled";
  for (size_t Part = 0; Part < Runs.size(); ++Part) {
    EXPECT_EQ(Runs[Part], 1) << "part " << Part;
    EXPECT_EQ(Ran[Part], std::this_thread::get_id()) << "part " << Part;
  }
}

}  // namespace
