// The DLL in a 32-bit editor whose address space runs out in the middle of a command. The
// editor window answers the DLL's last message before the sort (the fetch of the selected
// text) and then reserves the rest of the process's address space, leaving only holes of a
// chosen size; the reservations go as soon as the DLL writes back or switches repainting on
// (before any message box). A 64-bit address space cannot be filled this way: skipped there.
#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
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
  // The hole size; 0: one granularity unit more than the text's buffer takes.
  size_t ChosenHoleSize = 0;
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
    // answer is gone again.
    S.TextBytes = static_cast<size_t>(WParam) * sizeof(char16_t);
    S.HoleSize = S.ChosenHoleSize != 0 ? S.ChosenHoleSize
                                       : RoundUp(S.TextBytes, Granularity()) + Granularity();
    if (S.Armed) {
      S.HolesMade = S.Fill.Fill(S.HoleSize, S.Holes);
      S.LargestFree = WineHost::LargestFreeRun();
    }
  }
  return Result;
}

// The DLL's calls into the system, seen through its import table: CompareStringW counted (the
// comparator sort makes one call per comparison, the keyed sort compares collation keys
// instead); LCMapStringW made to fail on demand, which leaves the sort without keys; the
// heap blocks it holds, counted while Tracking is on.
struct TSystemCalls {
  std::atomic<long> Compares{0};
  std::atomic<bool> NoSortKeys{false};
  std::atomic<bool> Tracking{false};
  std::atomic<int64_t> Held{0};      // bytes held, from when tracking began
  std::atomic<int64_t> MostHeld{0};  // the most held at once
  std::atomic<size_t> Largest{0};    // the largest block asked for
  void* Original[6] = {};
};
TSystemCalls Calls;
enum { kCompare, kMapString, kMalloc, kCalloc, kRealloc, kFree };

template <typename TFunction>
TFunction OriginalOf(int Which) {
  return reinterpret_cast<TFunction>(Calls.Original[Which]);
}

void Track(int64_t Change, size_t Asked) {
  if (!Calls.Tracking.load()) return;
  const int64_t Now = Calls.Held += Change;
  int64_t Most = Calls.MostHeld.load();
  while (Now > Most && !Calls.MostHeld.compare_exchange_weak(Most, Now)) {
  }
  size_t Large = Calls.Largest.load();
  while (Asked > Large && !Calls.Largest.compare_exchange_weak(Large, Asked)) {
  }
}

int64_t SizeOf(void* Block) { return Block ? static_cast<int64_t>(_msize(Block)) : 0; }

int WINAPI CountingCompare(LCID Locale, DWORD Flags, PCNZWCH A, int ALength, PCNZWCH B,
                           int BLength) {
  ++Calls.Compares;
  using T = int(WINAPI*)(LCID, DWORD, PCNZWCH, int, PCNZWCH, int);
  return OriginalOf<T>(kCompare)(Locale, Flags, A, ALength, B, BLength);
}

int WINAPI FailingMapString(LCID Locale, DWORD Flags, LPCWSTR Source, int SourceLength, LPWSTR Dest,
                            int DestLength) {
  if (Calls.NoSortKeys.load() && (Flags & LCMAP_SORTKEY)) return 0;
  using T = int(WINAPI*)(LCID, DWORD, LPCWSTR, int, LPWSTR, int);
  return OriginalOf<T>(kMapString)(Locale, Flags, Source, SourceLength, Dest, DestLength);
}

void* __cdecl TrackedMalloc(size_t Size) {
  void* Block = OriginalOf<void*(__cdecl*)(size_t)>(kMalloc)(Size);
  Track(SizeOf(Block), Size);
  return Block;
}

void* __cdecl TrackedCalloc(size_t Count, size_t Size) {
  void* Block = OriginalOf<void*(__cdecl*)(size_t, size_t)>(kCalloc)(Count, Size);
  Track(SizeOf(Block), Count * Size);
  return Block;
}

void* __cdecl TrackedRealloc(void* Old, size_t Size) {
  const int64_t Before = SizeOf(Old);
  void* Block = OriginalOf<void*(__cdecl*)(void*, size_t)>(kRealloc)(Old, Size);
  if (Block || Size == 0) Track(SizeOf(Block) - Before, Size);
  return Block;
}

void __cdecl TrackedFree(void* Block) {
  Track(-SizeOf(Block), 0);
  OriginalOf<void(__cdecl*)(void*)>(kFree)(Block);
}

// The patches for one test; every import must be found.
class TSystemCallPatches {
 public:
  TSystemCallPatches() {
    const HMODULE Dll = PluginDll().Module;
    Add(Dll, "KERNEL32.dll", "CompareStringW", &CountingCompare, kCompare);
    Add(Dll, "KERNEL32.dll", "LCMapStringW", &FailingMapString, kMapString);
    Add(Dll, "msvcrt.dll", "malloc", &TrackedMalloc, kMalloc);
    Add(Dll, "msvcrt.dll", "calloc", &TrackedCalloc, kCalloc);
    Add(Dll, "msvcrt.dll", "realloc", &TrackedRealloc, kRealloc);
    Add(Dll, "msvcrt.dll", "free", &TrackedFree, kFree);
  }
  bool Complete() const { return FComplete; }

