// The command line of the tool: tarnwick [OPTIONS] OPERATION [FILE], or --id N in place of
// the operation's name.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Operations.h"

namespace Arguments {

enum class TColour { clAuto, clAlways, clNever };

struct TOptions {
  const Operations::TOperation* Operation = nullptr;
  std::string Input = "-";            // "-" is standard input
  std::string Output;                 // empty: standard output
  std::string Encoding;               // empty: UTF-8 or what a byte-order mark says
  std::optional<std::string> Locale;  // collation locale; absent: the environment's
  bool Mark = false;                  // highlight: show the text with the repeated lines marked
  bool Natural = false;               // the dictionary sorts: runs of digits compare by their value
  TColour Colour = TColour::clAuto;
  unsigned Threads = 0;          // threads the operation may use; 0: the cores available, at most 8
  Operations::TChoices Choices;  // shuffle's seed (--seed, else drawn at random), dedupe's --only-*
  std::vector<std::string> MoreInputs;  // the files after Input, read as one text with it
  uint64_t BufferSize = 0;              // -S in bytes; 0: chosen from the machine's memory
  std::string TempFolder;               // -T; empty: System::TemporaryFolder()
  bool Check = false;                   // -c: report the first line out of order
  bool Merge = false;                   // -m: merge files already in order
  std::optional<bool> Progress;         // --progress / --no-progress; absent: a terminal's
  bool Keys = false;  // keys: each line as its sort key under Operation, a tab and the line
};

// -S's SIZE in bytes, as sort reads it: a number of KiB, or with the suffix b (bytes), K, M,
// G, T, P or E (powers of 1024, either case), or % (of PhysicalMemory). Nothing for an empty,
// zero or malformed value or one past 2^64.
std::optional<uint64_t> BufferSizeOf(const std::string& Text, uint64_t PhysicalMemory);

// A usage error; the message says what is wrong.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name. Returns nothing when they asked for the help or
// the version text, which has then been written to standard output. Throws EUsage.
std::optional<TOptions> Parse(const std::vector<std::string>& Args);

}  // namespace Arguments
