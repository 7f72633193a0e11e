// What the tool needs of the operating system: its arguments, whole-file input, output in one
// piece, atomic replacement of a file, and whether standard output is a terminal.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace System {

// A file could not be read or written; the message names the file and the reason.
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sets up the process for texts of millions of lines (allocator tuning) and for a file-size
// limit (reported as a write error); called first.
void PrepareForLargeTexts();

// The command-line arguments after the program name, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

// The whole content of the file at Path, or of standard input when Path is "-".
std::string ReadAll(const std::string& Path);

// Writes Bytes to standard output (or standard error) in full.
void WriteStdout(std::string_view Bytes);
void WriteStderr(std::string_view Utf8Message);
// Writes the help or another text for the user to standard output: to a Windows console as
// characters (the console's code page is seldom UTF-8), elsewhere as its UTF-8 bytes.
void WriteStdoutText(std::string_view Utf8Text);

// Writes Bytes to the file at Path as sort -o does, once the whole result is ready: a regular
// file is replaced atomically (a file in the same folder, flushed to disk, renamed over it,
// keeping its mode, owner and group), so that a reader sees the old or the new content and a
// failure leaves it as it was. A file with several hard links, one in a folder where no file
// can be made and one whose owner or group the replacement could not keep are rewritten in
// place; a device, FIFO or terminal, and the file standard output writes to, are written
// directly. A file the user may not write is refused. Symbolic links are followed, a dangling
// one creates its target. Errors name Path.
void WriteOutput(const std::string& Path, std::string_view Bytes);

// Fails as WriteOutput would before it writes, for a check made before the work: the file
// (or, for a new file, its folder) may not be written.
void CheckOutput(const std::string& Path);

// Whether the paths A and B ("-": standard input) lead to one file, by whatever names, links
// included: the same device and inode (Windows: volume and file index). False when either
// cannot be opened or looked at.
bool SameFile(const std::string& A, const std::string& B);

// True when standard output is a terminal that shows colour escapes.
bool StdoutIsColourTerminal();

// Output made a piece at a time: calls Put with each piece in turn.
using TPieces = std::function<void(const std::function<void(std::string_view)>& Put)>;
// WriteStdout and WriteOutput of the pieces' bytes, without holding them all at once.
// SizeHint is about the size of the whole (for the room a rewrite in place reserves first).
// Exceptions of Pieces pass through, a replacement's temporary file removed.
void WriteStdout(const TPieces& Pieces);
void WriteOutput(const std::string& Path, const TPieces& Pieces, uint64_t SizeHint);

// True when standard error is a terminal (for the progress line).
bool StderrIsTerminal();

// The machine's physical memory and the part of it free now, in bytes; 0 when not known.
uint64_t PhysicalMemory();
uint64_t AvailableMemory();

// The folder for temporary files when -T names none: TMPDIR, else /tmp (Windows:
// GetTempPathW).
std::string TemporaryFolder();

// A file or standard input ("-") read a piece at a time.
class TInput {
 public:
  // Throws EFileError naming Path.
  explicit TInput(const std::string& Path);
  ~TInput();
  TInput(const TInput&) = delete;
  TInput& operator=(const TInput&) = delete;
  // Reads up to Size bytes into Buffer; 0 at the end. Throws EFileError.
  size_t Read(char* Buffer, size_t Size);
  // Reads up to Size bytes at Offset of a regular file into Buffer; fewer only at its end.
  // Throws EFileError.
  size_t ReadAt(char* Buffer, size_t Size, uint64_t Offset);
  // The size of a regular file, else -1.
  int64_t Size() const { return FSize; }

 private:
  std::string FPath;
  intptr_t FHandle;
  int64_t FSize = -1;
};

// A temporary file in a folder that only the user may read and write (mode 0600), which no
// name leads to once it is made (POSIX: unnamed, or removed at once; Windows: deleted when
// closed): it is gone when the object is, and when the process ends however it ends, a signal
// or Ctrl+C included. Errors name the folder.
class TTempFile {
 public:
  explicit TTempFile(const std::string& Folder);
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  void Write(std::string_view Bytes);
  // Ends the writing: Read then reads from the start.
  void Rewind();
  size_t Read(char* Buffer, size_t Size);

 private:
  [[noreturn]] void Fail(int Error) const;
  std::string FFolder;
  intptr_t FHandle;
};

}  // namespace System