 private:
  template <typename TFunction>
  void Add(HMODULE Dll, const char* Library, const char* Name, TFunction Replacement, int Which) {
    FPatches.push_back(std::make_unique<WineHost::TImportPatch>(
        Dll, Library, Name, reinterpret_cast<void*>(Replacement)));
    Calls.Original[Which] = FPatches.back()->Original();
    FComplete = FComplete && Calls.Original[Which] != nullptr;
  }

  std::vector<std::unique_ptr<WineHost::TImportPatch>> FPatches;
  bool FComplete = true;
};

class DllOutOfMemory : public ::testing::Test {
 protected:
  // Many short lines, so that the collation keys and the sort records of all lines take
  // clearly more room than the lines themselves: two million lines of eight letters and LF,
  // 36 MB of UTF-16. Keys of fewer letters would fit almost wholly in the sort records.
  static constexpr int LineCount = 2'000'000;

  static const std::u16string& Document() {
    static const std::u16string Text = [] {
      std::u16string T;
      T.reserve(static_cast<size_t>(LineCount) * 9);
      uint32_t Seed = 12345;
      for (int I = 0; I < LineCount; ++I) {
        for (int K = 0; K < 8; ++K) {
          Seed = Seed * 1103515245u + 12345u;
          T += static_cast<char16_t>(u'a' + (Seed >> 16) % 26);
        }
        T += u'\n';
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
    Calls.Compares = 0;
    Calls.Held = 0;
    Calls.MostHeld = 0;
    Calls.Largest = 0;
    Calls.Tracking = true;
    PluginDll().OnCommand(Window.Handle());
    Calls.Tracking = false;
    const bool BoxShown = WineHost::AllAnswersGiven();
    EXPECT_FALSE(S.Fill.Filled()) << "the address space was still filled after the command";
    S.Fill.Release();
    return BoxShown;
  }

  SimEditor::TEditor Editor;
  SimEditor::TEditorWindow Window{Editor};
  TStarver S;
};

TEST_F(DllOutOfMemory, SortInTheRoomOfTheComparatorSortCompletes) {
  TSystemCallPatches Patches;
  ASSERT_TRUE(Patches.Complete()) << "the DLL's imports were not all found";

  // With room to spare: the order to expect, and the most the keyed sort holds at once.
  ASSERT_FALSE(RunSort());
  const std::u16string Expected = Editor.Document;
  ASSERT_NE(Expected, Document());
  ASSERT_LT(Calls.Compares.load(), LineCount / 2) << "the keyed sort itself calls CompareStringW";
  const auto KeyedNeed = static_cast<size_t>(Calls.MostHeld.load());
  const auto KeyedLargest = static_cast<size_t>(Calls.Largest.load());

  // Without collation keys: the comparator sort, the most it holds at once and its largest
  // block.
  Calls.NoSortKeys = true;
  ASSERT_FALSE(RunSort());
  Calls.NoSortKeys = false;
  ASSERT_TRUE(Editor.Document == Expected) << "the comparator sort gave another order";
  ASSERT_GE(Calls.Compares.load(), LineCount - 1);
  const auto ComparatorNeed = static_cast<size_t>(Calls.MostHeld.load());
  const size_t Text = S.TextBytes;

  // Holes that each take the comparator sort's largest block (Wine places a block only where
  // there is room to align its start: two units more), as many as it needs beyond the room
  // the fetched text leaves when it is released, and one more for what does not pack.
  S.ChosenHoleSize = RoundUp(Calls.Largest.load(), Granularity()) + 2 * Granularity();
  const size_t Beyond = ComparatorNeed > Text ? ComparatorNeed - Text : 0;
  S.Holes = static_cast<int>((Beyond + S.ChosenHoleSize - 1) / S.ChosenHoleSize) + 1;
  const size_t Room = S.Holes * S.ChosenHoleSize + Text;
  // The sort where the lines lie often needs less than the list: then it may take the room.
  const bool KeyedCannotFit = KeyedNeed > Room || KeyedLargest > S.ChosenHoleSize;

  S.Armed = true;
  const bool BoxShown = RunSort();
  EXPECT_EQ(S.HolesMade, S.Holes);
  EXPECT_LE(S.LargestFree, S.HoleSize) << "the address space could not be filled";
  EXPECT_FALSE(BoxShown) << "the command failed: "
                         << testing::PrintToString(WineHost::LastBoxText());
  EXPECT_TRUE(Editor.Document == Expected) << "the document is not sorted as with room to spare";
  if (KeyedCannotFit) {
    EXPECT_GE(Calls.Compares.load(), LineCount - 1) << "the comparator sort did not run";
  }
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
