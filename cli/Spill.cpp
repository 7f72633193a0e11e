#include "cli/Spill.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/CodecUnicode.h"
#include "cli/KeyedLines.h"
#include "cli/LineDecoders.h"
#include "cli/Messages.h"
#include "cli/System.h"
#include "cli/TextPieces.h"
#include "commands/CommandId.h"
#include "commands/DuplicationRuns.h"
#include "sorting/RunMerge.h"
#include "strings/Utf8.h"

namespace Spill {
namespace {

using LineDecoders::TLegacyLines;
using LineDecoders::TUtf16Lines;
using LineDecoders::TUtf8Lines;

using RunMerge::TUnits;

// How many runs one merge reads at once; more are merged in levels.
constexpr size_t kFanIn = 16;
// The output is handed on in pieces of about this size.
constexpr size_t kOutputPiece = size_t{1} << 20;
// The smallest part of a text sorted in memory at once, whatever -S says.
constexpr size_t kLeastPiece = 64;

// The encoding of a text as its first bytes show it, as Codec::Decode resolves it.
struct TForm {
  Codec::TEncoding Encoding;
  TUnits Units = TUnits::unBytes;
  size_t Mark = 0;       // the byte-order mark's length at the start
  bool ByLines = false;  // whether its lines can be cut and sorted apart
};

TForm FormOf(const Codec::TEncoding& Given, std::string_view Head) {
  static constexpr std::string_view kLE("\xFF\xFE", 2), kBE("\xFE\xFF", 2);
  TForm Form;
  Form.Encoding = Given;
  Codec::TEncoding& E = Form.Encoding;
  if (E.Name.empty()) {
    if (Head.starts_with(kLE)) {
      E = {"UTF-16LE", Codec::TFamily::fmUtf16LE};
    } else if (Head.starts_with(kBE)) {
      E = {"UTF-16BE", Codec::TFamily::fmUtf16BE};
    } else {
      E = {"UTF-8", Codec::TFamily::fmUtf8};
    }
  } else if (E.Family == Codec::TFamily::fmUtf16) {
    E.Family = Head.starts_with(kLE) ? Codec::TFamily::fmUtf16LE : Codec::TFamily::fmUtf16BE;
  }
  switch (E.Family) {
    case Codec::TFamily::fmUtf16LE:
      Form.Units = TUnits::unUtf16LE;
      Form.Mark = Head.starts_with(kLE) ? 2 : 0;
      // A mark of the other order is an error the in-memory path reports.
      Form.ByLines = !Head.starts_with(kBE);
      break;
    case Codec::TFamily::fmUtf16BE:
      Form.Units = TUnits::unUtf16BE;
      Form.Mark = Head.starts_with(kBE) ? 2 : 0;
      Form.ByLines = !Head.starts_with(kLE);
      break;
    default:
      Form.Mark = Codec::Utf8MarkLength(Head, E);
      Form.ByLines =
          Codec::ConvertsByLine(E) &&
          !(E.Family == Codec::TFamily::fmUtf8 && (Head.starts_with(kLE) || Head.starts_with(kBE)));
      break;
  }
  E.Bom = Form.Mark > 0;
  return Form;
}

// The decoder of a form's lines, and the same keyed by -k, -t and the folds.
struct TDecoders {
  TDecoders(const TForm& Form, const LineKey::TKeyRule& Rule) : Legacy(Form.Encoding) {
    switch (Form.Units) {
      case TUnits::unUtf16LE:
        Plain = std::make_unique<TUtf16Lines>(false);
        break;
      case TUnits::unUtf16BE:
        Plain = std::make_unique<TUtf16Lines>(true);
        break;
      default:
        if (Form.Encoding.Family != Codec::TFamily::fmUtf8) break;
        Plain = std::make_unique<TUtf8Lines>();
        break;
    }
    if (Rule.Active()) Keyed = std::make_unique<KeyedLines::TKeyedDecoder>(Base(), Rule);
    Order = Keyed ? Keyed.get() : &Base();
  }
  const KeyedSort::TLineDecoder& Base() const {
    if (Plain) return *Plain;
    return Legacy;
  }

