// Writing the result with -o when the system fails midway: a full disk, a file-size limit, a
// failing flush, rename or link, a read error. The calls are made to fail through the seam in
// cli/PosixCalls.h; every failure must leave the target as it was and no temporary file.
#ifndef _WIN32
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "base/Parallel.h"
#include "cli/Arguments.h"
#include "cli/PosixCalls.h"
#include "cli/Spill.h"
#include "cli/System.h"

namespace {

namespace fs = std::filesystem;

// Which call fails, and how. Plain globals: the seam takes plain function pointers.
int gFailingCall = 0;  // the TCalls member index, see below; 0: none
int gError = 0;
bool gNoUnnamedFiles = false;
size_t gWritten = 0;

enum {
  kWrite = 1,
  kFsync,
  kClose,
  kRename,
  kLinkat,
  kRead,
  kNewFile,
  kFchown,
  kShortPart,
  kLseek,
  kInterrupt
};

class OutputFailure : public testing::Test {
 protected:
  void SetUp() override {
    Saved = System::Posix::Calls();
    System::Posix::TCalls& calls = System::Posix::Calls();
    calls.Open = [](const char* Path, int Flags, mode_t Mode) {
#ifdef O_TMPFILE
      const bool unnamed = (Flags & O_TMPFILE) == O_TMPFILE;
      if (gNoUnnamedFiles && unnamed) {
        errno = EOPNOTSUPP;
        return -1;
      }
#else
      const bool unnamed = false;
#endif
      // A folder where no file may be made.
      if (gFailingCall == kNewFile && (unnamed || (Flags & O_CREAT) != 0)) {
        errno = gError;
        return -1;
      }
      return ::open(Path, Flags, Mode);
    };
    // A write fails after some bytes have gone out, as a disk fills up.
    calls.Write = [](int Fd, const void* Buffer, size_t Size) -> ssize_t {
      if (gFailingCall == kWrite && gWritten > 0) {
        errno = gError;
        return -1;
      }
      const size_t part = gFailingCall == kWrite ? std::min<size_t>(Size, 3) : Size;
      const ssize_t n = ::write(Fd, Buffer, part);
      if (n > 0) gWritten += static_cast<size_t>(n);
      return n;
    };
    calls.Read = [](int Fd, void* Buffer, size_t Size) -> ssize_t {
      if (gFailingCall == kRead && gWritten > 0) {
        errno = gError;
        return -1;
      }
      const ssize_t n = ::read(Fd, Buffer, std::min<size_t>(Size, 4));
      if (n > 0) gWritten += static_cast<size_t>(n);
      return n;
    };
    calls.Fsync = [](int Fd) {
      return gFailingCall == kFsync ? (errno = gError, -1) : ::fsync(Fd);
    };
    calls.Fchown = [](int Fd, uid_t Owner, gid_t Group) {
      return gFailingCall == kFchown ? (errno = gError, -1) : ::fchown(Fd, Owner, Group);
    };
    calls.Close = [](int Fd) {
      const int result = ::close(Fd);
      return gFailingCall == kClose ? (errno = gError, -1) : result;
    };
    calls.Rename = [](const char* From, const char* To) {
      return gFailingCall == kRename ? (errno = gError, -1) : ::rename(From, To);
    };
    calls.Linkat = [](int A, const char* From, int B, const char* To, int Flags) {
      return gFailingCall == kLinkat ? (errno = gError, -1) : ::linkat(A, From, B, To, Flags);
    };
    char name[] = "/tmp/tarnwick-output-XXXXXX";
    Folder = ::mkdtemp(name);
    Target = Folder / "out.txt";
    std::ofstream(Target) << "old content\n";
    gWritten = 0;
  }
  void TearDown() override {
    System::Posix::Calls() = Saved;
    gFailingCall = gError = 0;
    gNoUnnamedFiles = false;
    fs::remove_all(Folder);
  }

