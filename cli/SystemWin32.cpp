// The operating-system layer on Windows: wide-character paths and arguments, whole-file reads,
// and a temporary file that replaces the target with ReplaceFileW / MoveFileExW.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <climits>
#include <cstdint>
#include <cstdio>
#include <new>

#include "base/GrowString.h"
#include "cli/Messages.h"
#include "cli/System.h"

namespace System {
namespace {

std::wstring Wide(const std::string& Utf8) {
  if (Utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const wchar_t* Wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, Wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, Wide, -1, out.data(), n, nullptr, nullptr);
  out.resize(n - 1);
  return out;
}

// What failed, marked for translation: "%s" is the file.
constexpr const char* kCannotOpen = Messages::ForTranslation("cannot open %s");
constexpr const char* kCannotRead = Messages::ForTranslation("cannot read %s");
constexpr const char* kCannotWrite = Messages::ForTranslation("cannot write %s");
constexpr const char* kCannotMakeTemp =
    Messages::ForTranslation("cannot make a temporary file in %s");
constexpr const char* kCannotWriteTemp =
    Messages::ForTranslation("cannot write a temporary file in %s");
constexpr const char* kCannotReadTemp =
    Messages::ForTranslation("cannot read a temporary file in %s");

[[noreturn]] void Fail(const char* What, const std::string& Path, DWORD Error) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, Error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string reason =
      text ? Utf8(text) : Messages::Translate("Windows error %s", {std::to_string(Error)});
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  throw EFileError(Messages::Translate(What, {Path}) + ": " + reason);
}

bool WriteFully(HANDLE h, std::string_view Bytes) {
  while (!Bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, Bytes.data(), chunk, &written, nullptr)) return false;
    Bytes.remove_prefix(written);
  }
  return true;
}

// A failed write within WritePieces, with its error.
struct TPutFailed {
  DWORD Error;
};

// WriteFully of each piece in turn; false, the error in GetLastError, at the first that fails.
bool WritePieces(HANDLE h, const TPieces& Pieces) {
  try {
    Pieces([h](std::string_view Bytes) {
      if (!WriteFully(h, Bytes)) throw TPutFailed{GetLastError()};
    });
  } catch (const TPutFailed& e) {
    SetLastError(e.Error);
    return false;
  }
  return true;
}

// The temporary file being written, removed again when Ctrl+C or closing ends the run.
wchar_t gTempPath[MAX_PATH * 4];

BOOL WINAPI RemoveTemp(DWORD) {
  if (gTempPath[0] != L'\0') DeleteFileW(gTempPath);
  return FALSE;
}

}  // namespace

void PrepareForLargeTexts() {}

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

std::string ReadAll(const std::string& Path) {
  const bool isStdin = Path == "-";
  HANDLE h = isStdin
                 ? GetStdHandle(STD_INPUT_HANDLE)
                 : CreateFileW(Wide(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(kCannotOpen, Path, GetLastError());
  size_t capacity = 1 << 16;
  LARGE_INTEGER size{};
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size)) {
    // On 32-bit Windows a size of 4 GiB or more does not fit size_t, and the byte after it
    // could wrap to 0: the file would read as empty. Half the address space is already more
    // than the text and its conversions can use.
    if (static_cast<unsigned long long>(size.QuadPart) >= SIZE_MAX / 2) {
      if (!isStdin) CloseHandle(h);
      throw EFileError(
          Messages::Translate("cannot read %s: it is too large for this program (%s bytes)",
                              {Path, std::to_string(size.QuadPart)}));
    }
    capacity = static_cast<size_t>(size.QuadPart) + 1;
  }
  std::string data;
  Strings::GrowForWriting(data, capacity);
  size_t used = 0;
  for (;;) {
    if (used == data.size()) {
      if (data.size() >= SIZE_MAX / 4) throw std::bad_alloc();  // doubling would wrap
      Strings::GrowForWriting(data, data.size() * 2);
    }
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - used, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(h, data.data() + used, chunk, &got, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;  // the writer closed the pipe: end of input
      if (!isStdin) CloseHandle(h);
      Fail(kCannotRead, isStdin ? Messages::Translate("standard input") : Path, error);
    }
    if (got == 0) break;
    used += got;
  }
  if (!isStdin) CloseHandle(h);
  data.resize(used);
  return data;
}