  TLegacyLines Legacy;
  std::unique_ptr<KeyedSort::TLineDecoder> Plain, Keyed;
  const KeyedSort::TLineDecoder* Order;
};

// The input files as one text: a missing final break is supplied between two files (LF in the
// text's units), and a later file's byte-order mark, when it has the first file's, is dropped.
class TInputs final : public RunMerge::TByteSource {
 public:
  explicit TInputs(std::vector<std::string> Paths) : FPaths(std::move(Paths)) {}
  void SetForm(const TForm& Form) {
    FUnits = Form.Units;
    FMark = Form.Mark;
  }
  size_t Read(char* Buffer, size_t Size) override {
    while (Size > 0) {
      if (!FPending.empty()) {
        const size_t N = std::min(Size, FPending.size());
        std::copy_n(FPending.data(), N, Buffer);
        FPending.erase(0, N);
        return N;
      }
      if (FNext >= FPaths.size() && !FFile) return 0;
      if (!FFile) {
        FFile = std::make_unique<System::TInput>(FPaths[FNext++]);
        FTail.clear();
        FStart = true;
      }
      size_t N = FFile->Read(Buffer, Size);
      if (N == 0) {
        FFile.reset();
        if (FNext < FPaths.size() && !FTail.empty() && RunMerge::BreakLength(FTail, FUnits) == 0) {
          FPending = RunMerge::LineFeed(FUnits);
        }
        continue;
      }
      if (FStart && FNext > 1 && FMark > 0 && N >= FMark &&
          std::string_view(Buffer, FMark) == std::string_view(FFirstMark).substr(0, FMark)) {
        std::copy(Buffer + FMark, Buffer + N, Buffer);
        N -= FMark;
      }
      if (FStart && FNext == 1) FFirstMark.assign(Buffer, std::min(N, size_t{3}));
      FStart = false;
      if (N == 0) continue;
      FTail.append(Buffer + (N > 4 ? N - 4 : 0), std::min<size_t>(N, 4));
      if (FTail.size() > 4) FTail.erase(0, FTail.size() - 4);
      return N;
    }
    return 0;
  }
  // Fills Text up to Size bytes; false once the text has ended.
  bool Fill(std::string& Text, size_t Size) {
    while (Text.size() < Size) {
      // Grown as the text comes, not to Size at once: a pipe's text may be short.
      const size_t Old = Text.size();
      Text.resize(Old + std::min(Size - Old, std::max(Old, size_t{1} << 16)));
      const size_t N = Read(Text.data() + Old, Text.size() - Old);
      Text.resize(Old + N);
      if (N == 0) return false;
    }
    return true;
  }

 private:
  std::vector<std::string> FPaths;
  size_t FNext = 0;
  std::unique_ptr<System::TInput> FFile;
  std::string FPending, FTail, FFirstMark;
  TUnits FUnits = TUnits::unBytes;
  size_t FMark = 0;
  bool FStart = false;
};

// A run in a temporary file of the -T folder.
class TTempRun final : public RunMerge::TRunFile {
 public:
  explicit TTempRun(const std::string& Folder) : FFile(Folder) {}
  void Write(std::string_view Bytes) override { FFile.Write(Bytes); }
  void Rewind() override { FFile.Rewind(); }
  size_t Read(char* Buffer, size_t Size) override { return FFile.Read(Buffer, Size); }

 private:
  System::TTempFile FFile;
};

class TTempStore final : public RunMerge::TRunStore {
 public:
  explicit TTempStore(std::string Folder) : FFolder(std::move(Folder)) {}
  std::unique_ptr<RunMerge::TRunFile> Create() override {
    return std::make_unique<TTempRun>(FFolder);
  }

 private:
  std::string FFolder;
};

// The output in pieces, the last line held back so that it can lose its break.
class TOutput {
 public:
  TOutput(const std::function<void(std::string_view)>& Put, TUnits Units)
      : FPut(Put), FUnits(Units) {}
  void Add(std::string_view Bytes) { FBuffer += Bytes; }
  void Line(std::string_view Line) {
    if (FBuffer.size() >= kOutputPiece) {
      FPut(FBuffer);
      FBuffer.clear();
    }
    FBuffer += Line;
    FLast = Line.size();
  }
  // Hands on the rest; DropBreak: the last line without its break.
  void Finish(bool DropBreak) {
    if (DropBreak && FLast > 0) {
      const std::string_view Last = std::string_view(FBuffer).substr(FBuffer.size() - FLast);
      FBuffer.resize(FBuffer.size() - RunMerge::BreakLength(Last, FUnits));
    }
    if (!FBuffer.empty()) FPut(FBuffer);
  }