  std::string Content(const fs::path& Path) const {
    std::ifstream in(Path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  // The target still holds its old content and is the only file in the folder.
  void ExpectUntouched(const std::string& What) {
    EXPECT_EQ(Content(Target), "old content\n") << What;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(Folder)) ++files, (void)entry;
    EXPECT_EQ(files, 1u) << What << ": a temporary file was left";
  }

  System::Posix::TCalls Saved{};
  fs::path Folder, Target;
};

TEST_F(OutputFailure, EachFailingCallLeavesTheTargetAndNoTemporaryFile) {
  struct TCase {
    const char* Label;
    int Call, Error;
  };
  const TCase cases[] = {{"disk full while writing", kWrite, ENOSPC},
                         {"file-size limit while writing", kWrite, EFBIG},
                         {"flush fails", kFsync, EIO},
                         {"close fails", kClose, EIO},
                         {"rename fails", kRename, EIO},
                         {"link fails", kLinkat, EIO}};
  for (bool unnamed : {true, false}) {
    for (const TCase& c : cases) {
      if (c.Call == kLinkat && !unnamed) continue;  // only unnamed files are linked
      gNoUnnamedFiles = !unnamed;
      gFailingCall = c.Call;
      gError = c.Error;
      gWritten = 0;
      const std::string label = std::string(c.Label) + (unnamed ? "" : ", named temporary file");
      try {
        System::WriteOutput(Target.string(), "the new content, longer than the old one\n");
        ADD_FAILURE() << label << ": no error";
      } catch (const System::EFileError& e) {
        EXPECT_NE(std::string(e.what()).find(std::strerror(c.Error)), std::string::npos)
            << label << ": " << e.what();
      }
      ExpectUntouched(label);
    }
  }
  // Without failures both ways replace the file and leave nothing else.
  for (bool unnamed : {true, false}) {
    gFailingCall = 0;
    gNoUnnamedFiles = !unnamed;
    System::WriteOutput(Target.string(), "new\n");
    EXPECT_EQ(Content(Target), "new\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
  }
}

// Where no new file can be made beside the target (a folder the user may not write) or the new
// file could not have the target's owner and group, the target itself is rewritten, as with
// sort -o. Where no file can be made for a new target, the check before the work fails.
TEST_F(OutputFailure, WhereNoReplacementCanBeMadeOrKeepTheOwnersTheFileIsRewrittenInPlace) {
  for (const auto& [call, error] : {std::pair{kNewFile, EACCES}, {kFchown, EPERM}}) {
    gFailingCall = call;
    gError = error;
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(Target.c_str(), &before), 0);
    System::CheckOutput(Target.string());
    System::WriteOutput(Target.string(), "rewritten, longer than the old content\n");
    ASSERT_EQ(::stat(Target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "call " << call;
    std::ofstream(Target) << "old content\n";
    ExpectUntouched("call " + std::to_string(call));
  }
  gFailingCall = kNewFile;
  const std::string fresh = (Folder / "new.txt").string();
  EXPECT_THROW(System::CheckOutput(fresh), System::EFileError);
}

// Each failure names the file given to -o, with the system's reason, whatever made it fail:
// a missing folder, a file that cannot be written, a folder where no file can be made.
TEST_F(OutputFailure, FailuresNameTheFileGiven) {
  struct TCase {
    std::string Path;
    int Call, Error;
  };
  const TCase cases[] = {{(Folder / "missing" / "x").string(), 0, ENOENT},
                         {(Folder / "new.txt").string(), kNewFile, EACCES},
                         {Target.string(), kWrite, ENOSPC}};
  for (const TCase& c : cases) {
    gFailingCall = c.Call;
    gError = c.Error;
    gWritten = 0;
    const std::string expected = "cannot write " + c.Path + ": " + std::strerror(c.Error);
    for (bool check : {true, false}) {
      if (check && c.Call == kWrite) continue;  // found only while writing
      try {
        check ? System::CheckOutput(c.Path) : System::WriteOutput(c.Path, "new\n");
        ADD_FAILURE() << c.Path << ": no error";
      } catch (const System::EFileError& e) {
        EXPECT_EQ(e.what(), expected);
      }
    }
  }
  ExpectUntouched("after the failures");
}

// A fatal signal while the named temporary file is being written (the user's Ctrl+C, kill,
// or a file-size limit where the caller has not ignored SIGXFSZ) ends the run as that signal
// does, after removing the file.
TEST_F(OutputFailure, AFatalSignalMidwayRemovesTheTemporaryFile) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child must write into this test's folder
  for (int signal : {SIGTERM, SIGINT, SIGXFSZ}) {
    EXPECT_EXIT(
        {
          gNoUnnamedFiles = true;
          gError = signal;
          System::Posix::Calls().Write = [](int Fd, const void* Buffer, size_t Size) {
            const ssize_t n = ::write(Fd, Buffer, Size / 2 + 1);
            ::raise(gError);
            return n;
          };
          System::WriteOutput(Target.string(), "the new content, longer than the old one\n");
          std::exit(0);
        },
        testing::KilledBySignal(signal), "")
        << "signal " << signal;
    ExpectUntouched("signal " + std::to_string(signal));
  }
}

TEST_F(OutputFailure, AReadErrorMidwayIsAnErrorNotAShortInput) {
  const fs::path input = Folder / "in.txt";
  std::ofstream(input) << "first line\nsecond line\n";
  gFailingCall = kRead;
  gError = EIO;
  EXPECT_THROW(System::ReadAll(input.string()), System::EFileError);
  gFailingCall = 0;
  EXPECT_EQ(System::ReadAll(input.string()), "first line\nsecond line\n");
}

TEST_F(OutputFailure, ALargeFileReadInPartsArrivesWholeOrFailsAsAReadError) {
  // A large file is read in parts, one a thread. A part that comes up short, as when the file
  // shrinks meanwhile, leaves the rest to the reads that follow, which find it after all; a
  // read that a signal interrupts is made again.
  const fs::path input = Folder / "large.txt";
  std::string expected((9u << 20) + 5, '\0');
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i * 131 + i / 977);
  std::ofstream(input, std::ios::binary) << expected;
  Parallel::SetThreadCount(2);
  System::Posix::Calls().Read = ::read;
  System::Posix::Calls().Pread = [](int Fd, void* Buffer, size_t Size, off_t Offset) -> ssize_t {
    if (gFailingCall == kRead) return errno = gError, -1;
    if (gFailingCall == kShortPart && Offset >= (8 << 20)) return 0;
    static std::atomic<unsigned> Calls{0};  // the parts are read on two threads
    if (gFailingCall == kInterrupt && Calls++ % 2 == 0) return errno = EINTR, -1;
    return ::pread(Fd, Buffer, std::min<size_t>(Size, 1 << 20), Offset);
  };
  for (const int failing : {0, int{kShortPart}, int{kInterrupt}}) {
    gFailingCall = failing;
    EXPECT_TRUE(System::ReadAll(input.string()) == expected) << failing;
  }
  System::Posix::Calls().Lseek = [](int Fd, off_t Offset, int Whence) {
    return gFailingCall == kLseek ? (errno = gError, off_t{-1}) : ::lseek(Fd, Offset, Whence);
  };
  gError = EIO;
  for (const int failing : {int{kRead}, int{kLseek}}) {
    gFailingCall = failing;
    EXPECT_THROW(System::ReadAll(input.string()), System::EFileError) << failing;
  }
  Parallel::SetThreadCount(0);
}

TEST_F(OutputFailure, APipeReadInShortPiecesArrivesWhole) {
  // No size is known in advance: the buffer grows several times while the reads (four bytes
  // each through the seam) fill it, and every byte must keep its place across the growth.
  const fs::path pipe = Folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string expected(300001, '\0');
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i * 131 + i / 977);
  std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << expected; });
  const std::string got = System::ReadAll(pipe.string());
  writer.join();
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

