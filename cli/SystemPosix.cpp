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

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/System.h"

namespace System {
namespace {

[[noreturn]] void Fail(const std::string& What, const std::string& Path, int Error) {
  throw EFileError(What + " " + Path + ": " + std::strerror(Error));
}

bool WriteFully(int fd, std::string_view Bytes) {
  while (!Bytes.empty()) {
    const ssize_t n = ::write(fd, Bytes.data(), Bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The temporary file being written, removed again when a signal ends the run.
char gTempPath[PATH_MAX + 32];

extern "C" void RemoveTempAndDie(int signal) {
  if (gTempPath[0] != '\0') ::unlink(gTempPath);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

class TTempGuard {
 public:
  explicit TTempGuard(const std::string& Path) {
    std::strncpy(gTempPath, Path.c_str(), sizeof gTempPath - 1);
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &action, nullptr);
  }
  ~TTempGuard() {
    if (!Kept) ::unlink(gTempPath);
    gTempPath[0] = '\0';
  }
  bool Kept = false;
};

}  // namespace

void PrepareForLargeTexts() {
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

std::string ReadAll(const std::string& Path) {
  const bool isStdin = Path == "-";
  const int fd = isStdin ? STDIN_FILENO : ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open", Path, errno);
  struct stat st {};
  // A regular file is read with its size known, normally in one call; pipes grow the buffer.
  size_t capacity = 1 << 16;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) capacity = static_cast<size_t>(st.st_size) + 1;
  std::string data(capacity, '\0');
  size_t used = 0;
  for (;;) {
    if (used == data.size()) data.resize(data.size() * 2);
    const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      if (!isStdin) ::close(fd);
      Fail("cannot read", isStdin ? "standard input" : Path, error);
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  if (!isStdin) ::close(fd);
  data.resize(used);
  return data;
}

void WriteStdout(std::string_view Bytes) {
  if (!WriteFully(STDOUT_FILENO, Bytes)) Fail("cannot write", "standard output", errno);
}

void WriteStderr(std::string_view Utf8Message) { WriteFully(STDERR_FILENO, Utf8Message); }

void WriteAtomically(const std::string& Path, std::string_view Bytes) {
  // Writing through a symbolic link replaces the file it points to, and the link stays.
  std::string target = Path;
  struct stat st {};
  if (::lstat(Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* resolved = ::realpath(Path.c_str(), nullptr);
    if (resolved == nullptr) Fail("cannot resolve", Path, errno);
    target = resolved;
    std::free(resolved);
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) throw EFileError("not a regular file: " + Path);

  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : folder) + ".tarnwick-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) Fail("cannot create a temporary file in", folder, errno);
  TTempGuard guard(temp);

  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
      // Another owner cannot be given away without privilege; the permissions still apply.
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  int error = 0;
  if (::fchmod(fd, mode) != 0 || !WriteFully(fd, Bytes) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) Fail("cannot write", Path, error);
  guard.Kept = true;
  // The rename itself is made durable by syncing the folder; failing that is not an error.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

bool StdoutIsColourTerminal() {
  if (!::isatty(STDOUT_FILENO)) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

}  // namespace System