 private:
  const std::function<void(std::string_view)>& FPut;
  TUnits FUnits;
  std::string FBuffer;
  size_t FLast = 0;
};

// The progress line of long work on a terminal's standard error: from about a second on, the
// phase and the bytes done, updated in place at most a few times a second.
class TProgress {
 public:
  explicit TProgress(bool Shown) : FShown(Shown), FStart(Clock::now()), FLast(FStart) {}
  ~TProgress() {
    if (FWritten) System::WriteStderr("\r\x1b[K");
  }
  // Phase (translated) has reached Done of Total bytes (Total 0: not known).
  void Report(const char* Phase, uint64_t Done, uint64_t Total) {
    if (!FShown) return;
    const Clock::time_point Now = Clock::now();
    if (Now - FStart < std::chrono::seconds(1) || Now - FLast < std::chrono::milliseconds(200)) {
      return;
    }
    FLast = Now;
    const auto MiB = [](uint64_t Bytes) { return std::to_string(Bytes >> 20); };
    std::string Line = "\rtarnwick: ";
    Line += Messages::Translate(Phase);
    Line += ' ';
    Line += MiB(Done);
    if (Total != 0) {
      Line += '/';
      Line += MiB(Total);
    }
    Line += " MiB\x1b[K";
    System::WriteStderr(Line);
    FWritten = true;
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool FShown;
  Clock::time_point FStart, FLast;
  bool FWritten = false;
};

constexpr const char* kSortingRuns = Messages::ForTranslation("sorting runs:");
constexpr const char* kMerging = Messages::ForTranslation("merging:");

// An error of the work that makes the output (reading the input or a run), carried through the
// writing unchanged: only the writing's own errors are output errors.
struct TMakingFailed {
  std::exception_ptr Error;
};

// The output made in full in a temporary file, where -o names an input, and its size.
std::unique_ptr<System::TTempFile> gStaged;
uint64_t gStagedSize = 0;

// Writes the output to standard output or the -o file, a piece at a time; Streams when the
// pieces are made while the inputs are still read.
void WriteOut(const Arguments::TOptions& Options, const System::TPieces& Pieces, uint64_t Size,
              bool Streams = true) {
  const System::TPieces Guarded = [&Pieces](const std::function<void(std::string_view)>& Put) {
    bool Writing = false;
    try {
      Pieces([&](std::string_view Bytes) {
        Writing = true;
        Put(Bytes);
        Writing = false;
      });
    } catch (...) {
      if (Writing) throw;
      throw TMakingFailed{std::current_exception()};
    }
  };
  // Output that names one of the inputs, by any name or link, would be written (in place, for
  // a file of several links) while that input is still read: the whole output is made in a
  // temporary file first, as sort copies such an input first.
  std::vector<std::string> Paths{Options.Input};
  Paths.insert(Paths.end(), Options.MoreInputs.begin(), Options.MoreInputs.end());
  const bool OverAnInput = Streams && !Options.Output.empty() &&
                           std::any_of(Paths.begin(), Paths.end(), [&](const auto& Path) {
                             return System::SameFile(Options.Output, Path);
                           });
  if (OverAnInput) {
    // Written by Run once the inputs are closed (Windows cannot replace an open file).
    gStaged = std::make_unique<System::TTempFile>(
        Options.TempFolder.empty() ? System::TemporaryFolder() : Options.TempFolder);
    Pieces([](std::string_view Bytes) { gStaged->Write(Bytes); });
    gStaged->Rewind();
    gStagedSize = Size;
    return;
  }
  try {
    if (Options.Output.empty()) {
      System::WriteStdout(Guarded);
    } else {
      System::WriteOutput(Options.Output, Guarded, Size);
    }
  } catch (const TMakingFailed& e) {
    std::rethrow_exception(e.Error);
  } catch (const System::EFileError& e) {
    throw EOutput(e.what());
  }
}

void WriteOut(const Arguments::TOptions& Options, const std::string& Bytes) {
  WriteOut(
      Options, [&Bytes](const auto& Put) { Put(Bytes); }, Bytes.size(), false);
}

// The end of the text's last whole line within Text (0 when none ends there): a CR at the very
// end of a text that goes on may be the first half of CR LF.
size_t LastCut(std::string_view Text, TUnits Units, bool AtEnd) {
  const size_t Unit = Units == TUnits::unBytes ? 1 : 2;
  const size_t Low = Units == TUnits::unUtf16BE ? 1 : 0;
  for (size_t End = Text.size() / Unit * Unit; End >= Unit; End -= Unit) {
    const size_t At = End - Unit;
    if (Unit == 2 && Text[At + 1 - Low] != 0) continue;
    const char C = Text[At + Low];
    if (C == '\n') return End;
    if (C == '\r' && (End < Text.size() || AtEnd)) return End;
  }
  return 0;
}

// The text in memory: what the operation gives on it, written out.
int RunInMemory(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
                std::string&& Text, const Operations::TMarks* Marks) {
  WriteOut(Options, Operations::RunOnFile(*Options.Operation, Encoding, std::move(Text), Marks,
                                          Options.Choices));
  return 0;
}

// Checks (and for a legacy text puts as the common path writes it) Chunk, whole lines of the
// text; Bytes is the whole text read so far from its start when Chunk is its first part.
void Prepare(std::string& Chunk, const TForm& Form, std::string_view Mark) {
  if (Form.Units != TUnits::unBytes) {
    Codec::TEncoding Encoding = Form.Encoding;
    TextPieces::DecodeText(std::string(Mark) + Chunk, Encoding);
    return;
  }
  if (Form.Encoding.Family == Codec::TFamily::fmUtf8) {
    if (!TextPieces::IsUtf8(Chunk)) {
      Codec::TEncoding Encoding = Form.Encoding;
      TextPieces::DecodeText(std::string(Mark) + Chunk, Encoding);
    }
    return;
  }
  if (!TextPieces::StandsForText(Chunk, Form.Encoding, "")) {
    Codec::TEncoding Encoding = Form.Encoding;
    Encoding.Bom = false;
    Chunk = Codec::Encode(TextPieces::DecodeText(Chunk, Encoding), Encoding);
  }
}

// Sorts the text of Inputs, whose first bytes Text holds, in pieces of Piece bytes into runs,
// and merges them into the output.
int SortPastBuffer(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
                   TInputs& Inputs, std::string& Text, size_t Piece) {
  TProgress Progress(Options.Progress.value_or(System::StderrIsTerminal()));
  const TForm Form = FormOf(Encoding, Text);
  bool AtEnd = false;
  if (!Form.ByLines) {
    // A stateful encoding cannot be cut into lines: it is sorted in memory.
    while (Inputs.Fill(Text, Text.size() + Piece)) {
    }
    return RunInMemory(Options, Encoding, std::move(Text), nullptr);
  }
  Inputs.SetForm(Form);
  const std::string Mark = Text.substr(0, Form.Mark);
  Text.erase(0, Form.Mark);
  const TDecoders Decoders(Form, Options.Choices.Key);
  const Tarnwick::TSortCommand Command = *Tarnwick::SortCommandOf(Options.Operation->Id);
  const RunMerge::TLineOrder Order(*Decoders.Order, Command.Kind, Command.Order,
                                   Options.Choices.Ties);
  TTempStore Store(Options.TempFolder.empty() ? System::TemporaryFolder() : Options.TempFolder);
  std::vector<std::unique_ptr<RunMerge::TRunFile>> Runs;
  std::string LastBreak(RunMerge::LineFeed(Form.Units));
  bool Supplied = false, First = true;
  uint64_t Total = Mark.size();
  for (;;) {
    AtEnd = !Inputs.Fill(Text, Piece) || AtEnd;
    size_t Cut = LastCut(Text, Form.Units, AtEnd);
    // A line longer than a piece is read whole.
    while (Cut == 0 && !AtEnd) {
      AtEnd = !Inputs.Fill(Text, Text.size() + Piece);
      Cut = LastCut(Text, Form.Units, AtEnd);
    }
    if (AtEnd) Cut = Text.size();
    if (Cut == 0) break;
    std::string Chunk = Text.substr(0, Cut);
    Text.erase(0, Cut);
    Total += Chunk.size();
    if (AtEnd && Text.empty()) {
      // The text's last line, without a break, takes the break of the line before it.
      const size_t Last =
          LastCut(std::string_view(Chunk).substr(0, Chunk.size() - 1), Form.Units, true);
      if (RunMerge::BreakLength(Chunk, Form.Units) == 0) {
        if (Last > 0) {
          const std::string_view Before = std::string_view(Chunk).substr(0, Last);
          LastBreak.assign(
              Before.substr(Before.size() - RunMerge::BreakLength(Before, Form.Units)));
        }
        Chunk += LastBreak;
        Supplied = true;
      }
    }
    Prepare(Chunk, Form, First ? std::string_view(Mark) : std::string_view());
    First = false;
    LastBreak.assign(
        std::string_view(Chunk).substr(Chunk.size() - RunMerge::BreakLength(Chunk, Form.Units)));
    if (LastBreak.empty()) LastBreak = RunMerge::LineFeed(Form.Units);
    Runs.push_back(Store.Create());
    RunMerge::WriteSortedRun(Chunk, Form.Units, Order, *Runs.back());
    Progress.Report(kSortingRuns, Total, 0);
    if (AtEnd && Text.empty()) break;
  }
  std::string().swap(Text);
  WriteOut(
      Options,
      [&](const std::function<void(std::string_view)>& Put) {
        TOutput Out(Put, Form.Units);
        Out.Add(Mark);
        uint64_t Merged = 0, Lines = 0;
        RunMerge::MergeRuns(std::move(Runs), Order, Store, kFanIn, Piece,
                            [&](const RunMerge::TRecord& Record) {
                              Out.Line(Record.Line);
                              // The clock is read once every few thousand lines.
                              Merged += Record.Line.size();
                              if ((++Lines & 0xFFF) == 0) Progress.Report(kMerging, Merged, Total);
                            });
        Out.Finish(Supplied);
      },
      Total);
  return 0;
}

// A file of the check or the merge: its byte-order mark, when it has one, is passed over.
class TFileSource final : public RunMerge::TByteSource {
 public:
  explicit TFileSource(const std::string& Path) : FInput(Path) {
    FHead.resize(4);
    size_t Got = 0;
    while (Got < FHead.size()) {
      const size_t N = FInput.Read(FHead.data() + Got, FHead.size() - Got);
      if (N == 0) break;
      Got += N;
    }
    FHead.resize(Got);
  }
  std::string_view Head() const { return FHead; }
  void Skip(size_t Bytes) { FAt = std::min(Bytes, FHead.size()); }
  size_t Read(char* Buffer, size_t Size) override {
    if (FAt < FHead.size()) {
      const size_t N = std::min(Size, FHead.size() - FAt);
      std::copy_n(FHead.data() + FAt, N, Buffer);
      FAt += N;
      return N;
    }
    return FInput.Read(Buffer, Size);
  }

