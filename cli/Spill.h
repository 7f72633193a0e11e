// The tool past the buffer (-S): a sort of a text larger than the buffer is sorted a piece at a
// time into runs in temporary files (-T), which are then merged; reverse reads a large file from
// its end; dedupe and count part a large text by hash. Also several input files, the check of
// an order (-c), the merge of files in order (-m) and keys. A text that fits the buffer takes
// the in-memory path of Operations::RunOnFile and gives its bytes.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "cli/Arguments.h"
#include "cli/Codec.h"
#include "cli/Operations.h"

namespace Spill {

// The output could not be written: the message names it.
class EOutput : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The buffer sort would choose without -S, from the machine's memory (Total and Available
// bytes, 0 when not known): the memory available, but at least an eighth of the total and at
// most three quarters, and no less than 1 MiB.
uint64_t DefaultBufferSize(uint64_t Total, uint64_t Available);

// Whether Run takes the run: a sort, reverse, dedupe, count, -c, -m, keys or several files.
bool Handles(const Arguments::TOptions& Options);

// Runs the operation of Options on its inputs and writes the result (-c: reports the first
// line out of order); the exit status: 0, or 1 when -c finds a line out of order. Throws
// System::EFileError (input and temporary files), EOutput, and as Operations::RunOnFile.
int Run(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
        const Operations::TMarks* Marks);

}  // namespace Spill