// A sort past the buffer with its runs in the target's folder (-T): a full disk while a run is
// written stops it with an error naming the folder, and a fatal signal ends it; either way the
// target stays as it was and no run is left, named or unnamed. Without failures the sorted
// text replaces the target and nothing else is left.
class SpillFailure : public OutputFailure {
 protected:
  void SetUp() override {
    OutputFailure::SetUp();
    char name[] = "/tmp/tarnwick-input-XXXXXX";
    InputFolder = ::mkdtemp(name);
    std::ofstream in(InputFolder / "in.txt", std::ios::binary);
    for (int I = 0; I < 400; ++I) in << "line " << (I * 7919 % 401) << "\n";
    Options.Operation = Operations::FindByName("sort");
    Options.Input = (InputFolder / "in.txt").string();
    Options.Output = Target.string();
    Options.TempFolder = Folder.string();
    Options.BufferSize = 512;
  }
  void TearDown() override {
    OutputFailure::TearDown();
    fs::remove_all(InputFolder);
  }
  void Sort() { Spill::Run(Options, Codec::Resolve(""), nullptr); }

  fs::path InputFolder;
  Arguments::TOptions Options;
};

TEST_F(SpillFailure, AFullDiskOrASignalLeavesTheTargetAndNoRun) {
  for (bool unnamed : {true, false}) {
    gNoUnnamedFiles = !unnamed;
    gFailingCall = kWrite;
    gError = ENOSPC;
    gWritten = 0;
    try {
      Sort();
      ADD_FAILURE() << "no error";
    } catch (const System::EFileError& e) {
      EXPECT_EQ(e.what(), "cannot write a temporary file in " + Folder.string() + ": " +
                              std::strerror(ENOSPC));
    }
    ExpectUntouched(unnamed ? "full disk" : "full disk, named runs");
  }
  GTEST_FLAG_SET(death_test_style, "fast");
  for (bool unnamed : {true, false}) {
    EXPECT_EXIT(
        {
          gNoUnnamedFiles = !unnamed;
          System::Posix::Calls().Write = [](int Fd, const void* Buffer, size_t Size) {
            const ssize_t n = ::write(Fd, Buffer, Size);
            ::raise(SIGTERM);
            return n;
          };
          Sort();
          std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
    ExpectUntouched(unnamed ? "signal" : "signal, named runs");
  }
  gFailingCall = 0;
  for (bool unnamed : {true, false}) {
    gNoUnnamedFiles = !unnamed;
    Sort();
    std::string expected;
    for (const char* Line : {"line 0", "line 1", "line 10", "line 100"}) {
      expected += std::string(Line) + "\n";
    }
    EXPECT_EQ(Content(Target).substr(0, expected.size()), expected);
    EXPECT_EQ(Content(Target).size(), fs::file_size(InputFolder / "in.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
  }
}

}  // namespace
#endif