 private:
  System::TInput FInput;
  std::string FHead;
  size_t FAt = 0;
};

// The lines of a file of the check or the merge, each checked in the file's encoding. The
// first file's form is read from its first bytes into Form; a later file's mark is passed over
// when it has one.
class TCheckedLines final : public RunMerge::TLineSource {
 public:
  TCheckedLines(const std::string& Path, const Codec::TEncoding& Encoding, TForm& Form, bool First)
      : FName(Path == "-" ? Messages::Translate("standard input") : Path),
        FForm(Form),
        FFile(std::make_unique<TFileSource>(Path)) {
    if (First) Form = FormOf(Encoding, FFile->Head());
    if (!Form.ByLines) {
      throw System::EFileError(
          Messages::Translate("-c and -m need an encoding whose lines end in the bytes of CR "
                              "and LF, or UTF-16, not %s",
                              {Form.Encoding.Name}));
    }
    FFile->Skip(FormOf(Form.Encoding, FFile->Head()).Mark);
    FReader = std::make_unique<RunMerge::TTextReader>(*FFile, Form.Units, size_t{1} << 16);
  }
  bool Next(RunMerge::TRecord& Record) override {
    if (!FReader->Next(Record)) return false;
    ++FNumber;
    if (FForm.Units == TUnits::unBytes &&
        !Codec::DecodeLines(Record.Line, FForm.Encoding, FScratch)) {
      throw System::EFileError(Messages::Translate(
          "%s: line %s is not valid %s", {FName, std::to_string(FNumber), FForm.Encoding.Name}));
    }
    return true;
  }
  const std::string& Name() const { return FName; }
  size_t Number() const { return FNumber; }
  bool SuppliedBreak() const { return FReader->SuppliedBreak(); }

