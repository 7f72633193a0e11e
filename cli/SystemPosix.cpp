// The operating-system layer on POSIX: plain descriptors, one read for a regular file, and
// mkstemp + fsync + rename for the atomic replacement.
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "base/GrowString.h"
#include "base/Parallel.h"
#include "cli/Messages.h"
#include "cli/PosixCalls.h"
#include "cli/System.h"

namespace System {

namespace Posix {

TCalls& Calls() {
  static TCalls calls = {
      [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
      ::read,
      ::pread,
      ::lseek,
      ::write,
      ::fsync,
      ::fchown,
      ::close,
      ::rename,
      ::linkat,
  };
  return calls;
}

}  // namespace Posix

namespace {

using Posix::Calls;

// What failed, marked for translation: "%s" is the file.
constexpr const char* kCannotResolve = Messages::ForTranslation("cannot resolve %s");
constexpr const char* kCannotOpen = Messages::ForTranslation("cannot open %s");
constexpr const char* kCannotRead = Messages::ForTranslation("cannot read %s");
constexpr const char* kCannotWrite = Messages::ForTranslation("cannot write %s");

[[noreturn]] void Fail(const char* What, const std::string& Path, int Error) {
  throw EFileError(Messages::Translate(What, {Path}) + ": " + std::strerror(Error));
}

bool WriteFully(int fd, std::string_view Bytes) {
  while (!Bytes.empty()) {
    const ssize_t n = Calls().Write(fd, Bytes.data(), Bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A failed write within WritePieces, with its errno.
struct TPutFailed {
  int Error;
};

// WriteFully of each piece in turn; false, errno set, at the first that fails (the pieces
// after it are not made).
bool WritePieces(int fd, const TPieces& Pieces) {
  try {
    Pieces([fd](std::string_view Bytes) {
      if (!WriteFully(fd, Bytes)) throw TPutFailed{errno};
    });
  } catch (const TPutFailed& e) {
    errno = e.Error;
    return false;
  }
  return true;
}

// The temporary file being written, removed again when a signal ends the run. An unnamed
// file (O_TMPFILE) needs no removal: it vanishes with the process.
char gTempPath[PATH_MAX + 32];

extern "C" void RemoveTempAndDie(int signal) {
  if (gTempPath[0] != '\0') ::unlink(gTempPath);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Every signal whose default action ends the process and that a handler may catch.
constexpr int kFatalSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGPIPE,   SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};

class TTempGuard {
 public:
  explicit TTempGuard(const std::string& Path) {
    std::strncpy(gTempPath, Path.c_str(), sizeof gTempPath - 1);
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    for (int s : kFatalSignals) {
      struct sigaction old {};
      // A signal the caller ignores (nohup, or SIGXFSZ below) stays ignored.
      if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
      ::sigaction(s, &action, nullptr);
    }
  }
  ~TTempGuard() {
    if (!Kept) ::unlink(gTempPath);
    gTempPath[0] = '\0';
  }
  bool Kept = false;
};

// A name for a temporary file in Folder ("" or ending in '/'), different at each call.
std::string TempName(const std::string& Folder) {
  static unsigned counter = 0;
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long seed = (static_cast<unsigned long long>(::getpid()) << 32) ^
                            static_cast<unsigned long long>(::time(nullptr)) * 2654435761u ^
                            (++counter * 0x9E3779B97F4A7C15ull);
  std::string name = Folder + ".tarnwick-";
  for (int i = 0; i < 8; ++i, seed /= 36) name += kDigits[seed % 36];
  return name;
}

// Path with its symbolic links followed, also when the last one dangles: writing through a
// link writes the file it names (creating it, as a shell redirection does), and the link stays.
std::string FollowLinks(const std::string& Path) {
  std::string path = Path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0) Fail(kCannotResolve, Path, errno);
    link.resize(static_cast<size_t>(n));
    const size_t slash = path.find_last_of('/');
    path = link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
  }
  Fail(kCannotResolve, Path, ELOOP);
}

}  // namespace

void PrepareForLargeTexts() {
  // Past a file-size limit a write then fails with EFBIG, reported like a full disk (and the
  // temporary file removed), rather than the signal ending the process mid-write.
  ::signal(SIGXFSZ, SIG_IGN);
#ifdef __GLIBC__
  // The line lists allocate one small block per line and free them all together. glibc's fast
  // bins would keep a million of them unmerged and then consolidate them one by one on the
  // next large allocation; without fast bins they merge as they are freed (a fifth less time
  // for a sort of a million lines).
  mallopt(M_MXFAST, 0);
#endif
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

namespace {

// Files from this size on are read in parts, one a thread.
constexpr size_t ReadInPartsFrom = size_t{8} << 20;

// Reads the first Size bytes of the regular file Fd into Data in parts, one a thread: the
// kernel's copy into fresh pages, and their page faults, are then shared between the threads.
// Returns how many bytes from the start are read; fewer than Size when the file came up short
// (it shrank meanwhile), the caller reading on from there. 0 and errno when a read failed.
size_t ReadInParts(int Fd, char* Data, size_t Size, int& Error) {
  const size_t Parts = Parallel::ThreadCount();
  std::vector<size_t> Got(Parts);
  std::atomic<int> Failed{0};
  Parallel::ForEachPart(Parts, [&](size_t P) {
    const size_t Begin = Parallel::PartBegin(Size, Parts, P);
    const size_t End = Parallel::PartBegin(Size, Parts, P + 1);
    size_t At = Begin;
    while (At < End && Failed.load(std::memory_order_relaxed) == 0) {
      const ssize_t N = Calls().Pread(Fd, Data + At, End - At, static_cast<off_t>(At));
      if (N < 0 && errno == EINTR) continue;
      if (N < 0) Failed = errno;
      if (N <= 0) break;
      At += static_cast<size_t>(N);
    }
    Got[P] = At - Begin;
  });
  Error = Failed;
  if (Error != 0) return 0;
  size_t Read = 0;
  for (size_t P = 0; P < Parts; ++P) {
    Read += Got[P];
    if (Read < Parallel::PartBegin(Size, Parts, P + 1)) break;
  }
  return Read;
}

}  // namespace

std::string ReadAll(const std::string& Path) {
  const bool isStdin = Path == "-";
  const int fd = isStdin ? STDIN_FILENO : Calls().Open(Path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) Fail(kCannotOpen, Path, errno);
  struct stat st {};
  // A regular file is read with its size known, normally in one call; pipes grow the buffer.
  size_t capacity = 1 << 16;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    // A size the address space cannot hold would wrap (on 32-bit systems) and read as less.
    if (static_cast<unsigned long long>(st.st_size) >= SIZE_MAX / 2) {
      if (!isStdin) ::close(fd);
      throw EFileError(
          Messages::Translate("cannot read %s: it is too large for this program (%s bytes)",
                              {Path, std::to_string(st.st_size)}));
    }
    capacity = static_cast<size_t>(st.st_size) + 1;
  }
  std::string data;
  Strings::GrowForWriting(data, capacity);
  size_t used = 0;
  if (!isStdin && capacity > ReadInPartsFrom && Parallel::ThreadCount() > 1) {
    int error = 0;
    used = ReadInParts(fd, data.data(), capacity - 1, error);
    // The rest, if the file changed meanwhile, is read on as from a pipe.
    if (error != 0 || Calls().Lseek(fd, static_cast<off_t>(used), SEEK_SET) < 0) {
      if (error == 0) error = errno;
      ::close(fd);
      Fail(kCannotRead, Path, error);
    }
  }
  for (;;) {
    if (used == data.size()) {
      if (data.size() >= SIZE_MAX / 4) throw std::bad_alloc();  // doubling would wrap
      Strings::GrowForWriting(data, data.size() * 2);
    }
    const ssize_t n = Calls().Read(fd, data.data() + used, data.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      if (!isStdin) ::close(fd);
      Fail(kCannotRead, isStdin ? Messages::Translate("standard input") : Path, error);
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  if (!isStdin) ::close(fd);
  data.resize(used);
  return data;
}

void WriteStdout(std::string_view Bytes) {
  WriteStdout([Bytes](const auto& Put) { Put(Bytes); });
}

void WriteStdout(const TPieces& Pieces) {
  if (!WritePieces(STDOUT_FILENO, Pieces)) {
    const int error = errno;
    Fail(kCannotWrite, Messages::Translate("standard output"), error);
  }
}

void WriteStdoutText(std::string_view Utf8Text) { WriteStdout(Utf8Text); }

void WriteStderr(std::string_view Utf8Message) { WriteFully(STDERR_FILENO, Utf8Message); }

namespace {

// Rewrites the file open as Fd in place: for a file that a rename would split from its other
// hard links, or that cannot be replaced by one with its owner and group. Room for a longer result
// is reserved first, so that a full disk is found before a byte changes; a failure after that
// leaves the file partly rewritten, as with sort -o.
void RewriteInPlace(int Fd, const std::string& Path, const TPieces& Pieces, uint64_t Size,
                    off_t OldSize) {
  if (static_cast<off_t>(Size) > OldSize) {
    const int error = ::posix_fallocate(Fd, 0, static_cast<off_t>(Size));
    if (error == ENOSPC || error == EFBIG || error == EDQUOT) {
      Calls().Close(Fd);
      Fail(kCannotWrite, Path, error);
    }
  }
  int error = 0;
  if (::lseek(Fd, 0, SEEK_SET) != 0 || !WritePieces(Fd, Pieces) ||
      ::ftruncate(Fd, ::lseek(Fd, 0, SEEK_CUR)) != 0 || Calls().Fsync(Fd) != 0)
    error = errno;
  if (Calls().Close(Fd) != 0 && error == 0) error = errno;
  if (error != 0) Fail(kCannotWrite, Path, error);
}

// Opens a new file in Folder ("" or ending in '/') that nobody else can see yet: unnamed
// (O_TMPFILE) where the file system allows it and MayBeUnnamed, so that not even SIGKILL can
// leave it behind; otherwise named, with its name in Name. -1 (errno set) when none can be made.
int OpenTemp(const std::string& Folder, bool MayBeUnnamed, std::string& Name) {
  Name.clear();
#ifdef O_TMPFILE
  if (MayBeUnnamed) {
    const std::string folder = Folder.empty() ? "." : Folder;
    const int fd = Calls().Open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
  }
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    Name = TempName(Folder);
    const int fd = Calls().Open(Name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  Name.clear();
  errno = error;
  return -1;
}

// Whether a temporary file can be made in Folder, found by making one and removing it again:
// 0, or the error that prevents it.
int TempFileError(const std::string& Folder) {
  std::string name;
  const int fd = OpenTemp(Folder, true, name);
  if (fd < 0) return errno;
  ::close(fd);
  if (!name.empty()) ::unlink(name.c_str());
  return 0;
}

// Writes Bytes to a new file in Folder and gives it the name Target, replacing what was there
// (Old, when something was). False, with nothing changed, when the new file cannot be made or
// cannot have Old's owner and group: the caller then rewrites the file in place.
bool ReplaceFile(const std::string& Path, const std::string& Target, const std::string& Folder,
                 const TPieces& Pieces, const struct stat* Old, bool MayBeUnnamed = true) {
  mode_t mode;
  if (Old != nullptr) {
    mode = Old->st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  std::string temp;
  int fd = OpenTemp(Folder, MayBeUnnamed, temp);
  if (fd < 0 && Old != nullptr) return false;
  if (fd < 0) Fail(kCannotWrite, Path, errno);
  const bool unnamed = temp.empty();
  std::unique_ptr<TTempGuard> guard;
  if (!unnamed) guard = std::make_unique<TTempGuard>(temp);

  // A replacement with another owner or group would hand the file to the user who ran this
  // tool (and a set-user-ID program would then run as that user): where the owner and group
  // cannot be kept, the file is rewritten in place instead. The mode is set after them, as
  // changing the owner clears the set-user-ID and set-group-ID bits.
  if (Old != nullptr && Calls().Fchown(fd, Old->st_uid, Old->st_gid) != 0) {
    ::close(fd);
    return false;
  }
  int error = 0;
  if (::fchmod(fd, mode) != 0 || !WritePieces(fd, Pieces) || Calls().Fsync(fd) != 0) error = errno;
  if (error == 0 && unnamed) {
    // Linked in under a temporary name first: a link cannot replace an existing file.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = TempName(Folder);
      guard = std::make_unique<TTempGuard>(temp);
      if (Calls().Linkat(AT_FDCWD, self, AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      error = errno;
      guard->Kept = true;  // nothing was made
      guard.reset();
      if (error != EEXIST) break;
    }
  }
  if (Calls().Close(fd) != 0 && error == 0) error = errno;
  // Without /proc the unnamed file cannot be linked in: write a named one instead.
  if (error == ENOENT && unnamed) return ReplaceFile(Path, Target, Folder, Pieces, Old, false);
  if (error == 0 && Calls().Rename(temp.c_str(), Target.c_str()) != 0) error = errno;
  if (error != 0) Fail(kCannotWrite, Path, error);
  guard->Kept = true;
  // The rename itself is made durable by syncing the folder; failing that is not an error.
  const int dir = ::open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

// How the output reaches its file, and what is known of that file.
struct TOutputPlan {
  enum TWay { wStdout, wDirect, wInPlace, wReplace } Way = wReplace;
  std::string Target;  // the file the path's links lead to
  std::string Folder;  // Target's folder: "" or ending in '/'
  bool Exists = false;
  struct stat Old {};
  int Fd = -1;  // Target open for writing, when it is a regular file
  TOutputPlan() = default;
  TOutputPlan(const TOutputPlan&) = delete;
  TOutputPlan& operator=(const TOutputPlan&) = delete;
  ~TOutputPlan() {
    if (Fd >= 0) ::close(Fd);
  }
};

// Finds how Path is written, failing (naming Path) where it cannot be.
void PlanOutput(const std::string& Path, TOutputPlan& Plan) {
  struct stat st {
  }, out{};
  // -o /dev/stdout (or a name for the file standard output already writes to): write there,
  // after what the shell or earlier commands wrote, rather than replace the whole file.
  if (::stat(Path.c_str(), &st) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
      st.st_dev == out.st_dev && st.st_ino == out.st_ino) {
    Plan.Way = TOutputPlan::wStdout;
    return;
  }
  Plan.Target = FollowLinks(Path);
  const size_t slash = Plan.Target.find_last_of('/');
  Plan.Folder = slash == std::string::npos ? "" : Plan.Target.substr(0, slash + 1);
  Plan.Exists = ::stat(Plan.Target.c_str(), &Plan.Old) == 0;
  if (Plan.Exists && !S_ISREG(Plan.Old.st_mode)) {
    // A device, a FIFO or a terminal cannot be replaced: it is written as it is. It is only
    // checked here, as opening a FIFO waits for its reader.
    if (::faccessat(AT_FDCWD, Plan.Target.c_str(), W_OK, AT_EACCESS) != 0)
      Fail(kCannotWrite, Path, errno);
    Plan.Way = TOutputPlan::wDirect;
    return;
  }
  if (Plan.Exists) {
    // Only a file the user may write is written (a rename would replace a read-only one).
    Plan.Fd = Calls().Open(Plan.Target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0);
    if (Plan.Fd < 0) Fail(kCannotWrite, Path, errno);
    // A file with several hard links, which a rename would split, is rewritten in place (and
    // so is one that ReplaceFile finds it cannot replace).
    if (Plan.Old.st_nlink > 1) Plan.Way = TOutputPlan::wInPlace;
    return;
  }
  if (const int error = TempFileError(Plan.Folder)) Fail(kCannotWrite, Path, error);
}

}  // namespace

bool SameFile(const std::string& A, const std::string& B) {
  const auto Of = [](const std::string& Path, struct stat& St) {
    return Path == "-" ? ::fstat(STDIN_FILENO, &St) == 0 : ::stat(Path.c_str(), &St) == 0;
  };
  struct stat StA {
  }, StB{};
  return Of(A, StA) && Of(B, StB) && StA.st_dev == StB.st_dev && StA.st_ino == StB.st_ino;
}

void CheckOutput(const std::string& Path) {
  TOutputPlan plan;
  PlanOutput(Path, plan);
}

namespace {

// WriteOutput of Pieces. Only pieces that Repeatable can be made again may go to an unnamed
// file first, which a system without /proc cannot link in (they are then written again to a
// named one).
void WriteOutputOf(const std::string& Path, const TPieces& Pieces, uint64_t SizeHint,
                   bool Repeatable) {
  TOutputPlan plan;
  PlanOutput(Path, plan);
  switch (plan.Way) {
    case TOutputPlan::wStdout:
      return WriteStdout(Pieces);
    case TOutputPlan::wDirect: {
      const int fd = Calls().Open(plan.Target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0);
      if (fd < 0) Fail(kCannotWrite, Path, errno);
      int error = WritePieces(fd, Pieces) ? 0 : errno;
      if (Calls().Close(fd) != 0 && error == 0) error = errno;
      if (error != 0) Fail(kCannotWrite, Path, error);
      return;
    }
    case TOutputPlan::wReplace:
      if (ReplaceFile(Path, plan.Target, plan.Folder, Pieces, plan.Exists ? &plan.Old : nullptr,
                      Repeatable))
        return;
      [[fallthrough]];
    case TOutputPlan::wInPlace: {
      const int fd = plan.Fd;
      plan.Fd = -1;  // RewriteInPlace closes it
      return RewriteInPlace(fd, Path, Pieces, SizeHint, plan.Old.st_size);
    }
  }
}

}  // namespace

void WriteOutput(const std::string& Path, std::string_view Bytes) {
  WriteOutputOf(
      Path, [Bytes](const auto& Put) { Put(Bytes); }, Bytes.size(), true);
}

void WriteOutput(const std::string& Path, const TPieces& Pieces, uint64_t SizeHint) {
  WriteOutputOf(Path, Pieces, SizeHint, false);
}

bool StdoutIsColourTerminal() {
  // NO_COLOR set to anything but the empty string turns colour off, as in other tools.
  const char* noColour = std::getenv("NO_COLOR");
  if (noColour != nullptr && *noColour != '\0') return false;
  if (!::isatty(STDOUT_FILENO)) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

uint64_t PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}

uint64_t AvailableMemory() {
#ifdef _SC_AVPHYS_PAGES
  const long pages = ::sysconf(_SC_AVPHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
#else
  return 0;
#endif
}

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

TInput::TInput(const std::string& Path) : FPath(Path) {
  const bool isStdin = Path == "-";
  const int fd = isStdin ? STDIN_FILENO : Calls().Open(Path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) Fail(kCannotOpen, Path, errno);
  FHandle = fd;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) FSize = st.st_size;
}

TInput::~TInput() {
  if (FPath != "-") ::close(static_cast<int>(FHandle));
}

size_t TInput::Read(char* Buffer, size_t Size) {
  for (;;) {
    const ssize_t n = Calls().Read(static_cast<int>(FHandle), Buffer, Size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) {
      Fail(kCannotRead, FPath == "-" ? Messages::Translate("standard input") : FPath, errno);
    }
  }
}

size_t TInput::ReadAt(char* Buffer, size_t Size, uint64_t Offset) {
  size_t Done = 0;
  while (Done < Size) {
    const ssize_t n = Calls().Pread(static_cast<int>(FHandle), Buffer + Done, Size - Done,
                                    static_cast<off_t>(Offset + Done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(kCannotRead, FPath, errno);
    if (n == 0) break;
    Done += static_cast<size_t>(n);
  }
  return Done;
}

TTempFile::TTempFile(const std::string& Folder) : FFolder(Folder) {
  int fd = -1;
#ifdef O_TMPFILE
  fd = Calls().Open(Folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    // A named file, removed at once: the fatal signals wait meanwhile, so that none can end
    // the process between the two.
    sigset_t all, old;
    sigfillset(&all);
    ::sigprocmask(SIG_BLOCK, &all, &old);
    const std::string prefix = Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = TempName(prefix);
      fd = Calls().Open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
      if (fd >= 0) {
        ::unlink(name.c_str());
        break;
      }
      error = errno;
      if (error != EEXIST) break;
    }
    ::sigprocmask(SIG_SETMASK, &old, nullptr);
    if (fd < 0) {
      throw EFileError(Messages::Translate("cannot make a temporary file in %s", {Folder}) + ": " +
                       std::strerror(error));
    }
  }
  FHandle = fd;
}

TTempFile::~TTempFile() { ::close(static_cast<int>(FHandle)); }

void TTempFile::Fail(int Error) const {
  throw EFileError(Messages::Translate("cannot write a temporary file in %s", {FFolder}) + ": " +
                   std::strerror(Error));
}

void TTempFile::Write(std::string_view Bytes) {
  if (!WriteFully(static_cast<int>(FHandle), Bytes)) Fail(errno);
}

void TTempFile::Rewind() {
  if (Calls().Lseek(static_cast<int>(FHandle), 0, SEEK_SET) != 0) Fail(errno);
}

size_t TTempFile::Read(char* Buffer, size_t Size) {
  for (;;) {
    const ssize_t n = Calls().Read(static_cast<int>(FHandle), Buffer, Size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) {
      throw EFileError(Messages::Translate("cannot read a temporary file in %s", {FFolder}) + ": " +
                       std::strerror(errno));
    }
  }
}

}  // namespace System
