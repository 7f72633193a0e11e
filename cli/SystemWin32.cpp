// The operating-system layer on Windows: wide-character paths and arguments, whole-file reads,
// and a temporary file that replaces the target with ReplaceFileW / MoveFileExW.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <climits>
#include <cstdint>
#include <cstdio>
#include <new>

#include "cli/GrowString.h"
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
constexpr const char* kCannotCreateTempFor =
    Messages::ForTranslation("cannot create a temporary file for %s");

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
  GrowForWriting(data, capacity);
  size_t used = 0;
  for (;;) {
    if (used == data.size()) {
      if (data.size() >= SIZE_MAX / 4) throw std::bad_alloc();  // doubling would wrap
      GrowForWriting(data, data.size() * 2);
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
  if (!WriteFully(GetStdHandle(STD_OUTPUT_HANDLE), Bytes)) {
    const DWORD error = GetLastError();
    Fail(kCannotWrite, Messages::Translate("standard output"), error);
  }
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

void WriteOutput(const std::string& Path, std::string_view Bytes) {
  const std::wstring target = Wide(Path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EFileError(Messages::Translate("not a regular file: %s", {Path}));
  // What the user may not open for writing is refused (a rename would replace a read-only
  // file), and a device such as NUL or CON, or a pipe, is written as it is.
  HANDLE existing = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      Fail(kCannotWrite, Path, error);
  } else if (GetFileType(existing) != FILE_TYPE_DISK) {
    const DWORD error = WriteFully(existing, Bytes) ? 0 : GetLastError();
    CloseHandle(existing);
    if (error != 0) Fail(kCannotWrite, Path, error);
    return;
  } else {
    CloseHandle(existing);
  }

  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  HANDLE h = INVALID_HANDLE_VALUE;
  std::wstring temp;
  for (unsigned attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temp = folder + L".tarnwick-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount() + attempt) + L".tmp";
    h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) Fail(kCannotCreateTempFor, Path, GetLastError());
  wcsncpy(gTempPath, temp.c_str(), sizeof gTempPath / sizeof gTempPath[0] - 1);
  SetConsoleCtrlHandler(RemoveTemp, TRUE);

  DWORD error = 0;
  if (!WriteFully(h, Bytes) || !FlushFileBuffers(h)) error = GetLastError();
  CloseHandle(h);
  // ReplaceFileW keeps the replaced file's attributes and security; a new file is moved in.
  if (error == 0) {
    const bool done = (exists && ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
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

}  // namespace System