 private:
  std::string FName;
  const TForm& FForm;
  std::unique_ptr<TFileSource> FFile;
  std::unique_ptr<RunMerge::TTextReader> FReader;
  std::u16string FScratch;
  size_t FNumber = 0;
};

int CheckOrder(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding) {
  TForm Form;
  TCheckedLines Lines(Options.Input, Encoding, Form, true);
  const TDecoders Decoders(Form, Options.Choices.Key);
  const Tarnwick::TSortCommand Command = *Tarnwick::SortCommandOf(Options.Operation->Id);
  const RunMerge::TLineOrder Order(*Decoders.Order, Command.Kind, Command.Order,
                                   Options.Choices.Ties);
  RunMerge::TScratch Scratch;
  RunMerge::TRecord Record;
  std::string Previous;
  std::u16string Decoded;
  while (Lines.Next(Record)) {
    if (Lines.Number() > 1 && Order.Compare(Previous, Record.Line, Scratch) > 0) {
      const std::string_view Body = Record.Line.substr(
          0, Record.Line.size() - RunMerge::BreakLength(Record.Line, Form.Units));
      std::string Shown;
      Codec::Unicode::EncodeUtf8(Decoders.Base().Decode(Body, Decoded), Shown);
      System::WriteStderr(
          "tarnwick: " +
          Messages::Translate("%s:%s: disorder: %s",
                              {Lines.Name(), std::to_string(Lines.Number()), Shown}) +
          "\n");
      return 1;
    }
    Previous.assign(Record.Line);
  }
  return 0;
}

int MergeFiles(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding) {
  std::vector<std::string> Paths{Options.Input};
  Paths.insert(Paths.end(), Options.MoreInputs.begin(), Options.MoreInputs.end());
  if (std::count(Paths.begin(), Paths.end(), "-") > 1) {
    throw System::EFileError(Messages::Translate("standard input can be merged only once"));
  }
  TForm Form;
  std::vector<std::unique_ptr<TCheckedLines>> Files;
  std::vector<RunMerge::TLineSource*> Sources;
  for (const std::string& Path : Paths) {
    Files.push_back(std::make_unique<TCheckedLines>(Path, Encoding, Form, Files.empty()));
    Sources.push_back(Files.back().get());
  }
  const TDecoders Decoders(Form, Options.Choices.Key);
  const Tarnwick::TSortCommand Command = *Tarnwick::SortCommandOf(Options.Operation->Id);
  const RunMerge::TLineOrder Order(*Decoders.Order, Command.Kind, Command.Order,
                                   Options.Choices.Ties);
  const std::string Mark =
      Form.Encoding.Bom
          ? std::string(Form.Units == TUnits::unBytes     ? Codec::Utf8Mark
                        : Form.Units == TUnits::unUtf16LE ? std::string_view("\xFF\xFE", 2)
                                                          : std::string_view("\xFE\xFF", 2))
          : std::string();
  WriteOut(
      Options,
      [&](const std::function<void(std::string_view)>& Put) {
        TOutput Out(Put, Form.Units);
        Out.Add(Mark);
        RunMerge::Merge(Sources, Order,
                        [&Out](const RunMerge::TRecord& Record) { Out.Line(Record.Line); });
        Out.Finish(Files.back()->SuppliedBreak());
      },
      0);
  return 0;
}

// Bytes that Head holds first, then those of Rest.
class THeadThen final : public RunMerge::TByteSource {
 public:
  THeadThen(std::string Head, RunMerge::TByteSource& Rest) : FHead(std::move(Head)), FRest(Rest) {}
  size_t Read(char* Buffer, size_t Size) override {
    if (FAt < FHead.size()) {
      const size_t N = std::min(Size, FHead.size() - FAt);
      std::copy_n(FHead.data() + FAt, N, Buffer);
      FAt += N;
      return N;
    }
    return FRest.Read(Buffer, Size);
  }