void WriteStdout(std::string_view Bytes) {
  WriteStdout([Bytes](const auto& Put) { Put(Bytes); });
}

void WriteStdout(const TPieces& Pieces) {
  if (WritePieces(GetStdHandle(STD_OUTPUT_HANDLE), Pieces)) return;
  const DWORD error = GetLastError();
  // The reader closed the pipe (tarnwick reverse big.txt | head -1): it wants no more, and
  // the run ends quietly, with the status a shell shows for a program ended by SIGPIPE.
  if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED)
    ExitProcess(128 + 13);
  Fail(kCannotWrite, Messages::Translate("standard output"), error);
}

namespace {

// Writes UTF-8 text to a console as characters, which it shows whatever its code page; to a
// file or pipe as the bytes. False when the writing failed.
bool WriteText(HANDLE h, std::string_view Utf8Text) {
  DWORD mode;
  if (!GetConsoleMode(h, &mode)) return WriteFully(h, Utf8Text);
  const std::wstring wide = Wide(std::string(Utf8Text));
  DWORD written;
  return WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void WriteStdoutText(std::string_view Utf8Text) {
  if (!WriteText(GetStdHandle(STD_OUTPUT_HANDLE), Utf8Text)) {
    const DWORD error = GetLastError();
    Fail(kCannotWrite, Messages::Translate("standard output"), error);
  }
}

void WriteStderr(std::string_view Utf8Message) {
  WriteText(GetStdHandle(STD_ERROR_HANDLE), Utf8Message);
}

namespace {

// A new file in Folder ("" or ending in a separator) under a name of its own, or
// INVALID_HANDLE_VALUE with the error in GetLastError.
HANDLE CreateTemp(const std::wstring& Folder, DWORD Flags, std::wstring& Name) {
  HANDLE h = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    Name = Folder + L".tarnwick-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount() + attempt) + L".tmp";
    h = CreateFileW(Name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, Flags, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return h;
}

// How the output reaches its file, and the file, open for writing when it is written as it is.
struct TOutputPlan {
  enum TWay { wDirect, wInPlace, wReplace } Way = wReplace;
  std::wstring Target, Folder;
  bool Exists = false;
  HANDLE File = INVALID_HANDLE_VALUE;
  TOutputPlan() = default;
  TOutputPlan(const TOutputPlan&) = delete;
  TOutputPlan& operator=(const TOutputPlan&) = delete;
  ~TOutputPlan() {
    if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
  }
};

// Finds how Path is written, failing (naming Path) where it cannot be.
void PlanOutput(const std::string& Path, TOutputPlan& Plan) {
  Plan.Target = Wide(Path);
  const size_t slash = Plan.Target.find_last_of(L"\\/");
  Plan.Folder = slash == std::wstring::npos ? L"" : Plan.Target.substr(0, slash + 1);
  const DWORD attributes = GetFileAttributesW(Plan.Target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EFileError(Messages::Translate("not a regular file: %s", {Path}));
  // What the user may not open for writing is refused (a rename would replace a read-only
  // file), and a device such as NUL or CON, or a pipe, is written as it is.
  Plan.File = CreateFileW(Plan.Target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Plan.File == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      Fail(kCannotWrite, Path, error);
  } else if (GetFileType(Plan.File) != FILE_TYPE_DISK) {
    Plan.Way = TOutputPlan::wDirect;
    return;
  } else {
    Plan.Exists = true;
  }
  // The replacement is made in the same folder. Where no file can be made there (the user may
  // write the file but not the folder), an existing file is rewritten in place.
  std::wstring probe;
  HANDLE h = CreateTemp(Plan.Folder, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, probe);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    if (Plan.Exists) {
      CloseHandle(Plan.File);  // a file open elsewhere could not be replaced
      Plan.File = INVALID_HANDLE_VALUE;
    }
    return;
  }
  if (!Plan.Exists) Fail(kCannotWrite, Path, GetLastError());
  Plan.Way = TOutputPlan::wInPlace;
}

// Rewrites the file open as File from its start. Room for the result is reserved first, so that
// a full disk is found before a byte changes; a failure after that leaves the file partly
// rewritten, as with sort -o.
void RewriteInPlace(HANDLE File, const std::string& Path, const TPieces& Pieces, uint64_t Size) {
  FILE_ALLOCATION_INFO room{};
  room.AllocationSize.QuadPart = static_cast<LONGLONG>(Size);
  DWORD error = 0;
  if (!SetFileInformationByHandle(File, FileAllocationInfo, &room, sizeof room)) {
    error = GetLastError();
    if (error != ERROR_DISK_FULL && error != ERROR_HANDLE_DISK_FULL) error = 0;
  }
  const LARGE_INTEGER start{};
  if (error == 0 && (!SetFilePointerEx(File, start, nullptr, FILE_BEGIN) ||
                     !WritePieces(File, Pieces) || !SetEndOfFile(File) || !FlushFileBuffers(File)))
    error = GetLastError();
  CloseHandle(File);
  if (error != 0) Fail(kCannotWrite, Path, error);
}

}  // namespace

bool SameFile(const std::string& A, const std::string& B) {
  const auto Of = [](const std::string& Path, BY_HANDLE_FILE_INFORMATION& Info) {
    if (Path == "-") return GetFileInformationByHandle(GetStdHandle(STD_INPUT_HANDLE), &Info) != 0;
    const HANDLE h =
        CreateFileW(Wide(Path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool Known = GetFileInformationByHandle(h, &Info) != 0;
    CloseHandle(h);
    return Known;
  };
  BY_HANDLE_FILE_INFORMATION InfoA{}, InfoB{};
  return Of(A, InfoA) && Of(B, InfoB) && InfoA.dwVolumeSerialNumber == InfoB.dwVolumeSerialNumber &&
         InfoA.nFileIndexHigh == InfoB.nFileIndexHigh && InfoA.nFileIndexLow == InfoB.nFileIndexLow;
}

void CheckOutput(const std::string& Path) {
  TOutputPlan plan;
  PlanOutput(Path, plan);
}

void WriteOutput(const std::string& Path, std::string_view Bytes) {
  WriteOutput(
      Path, [Bytes](const auto& Put) { Put(Bytes); }, Bytes.size());
}

void WriteOutput(const std::string& Path, const TPieces& Pieces, uint64_t SizeHint) {
  TOutputPlan plan;
  PlanOutput(Path, plan);
  if (plan.Way != TOutputPlan::wReplace) {
    HANDLE file = plan.File;
    plan.File = INVALID_HANDLE_VALUE;
    if (plan.Way == TOutputPlan::wInPlace) return RewriteInPlace(file, Path, Pieces, SizeHint);
    const DWORD error = WritePieces(file, Pieces) ? 0 : GetLastError();
    CloseHandle(file);
    if (error != 0) Fail(kCannotWrite, Path, error);
    return;
  }

  std::wstring temp;
  HANDLE h = CreateTemp(plan.Folder, FILE_ATTRIBUTE_NORMAL, temp);
  if (h == INVALID_HANDLE_VALUE) Fail(kCannotWrite, Path, GetLastError());
  wcsncpy(gTempPath, temp.c_str(), sizeof gTempPath / sizeof gTempPath[0] - 1);
  SetConsoleCtrlHandler(RemoveTemp, TRUE);

  DWORD error = 0;
  try {
    if (!WritePieces(h, Pieces) || !FlushFileBuffers(h)) error = GetLastError();
  } catch (...) {
    // The pieces failed: the new file goes, the target stays as it was.
    CloseHandle(h);
    DeleteFileW(temp.c_str());
    gTempPath[0] = L'\0';
    SetConsoleCtrlHandler(RemoveTemp, FALSE);
    throw;
  }
  CloseHandle(h);
  // ReplaceFileW keeps the replaced file's attributes and security; a new file is moved in.
  if (error == 0) {
    const std::wstring& target = plan.Target;
    const bool done =
        (plan.Exists && ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) ||
        MoveFileExW(temp.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) error = GetLastError();
  }
  if (error != 0) DeleteFileW(temp.c_str());
  gTempPath[0] = L'\0';
  SetConsoleCtrlHandler(RemoveTemp, FALSE);
  if (error != 0) Fail(kCannotWrite, Path, error);
}

bool StdoutIsColourTerminal() {
  // NO_COLOR set to anything but the empty string turns colour off, as in other tools.
  if (GetEnvironmentVariableW(L"NO_COLOR", nullptr, 0) > 1) return false;
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode;
  if (!GetConsoleMode(h, &mode)) return false;
  return SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool StderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

uint64_t PhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

uint64_t AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}

std::string TemporaryFolder() {
  wchar_t folder[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH + 1) return ".";
  return Utf8(folder);
}

TInput::TInput(const std::string& Path) : FPath(Path) {
  const bool isStdin = Path == "-";
  HANDLE h = isStdin
                 ? GetStdHandle(STD_INPUT_HANDLE)
                 : CreateFileW(Wide(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(kCannotOpen, Path, GetLastError());
  FHandle = reinterpret_cast<intptr_t>(h);
  LARGE_INTEGER size{};
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size)) FSize = size.QuadPart;
}

TInput::~TInput() {
  if (FPath != "-") CloseHandle(reinterpret_cast<HANDLE>(FHandle));
}

size_t TInput::Read(char* Buffer, size_t Size) {
  DWORD got = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Size, 1u << 30));
  if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), Buffer, chunk, &got, nullptr)) {
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) return 0;  // the writer closed the pipe: end of input
    Fail(kCannotRead, FPath == "-" ? Messages::Translate("standard input") : FPath, error);
  }
  return got;
}

