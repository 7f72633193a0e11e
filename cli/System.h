// What the tool needs of the operating system: its arguments, whole-file input, output in one
// piece, atomic replacement of a file, and whether standard output is a terminal.
#pragma once

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

// True when standard output is a terminal that shows colour escapes.
bool StdoutIsColourTerminal();

}  // namespace System
