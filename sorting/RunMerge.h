// Sorting past the memory a program may use: the lines are sorted a buffer-full at a time into
// runs that carry each line's order key, and the runs are merged k ways, in more levels when
// they outnumber the fan-in. The files the runs lie in come from the caller (TRunStore), so
// that nothing here makes a system call.
//
// Lines that the order finds equal keep their input order: within a buffer-full the sort is
// stable, and across runs the merge takes the earlier run's line first. So the result is the
// in-memory sort's wherever no two different lines compare equal, and a stable sort otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sorting/LineTies.h"
#include "sorting/SortWhereTheyLie.h"

namespace RunMerge {

using KeyedSort::TLineDecoder;
using KeyedSort::TSortKind;
using KeyedSort::TSortOrder;

// How the lines of a text's bytes are cut: at single-byte CR and LF (UTF-8, Shift_JIS, EUC-JP)
// or at the CR and LF units of UTF-16 in either byte order.
enum class TUnits : uint8_t { unBytes = 0, unUtf16LE = 1, unUtf16BE = 2 };

// The end of the line that starts at From in Bytes, its break included: npos when no break
// ends it within Bytes (a CR at the very end may yet be followed by LF: npos unless AtEnd, the
// text ending there). From and the result fall on unit boundaries.
size_t LineEnd(std::string_view Bytes, size_t From, TUnits Units, bool AtEnd);
// The length of the break that ends Line (0 when none).
size_t BreakLength(std::string_view Line, TUnits Units);
// The LF of the text's units, for a line that needs a break and has no line before it.
std::string_view LineFeed(TUnits Units);

// Bytes read in order; 0 at the end. Errors are exceptions of the implementation.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual size_t Read(char* Buffer, size_t Size) = 0;
};

// A file a run lies in: written once, then read from its start.
class TRunFile : public TByteSource {
 public:
  virtual void Write(std::string_view Bytes) = 0;
  // Ends the writing; Read then reads from the start.
  virtual void Rewind() = 0;
};

// Where runs are made: a new empty file at each call.
class TRunStore {
 public:
  virtual ~TRunStore() = default;
  virtual std::unique_ptr<TRunFile> Create() = 0;
};

// Scratch space of a thread for the keys and comparisons of TLineOrder.
struct TScratch {
  std::u16string A, B, C;
  std::string D;
};

// The order of a sort: Kind (not skReverse) and Order over whole lines (break included) that
// Decoder turns into UTF-16, as the keyed engine orders them; with tiWholeLine, lines the order
// finds equal are then ordered by their whole lines (Decoder's Whole) as LineTies::Settle orders
// them. Lines still equal keep their input order (the runs' sort is stable, the merge takes the
// earlier source first), as tiWholeLine and tiInputOrder want. Used from several threads.
class TLineOrder {
 public:
  TLineOrder(const TLineDecoder& Decoder, TSortKind Kind, TSortOrder Order,
             LineTies::TTies Ties = LineTies::tiAsSorted)
      : FDecoder(Decoder), FKind(Kind), FOrder(Order), FTies(Ties) {}
  // Out becomes bytes that order Line as the ascending sort does (bytewise, a key that is a
  // prefix of another first): two lines' keys are equal exactly when the sort finds them
  // equal. False when the platform gives no collation key; such lines are compared with
  // Compare.
  bool Key(std::string_view Line, std::string& Out, TScratch& Scratch) const;
  // -1, 0 or +1: the sort's comparison of A and B, its order (descending) applied.
  int32_t Compare(std::string_view A, std::string_view B, TScratch& Scratch) const;
  // The same for two keys made by Key.
  int32_t CompareKeys(std::string_view A, std::string_view B) const;
  bool Descending() const { return FOrder == TSortOrder::soDescending; }

 private:
  bool KeyOfOrder(std::string_view Line, std::string& Out, TScratch& Scratch) const;
  int32_t CompareInOrder(std::string_view A, std::string_view B, TScratch& Scratch) const;

  const TLineDecoder& FDecoder;
  TSortKind FKind;
  TSortOrder FOrder;
  LineTies::TTies FTies;
};

// Appends Key (made by TLineOrder::Key) to Out in a printable form whose byte order, a form
// that is a prefix of another first, is the sort's: two hexadecimal digits a byte, for a
// descending order those of each byte's complement followed by 'z', which follows every digit.
void AppendPrintableKey(std::string_view Key, bool Descending, std::string& Out);

// A line with its key, as a source gives it: views valid until the source's next line.
struct TRecord {
  std::string_view Line;
  std::string_view Key;
  bool HasKey = false;
};

// Lines in the order of a sort, one at a time.
class TLineSource {
 public:
  virtual ~TLineSource() = default;
  // The next line; false at the end.
  virtual bool Next(TRecord& Record) = 0;
};

// Writes records to a run: each line with its key.
class TRunWriter {
 public:
  // Buffers about Buffer bytes before each write.
  explicit TRunWriter(TRunFile& File, size_t Buffer = size_t{1} << 20)
      : FFile(File), FBufferSize(Buffer) {}
  void Add(const TRecord& Record);
  // Writes what is buffered and ends the run (the file is rewound for reading).
  void Finish();

 private:
  TRunFile& FFile;
  size_t FBufferSize;
  std::string FBuffer;
};

// Reads the records of a run TRunWriter wrote, through a buffer of about BufferSize bytes
// (larger for a longer record).
class TRunReader final : public TLineSource {
 public:
  TRunReader(TByteSource& File, size_t BufferSize);
  bool Next(TRecord& Record) override;

 private:
  bool Fill(size_t Need);
  TByteSource& FFile;
  std::string FBuffer;
  size_t FBegin = 0, FEnd = 0;
  bool FAtEnd = false;
};

// Reads the lines of a text (a file in an order already), whose last line, when it has no
// break, is given the break of the line before it (LF for a text of one line). Lines carry no
// key: the merge makes them.
class TTextReader final : public TLineSource {
 public:
  TTextReader(TByteSource& File, TUnits Units, size_t BufferSize);
  bool Next(TRecord& Record) override;
  // Whether the text's last line had no break and was given one (known at the end).
  bool SuppliedBreak() const { return FSupplied; }

 private:
  TByteSource& FFile;
  TUnits FUnits;
  std::string FBuffer, FLast;
  std::string FBreak;  // the break of the line last given
  size_t FBegin = 0, FEnd = 0;
  bool FAtEnd = false, FSupplied = false;
};

// Sorts the whole lines of Text (each ends in a break) stably in Order on the threads, each
// line's key made once, and writes them with their keys to Run, which it finishes.
void WriteSortedRun(std::string_view Text, TUnits Units, const TLineOrder& Order, TRunFile& Run);

// Receives the merged records in order.
using TSink = std::function<void(const TRecord& Record)>;

// Merges Sources, each in Order, into Sink: of lines the order finds equal, the one of the
// earlier source first. A source's lines without keys are keyed here. Exceptions of the sources
// and the sink pass through.
void Merge(std::span<TLineSource* const> Sources, const TLineOrder& Order, const TSink& Sink);

// Merges the runs (in input order) into Sink, at most FanIn (>= 2) at a time: while there are
// more, runs FanIn at a time are merged into new runs of Store, each merge reading through
// buffers of BufferSize bytes in all. Runs are freed once merged.
void MergeRuns(std::vector<std::unique_ptr<TRunFile>> Runs, const TLineOrder& Order,
               TRunStore& Store, size_t FanIn, size_t BufferSize, const TSink& Sink);

}  // namespace RunMerge