size_t TInput::ReadAt(char* Buffer, size_t Size, uint64_t Offset) {
  size_t Done = 0;
  while (Done < Size) {
    OVERLAPPED At{};
    At.Offset = static_cast<DWORD>(Offset + Done);
    At.OffsetHigh = static_cast<DWORD>((Offset + Done) >> 32);
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Size - Done, 1u << 30));
    if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), Buffer + Done, chunk, &got, &At)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      Fail(kCannotRead, FPath, error);
    }
    if (got == 0) break;
    Done += got;
  }
  return Done;
}

TTempFile::TTempFile(const std::string& Folder) : FFolder(Folder) {
  // Deleted when closed, which the system does also for a process that Ctrl+C or a kill ends;
  // no other process may open it meanwhile.
  std::wstring folder = Wide(Folder);
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  std::wstring name;
  HANDLE h = INVALID_HANDLE_VALUE;
  static unsigned counter = 0;
  for (unsigned attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    name = folder + L".tarnwick-run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount() + attempt) + L".tmp";
    h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) System::Fail(kCannotMakeTemp, Folder, GetLastError());
  FHandle = reinterpret_cast<intptr_t>(h);
}

TTempFile::~TTempFile() { CloseHandle(reinterpret_cast<HANDLE>(FHandle)); }

void TTempFile::Fail(int Error) const {
  System::Fail(kCannotWriteTemp, FFolder, static_cast<DWORD>(Error));
}

void TTempFile::Write(std::string_view Bytes) {
  if (!WriteFully(reinterpret_cast<HANDLE>(FHandle), Bytes)) Fail(static_cast<int>(GetLastError()));
}

void TTempFile::Rewind() {
  const LARGE_INTEGER start{};
  if (!SetFilePointerEx(reinterpret_cast<HANDLE>(FHandle), start, nullptr, FILE_BEGIN)) {
    Fail(static_cast<int>(GetLastError()));
  }
}

size_t TTempFile::Read(char* Buffer, size_t Size) {
  DWORD got = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Size, 1u << 30));
  if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), Buffer, chunk, &got, nullptr)) {
    System::Fail(kCannotReadTemp, FFolder, GetLastError());
  }
  return got;
}

}  // namespace System
