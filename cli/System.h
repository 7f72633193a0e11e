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

// Sets up the process for texts of millions of lines (allocator tuning); called first.
void PrepareForLargeTexts();

// The command-line arguments after the program name, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

// The whole content of the file at Path, or of standard input when Path is "-".
std::string ReadAll(const std::string& Path);

// Writes Bytes to standard output (or standard error) in full.
void WriteStdout(std::string_view Bytes);
void WriteStderr(std::string_view Utf8Message);

// Replaces (or creates) the file at Path with Bytes so that a reader sees either the old or
// the new content, never a part: a temporary file in the same folder, flushed to disk, then
// renamed over Path. A replaced file keeps its permissions. On failure Path is untouched.
void WriteAtomically(const std::string& Path, std::string_view Bytes);

// True when standard output is a terminal that shows colour escapes.
bool StdoutIsColourTerminal();

}  // namespace System