 private:
  std::string FHead;
  size_t FAt = 0;
  RunMerge::TByteSource& FRest;
};

// keys: each line as its key in the printable form, a tab, and the line, each ending in LF (a
// line that ends in a lone CR, or in no break, is given one; the last line is keyed with the
// break of the line before it, as the sort orders it).
int WriteKeys(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding) {
  std::vector<std::string> Paths{Options.Input};
  Paths.insert(Paths.end(), Options.MoreInputs.begin(), Options.MoreInputs.end());
  TInputs Inputs(Paths);
  std::string Head;
  Inputs.Fill(Head, 4);
  const TForm Form = FormOf(Encoding, Head);
  if (!Form.ByLines || Form.Units != TUnits::unBytes) {
    throw System::EFileError(
        Messages::Translate("keys needs UTF-8, Shift_JIS, EUC-JP or another encoding whose lines "
                            "end in the bytes of CR and LF, not %s",
                            {Form.Encoding.Name}));
  }
  Inputs.SetForm(Form);
  THeadThen Source(Head.substr(Form.Mark), Inputs);
  RunMerge::TTextReader Reader(Source, Form.Units, size_t{1} << 16);
  const TDecoders Decoders(Form, Options.Choices.Key);
  const Tarnwick::TSortCommand Command = *Tarnwick::SortCommandOf(Options.Operation->Id);
  const RunMerge::TLineOrder Order(*Decoders.Order, Command.Kind, Command.Order,
                                   Options.Choices.Ties);
  const std::string Name = Paths.size() == 1 && Paths.front() == "-"
                               ? Messages::Translate("standard input")
                               : Paths.front();
  WriteOut(
      Options,
      [&](const std::function<void(std::string_view)>& Put) {
        RunMerge::TScratch Scratch;
        RunMerge::TRecord Record;
        std::string Key, Out;
        std::u16string Checked;
        for (size_t Number = 1; Reader.Next(Record); ++Number) {
          if (!Codec::DecodeLines(Record.Line, Form.Encoding, Checked)) {
            throw System::EFileError(Messages::Translate(
                "%s: line %s is not valid %s", {Name, std::to_string(Number), Form.Encoding.Name}));
          }
          if (!Order.Key(Record.Line, Key, Scratch)) {
            throw System::EFileError(Messages::Translate("%s: line %s has no collation key",
                                                         {Name, std::to_string(Number)}));
          }
          RunMerge::AppendPrintableKey(Key, Order.Descending(), Out);
          Out += '\t';
          Out += Record.Line;
          if (Out.back() != '\n') Out += '\n';
          if (Out.size() >= kOutputPiece) {
            Put(Out);
            Out.clear();
          }
        }
        if (!Out.empty()) Put(Out);
      },
      0);
  return 0;
}

// reverse of a regular file larger than a piece, read from its end a block at a time, as tac
// does: the bytes reverse gives in memory. False, with nothing written, where the text must
// take the in-memory path (an encoding that is not cut at bytes, or a text that does not stand
// for itself, which that path converts or reports).
bool ReverseFromEnd(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
                    System::TInput& Input, size_t Block) {
  const auto Size = static_cast<uint64_t>(Input.Size());
  std::string Head(static_cast<size_t>(std::min<uint64_t>(Size, 4)), '\0');
  Head.resize(Input.ReadAt(Head.data(), Head.size(), 0));
  const TForm Form = FormOf(Encoding, Head);
  if (!Form.ByLines || Form.Units != TUnits::unBytes) return false;
  // The text is checked first, a piece at a time, so that a fault is found before any output.
  std::string Piece;
  for (uint64_t At = Form.Mark; At < Size;) {
    Piece.resize(static_cast<size_t>(std::min<uint64_t>(Block, Size - At)));
    Piece.resize(Input.ReadAt(Piece.data(), Piece.size(), At));
    if (Piece.empty()) break;
    const size_t Cut = At + Piece.size() < Size ? LastCut(Piece, Form.Units, false) : Piece.size();
    if (Cut == 0) {
      Block *= 2;  // a line longer than a block
      continue;
    }
    Piece.resize(Cut);
    const bool Stands = Form.Encoding.Family == Codec::TFamily::fmUtf8
                            ? TextPieces::IsUtf8(Piece)
                            : TextPieces::StandsForText(Piece, Form.Encoding, "");
    if (!Stands) return false;
    At += Cut;
  }
  std::string().swap(Piece);
  WriteOut(
      Options,
      [&](const std::function<void(std::string_view)>& Put) {
        TOutput Out(Put, Form.Units);
        Out.Add(std::string_view(Head).substr(0, Form.Mark));
        // The text's last line, when it has no break, takes that of the line before it, and
        // the line that ends up last then loses its break.
        std::string Pending;
        bool First = true, Lent = false;
        const auto Emit = [&](std::string_view Line) {
          if (First) {
            First = false;
            if (RunMerge::BreakLength(Line, Form.Units) == 0) {
              Pending.assign(Line);
              return;
            }
          } else if (!Pending.empty()) {
            Pending += Line.substr(Line.size() - RunMerge::BreakLength(Line, Form.Units));
            Out.Line(Pending);
            Pending.clear();
            Lent = true;
          }
          Out.Line(Line);
        };
        std::string Buffer;  // a block, then the start of the line that goes on after it
        uint64_t Start = Size;
        while (Start > Form.Mark) {
          const size_t Take = static_cast<size_t>(std::min<uint64_t>(Block, Start - Form.Mark));
          Start -= Take;
          std::string Read(Take, '\0');
          if (Input.ReadAt(Read.data(), Take, Start) != Take) {
            throw System::EFileError(Messages::Translate("cannot read %s", {Options.Input}));
          }
          Buffer.insert(0, Read);
          std::vector<size_t> Ends;
          for (size_t At = 0; At < Buffer.size();) {
            size_t End = RunMerge::LineEnd(Buffer, At, Form.Units, true);
            if (End == std::string_view::npos) End = Buffer.size();
            Ends.push_back(End);
            At = End;
          }
          // The first line may begin in the block before, unless the text begins here.
          const size_t Whole = Start == Form.Mark ? 0 : 1;
          for (size_t K = Ends.size(); K > Whole; --K) {
            const size_t Begin = K >= 2 ? Ends[K - 2] : 0;
            Emit(std::string_view(Buffer).substr(Begin, Ends[K - 1] - Begin));
          }
          Buffer.resize(Whole == 1 && !Ends.empty() ? Ends[0] : 0);
        }
        if (!Pending.empty()) Out.Line(Pending);
        Out.Finish(Lent);
      },
      Size);
  return true;
}

// dedupe and count without a key on a text larger than a piece, whose first bytes Text holds:
// the lines parted by hash into runs, each part done in memory. False, with nothing read
// further, where the text must take the in-memory path.
bool DuplicatesPastBuffer(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
                          TInputs& Inputs, std::string& Text, size_t Piece, int64_t Size) {
  const TForm Form = FormOf(Encoding, Text);
  if (!Form.ByLines || Form.Units != TUnits::unBytes) return false;
  Inputs.SetForm(Form);
  const std::string Mark = Text.substr(0, Form.Mark);
  Text.erase(0, Form.Mark);
  using DuplicationRuns::TKeep;
  const TKeep Keep = Options.Operation->Id == Tarnwick::ciDuplicationCount ? TKeep::kpCount
                     : !Options.Choices.Only                               ? TKeep::kpFirst
                     : *Options.Choices.Only == Tarnwick::ocOnce           ? TKeep::kpOnce
                                                                           : TKeep::kpRepeated;
  // Parts of about a quarter of a piece each, where the size is known.
  const size_t Parts =
      Size > 0 ? std::clamp<size_t>(static_cast<size_t>(Size) / std::max<size_t>(Piece / 4, 1) + 1,
                                    2, 256)
               : 64;
  TTempStore Store(Options.TempFolder.empty() ? System::TemporaryFolder() : Options.TempFolder);
  DuplicationRuns::TSpilledDuplicates Duplicates(Store, Parts, Keep);
  const std::string_view Added = Keep == TKeep::kpCount ? ":0123456789" : "";
  uint64_t Total = Mark.size();
  for (bool AtEnd = false, First = true;;) {
    AtEnd = !Inputs.Fill(Text, Piece) || AtEnd;
    size_t Cut = LastCut(Text, Form.Units, AtEnd);
    while (Cut == 0 && !AtEnd) {
      AtEnd = !Inputs.Fill(Text, Text.size() + Piece);
      Cut = LastCut(Text, Form.Units, AtEnd);
    }
    if (AtEnd) Cut = Text.size();
    const std::string_view Chunk = std::string_view(Text).substr(0, Cut);
    const bool Stands = Form.Encoding.Family == Codec::TFamily::fmUtf8
                            ? TextPieces::IsUtf8(Chunk)
                            : TextPieces::StandsForText(Chunk, Form.Encoding, Added);
    if (!Stands) {
      // The common path's report of the fault (a text that decodes is taken as it is).
      Codec::TEncoding Checked = Form.Encoding;
      TextPieces::DecodeText((First ? Mark : std::string()) + std::string(Chunk), Checked);
    }
    First = false;
    for (size_t At = 0; At < Chunk.size();) {
      size_t End = RunMerge::LineEnd(Chunk, At, Form.Units, true);
      if (End == std::string_view::npos) End = Chunk.size();
      Duplicates.Add(Chunk.substr(At, End - At));
      At = End;
    }
    Total += Cut;
    Text.erase(0, Cut);
    if (AtEnd && Text.empty()) break;
  }
  std::string().swap(Text);
  WriteOut(
      Options,
      [&](const std::function<void(std::string_view)>& Put) {
        if (!Mark.empty()) Put(Mark);
        Duplicates.Finish(Put, Piece);
      },
      Total);
  return true;
}

}  // namespace

uint64_t DefaultBufferSize(uint64_t Total, uint64_t Available) {
  if (Total == 0) return uint64_t{1} << 30;
  const uint64_t Memory = std::max(Available, Total / 8);
  return std::max<uint64_t>(std::min(Memory, Total / 4 * 3), uint64_t{1} << 20);
}

bool Handles(const Arguments::TOptions& Options) {
  const uint8_t Id = Options.Operation->Id;
  return Tarnwick::ComparesLines(Id) || Id == Tarnwick::ciReverse ||
         Id == Tarnwick::ciDuplicationDelete || Id == Tarnwick::ciDuplicationCount ||
         Options.Check || Options.Merge || Options.Keys || !Options.MoreInputs.empty();
}

namespace {

// Run, but for output made over an input, which it leaves to Run.
int RunOn(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
          const Operations::TMarks* Marks) {
  uint64_t Buffer = Options.BufferSize != 0
                        ? Options.BufferSize
                        : DefaultBufferSize(System::PhysicalMemory(), System::AvailableMemory());
  if (sizeof(void*) < 8) {
    Buffer = std::min<uint64_t>(Buffer, uint64_t{1} << 30);
    // A 32-bit build refuses a file of half its address space or more, as the whole-text read
    // does (whose check this calls before it reads a byte): one line of it may not fit.
    std::vector<std::string> Files{Options.Input};
    Files.insert(Files.end(), Options.MoreInputs.begin(), Options.MoreInputs.end());
    for (const std::string& Path : Files) {
      if (Path != "-" && System::TInput(Path).Size() >= static_cast<int64_t>(SIZE_MAX / 2))
        System::ReadAll(Path);
    }
  }
  // A sort takes about four times its text's bytes: the text, its lines' keys, the records.
  const auto Piece = static_cast<size_t>(std::max<uint64_t>(Buffer / 4, kLeastPiece));
  if (Options.Keys) return WriteKeys(Options, Encoding);
  if (Options.Check) return CheckOrder(Options, Encoding);
  if (Options.Merge) return MergeFiles(Options, Encoding);
  std::vector<std::string> Paths{Options.Input};
  Paths.insert(Paths.end(), Options.MoreInputs.begin(), Options.MoreInputs.end());
  if (Paths.size() == 1 && Paths.front() != "-") {
    // A file that fits is read as before, in parts on the threads.
    // The file is closed again first: Windows cannot replace a file that is open (-o on it).
    const int64_t Size = System::TInput(Paths.front()).Size();
    if (Size >= 0 && static_cast<uint64_t>(Size) <= Piece) {
      return RunInMemory(Options, Encoding, System::ReadAll(Paths.front()), Marks);
    }
  }
  // The file is read while the output is written: not when the output replaces it.
  if (Paths.size() == 1 && Paths.front() != "-" && Options.Output != Paths.front() &&
      Options.Operation->Id == Tarnwick::ciReverse) {
    System::TInput Input(Paths.front());
    if (Input.Size() > static_cast<int64_t>(Piece) &&
        ReverseFromEnd(Options, Encoding, Input, std::min<size_t>(Piece, size_t{1} << 22))) {
      return 0;
    }
  }
  TInputs Inputs(Paths);
  std::string Text;
  const bool Sorts = Tarnwick::ComparesLines(Options.Operation->Id);
  const uint8_t Id = Options.Operation->Id;
  if ((Id == Tarnwick::ciDuplicationDelete || Id == Tarnwick::ciDuplicationCount) &&
      !Options.Choices.Key.Active() && Inputs.Fill(Text, Piece + 1)) {
    const int64_t Size =
        Paths.size() == 1 && Paths.front() != "-" ? System::TInput(Paths.front()).Size() : -1;
    if (DuplicatesPastBuffer(Options, Encoding, Inputs, Text, Piece, Size)) return 0;
  }
  if (!Sorts) {
    // The other operations take the whole text in memory.
    while (Inputs.Fill(Text, Text.size() + Piece)) {
    }
    return RunInMemory(Options, Encoding, std::move(Text), Marks);
  }
  if (!Inputs.Fill(Text, Piece + 1)) return RunInMemory(Options, Encoding, std::move(Text), Marks);
  return SortPastBuffer(Options, Encoding, Inputs, Text, Piece);
}

}  // namespace

int Run(const Arguments::TOptions& Options, const Codec::TEncoding& Encoding,
        const Operations::TMarks* Marks) {
  gStaged.reset();  // none left by a run that failed
  const int Code = RunOn(Options, Encoding, Marks);
  if (gStaged) {
    // The inputs are closed now: the output made over one of them replaces it.
    const std::unique_ptr<System::TTempFile> Staged = std::move(gStaged);
    WriteOut(
        Options,
        [&Staged](const std::function<void(std::string_view)>& Put) {
          std::string Buffer(size_t{1} << 20, '\0');
          while (const size_t Got = Staged->Read(Buffer.data(), Buffer.size())) {
            Put(std::string_view(Buffer.data(), Got));
          }
        },
        gStagedSize, false);
  }
  return Code;
}

}  // namespace Spill
