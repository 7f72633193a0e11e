// Times the plug-in's command on a large document: OnCommand against the simulated editor,
// the whole document chosen (nothing selected), the menu answered with the given command.
// On Linux the plug-in code is linked in and the stand-in's menu answers at once; on Windows
// the built Tarnwick.dll is loaded as the editor loads it and the real menu is answered from
// the keyboard (run it under a display, see tests/winehost/run-with-display).
//
// Usage: tarnwick_plugin_bench RUNS ID [ID...] < DOCUMENT   (DOCUMENT in UTF-8)
// Prints one line per run: "id=N run=R lines_in=.. lines_out=.. command_s=.. editor_s=..
// plugin_s=.. total_s=.. [extra_x=..]". command_s runs from the editor's "select all" that follows
// the menu to OnCommand's return; editor_s is the part of it spent in the simulated editor's
// answers (its copies of the text); plugin_s is the rest; total_s includes the menu. extra_x
// (Linux) is the plug-in's peak heap memory beyond the selected text it reads and the result it
// hands back, in times the text's UTF-16 size.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/plugin.h"
#include "strings/Utf8.h"
#include "tests/editor/SimEditor.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "tests/winehost/PluginDll.h"
#include "tests/winehost/UserInput.h"
#else
#include <cstdlib>
#include <new>

#include "platform/linux/User32.h"
#include "plugin/EntryPoints.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// The editor's "select all" command: the plug-in's first message once a command is chosen
// with nothing selected.
constexpr WPARAM SelectAll = 4136;

struct TTimes {
  bool Chosen = false;
  Clock::time_point ChosenAt;
  Clock::duration Editor{};
};

TTimes Times;

#ifndef _WIN32
// The plug-in's heap, counted by the program's own operator new: every block carries its size
// and whether it was counted, so that blocks the editor allocates (while its answers run, when
// counting is off) and blocks freed by the other side are accounted for correctly.
std::atomic<bool> Counting{false};
std::atomic<int64_t> Live{0};
std::atomic<int64_t> Peak{0};
thread_local bool InEditor = false;

struct alignas(16) THeader {
  size_t Size;
  bool Counted;
};

void* Allocate(size_t Size) {
  auto* Block = static_cast<THeader*>(std::malloc(sizeof(THeader) + Size));
  if (Block == nullptr) throw std::bad_alloc();
  Block->Size = Size;
  Block->Counted = Counting.load(std::memory_order_relaxed) && !InEditor;
  if (Block->Counted) {
    const int64_t Now = Live.fetch_add(static_cast<int64_t>(Size)) + static_cast<int64_t>(Size);
    int64_t Seen = Peak.load();
    while (Now > Seen && !Peak.compare_exchange_weak(Seen, Now)) {
    }
  }
  return Block + 1;
}

void Release(void* Pointer) {
  if (Pointer == nullptr) return;
  THeader* Block = static_cast<THeader*>(Pointer) - 1;
  if (Block->Counted) Live.fetch_sub(static_cast<int64_t>(Block->Size));
  std::free(Block);
}
#endif

// Passes every message to the simulated editor and adds up the time its answers take once
// the command has been chosen.
LRESULT CALLBACK TimingProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  const Clock::time_point Start = Clock::now();
  if (!Times.Chosen && Message == plugin::HM_RUN_COMMAND && WParam == SelectAll) {
    Times.Chosen = true;
    Times.ChosenAt = Start;
  }
#ifndef _WIN32
  InEditor = true;
#endif
  const LRESULT Result = SimEditor::EditorWindowProc(Window, Message, WParam, LParam);
#ifndef _WIN32
  InEditor = false;
#endif
  if (Times.Chosen && Message >= plugin::HM_QUERY_COMMAND_STATUS) {
    Times.Editor += Clock::now() - Start;
  }
  return Result;
}

#ifdef _WIN32

