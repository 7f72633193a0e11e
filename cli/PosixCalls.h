// The POSIX calls the tool's file handling makes, through a table that tests replace to make
// them fail as a full disk, a file-size limit, a failing device, a folder the user may not
// write or a group the user may not give a file would.
#pragma once

#include <sys/types.h>

namespace System::Posix {

struct TCalls {
  int (*Open)(const char* Path, int Flags, mode_t Mode);
  ssize_t (*Read)(int Fd, void* Buffer, size_t Size);
  ssize_t (*Pread)(int Fd, void* Buffer, size_t Size, off_t Offset);
  off_t (*Lseek)(int Fd, off_t Offset, int Whence);
  ssize_t (*Write)(int Fd, const void* Buffer, size_t Size);
  int (*Fsync)(int Fd);
  int (*Fchown)(int Fd, uid_t Owner, gid_t Group);
  int (*Close)(int Fd);
  int (*Rename)(const char* From, const char* To);
  int (*Linkat)(int FromFolder, const char* From, int ToFolder, const char* To, int Flags);
};

// The calls in use, initially the system's; a test changes entries and restores them.
TCalls& Calls();

}  // namespace System::Posix