HWND CreateTimedWindow() {
  static const ATOM Class = [] {
    WNDCLASSW C{};
    C.lpfnWndProc = TimingProc;
    C.hInstance = GetModuleHandleW(nullptr);
    C.lpszClassName = L"TarnwickBenchEditor";
    return RegisterClassW(&C);
  }();
  if (Class == 0) return nullptr;
  return CreateWindowExW(0, L"TarnwickBenchEditor", L"Tarnwick bench", WS_OVERLAPPEDWINDOW, 0, 0,
                         400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}
void DestroyTimedWindow(HWND Window) { DestroyWindow(Window); }

bool Ready() {
  if (WineHost::PluginDll().OnCommand) return true;
  std::fprintf(stderr, "Tarnwick.dll or its OnCommand export not found\n");
  return false;
}

// Runs the command through the DLL's export, the real menu answered from the keyboard (the
// items in menu order are commands 1 to 12).
bool RunCommand(HWND Window, int Id) {
  WineHost::AnswerNextMenu(Id);
  WineHost::PluginDll().OnCommand(Window);
  return WineHost::AllAnswersGiven();
}

void BinaryStdin() { _setmode(_fileno(stdin), _O_BINARY); }

#else

HWND CreateTimedWindow() { return standin::CreateWindowFor(TimingProc); }
void DestroyTimedWindow(HWND Window) { standin::DestroyWindowFor(Window); }
bool Ready() { return true; }

bool RunCommand(HWND Window, int Id) {
  standin::SetMenuChooser([Id](const standin::TrackedMenu&) { return static_cast<BOOL>(Id); });
  Tarnwick::OnCommand(Window);
  return true;
}

void BinaryStdin() {}

#endif

// Lines as the editor counts them: every break (CR LF, CR, LF) ends one; a last line without
// a break counts too.
size_t CountLines(const std::u16string& Text) {
  size_t Lines = 0;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == u'\n' || (Text[I] == u'\r' && (I + 1 == Text.size() || Text[I + 1] != u'\n'))) {
      ++Lines;
    }
  }
  const bool Open = !Text.empty() && Text.back() != u'\n' && Text.back() != u'\r';
  return Lines + (Open ? 1 : 0);
}

double Seconds(Clock::duration D) { return std::chrono::duration<double>(D).count(); }

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc < 3) {
    std::fprintf(stderr, "usage: %s RUNS ID [ID...] < DOCUMENT\n", Argv[0]);
    return 2;
  }
  const int Runs = std::atoi(Argv[1]);
  std::vector<int> Ids;
  for (int I = 2; I < Argc; ++I) Ids.push_back(std::atoi(Argv[I]));
  if (Runs < 1) {
    std::fprintf(stderr, "RUNS must be at least 1\n");
    return 2;
  }
  for (int Id : Ids) {
    // Command 12 answers with a highlight pattern rather than new text: not timed here.
    if (Id < 1 || Id > 11) {
      std::fprintf(stderr, "ID must be a writing command, 1 to 11\n");
      return 2;
    }
  }
  if (!Ready()) return 1;

  BinaryStdin();
  const std::string Utf8((std::istreambuf_iterator<char>(std::cin)),
                         std::istreambuf_iterator<char>());
  const std::u16string Document = Utf8::DecodeReplacing(Utf8);
  const size_t LinesIn = CountLines(Document);

  for (int Id : Ids) {
    for (int Run = 1; Run <= Runs; ++Run) {
      SimEditor::TEditor Editor;
      Editor.Document = Document;
      HWND Window = CreateTimedWindow();
      if (!Window) {
        std::fprintf(stderr, "cannot create the editor's window\n");
        return 1;
      }
      SimEditor::Attach(Window, &Editor);
      Times = TTimes{};

#ifndef _WIN32
      Live = 0;
      Peak = 0;
      Counting = true;
#endif
      const Clock::time_point Start = Clock::now();
      const bool Answered = RunCommand(Window, Id);
      const Clock::time_point End = Clock::now();
#ifndef _WIN32
      Counting = false;
#endif

      SimEditor::Detach(Window);
      DestroyTimedWindow(Window);
      if (!Answered || !Times.Chosen) {
        std::fprintf(stderr, "command %d was not chosen from the menu\n", Id);
        return 1;
      }
      const Clock::duration Command = End - Times.ChosenAt;
      std::printf(
          "id=%d run=%d lines_in=%zu lines_out=%zu command_s=%.4f editor_s=%.4f "
          "plugin_s=%.4f total_s=%.4f",
          Id, Run, LinesIn, CountLines(Editor.Document), Seconds(Command), Seconds(Times.Editor),
          Seconds(Command - Times.Editor), Seconds(End - Start));
#ifndef _WIN32
      // The text read and the result handed back, each in UTF-16 with its terminating NUL.
      const double TextBytes = 2.0 * static_cast<double>(Document.size() + 1);
      const double ResultBytes = 2.0 * static_cast<double>(Editor.Document.size() + 1);
      std::printf(" extra_x=%.3f",
                  (static_cast<double>(Peak.load()) - TextBytes - ResultBytes) / TextBytes);
#endif
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  return 0;
}

#ifndef _WIN32
void* operator new(size_t Size) { return Allocate(Size); }
void* operator new[](size_t Size) { return Allocate(Size); }
void operator delete(void* Pointer) noexcept { Release(Pointer); }
void operator delete[](void* Pointer) noexcept { Release(Pointer); }
void operator delete(void* Pointer, size_t) noexcept { Release(Pointer); }
void operator delete[](void* Pointer, size_t) noexcept { Release(Pointer); }
#endif
