// The sort past the buffer driven in memory: a text's lines cut into pieces of about Piece
// bytes, each sorted into a run, and the runs merged FanIn at a time, with the last line's break
// lent and taken back as the tool does it.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sorting/RunMerge.h"

namespace RunSort {

class TMemoryRun final : public RunMerge::TRunFile {
 public:
  void Write(std::string_view Bytes) override { FBytes += Bytes; }
  void Rewind() override { FAt = 0; }
  size_t Read(char* Buffer, size_t Size) override {
    const size_t N = std::min(Size, FBytes.size() - FAt);
    std::copy_n(FBytes.data() + FAt, N, Buffer);
    FAt += N;
    return N;
  }

 private:
  std::string FBytes;
  size_t FAt = 0;
};

class TMemoryRuns final : public RunMerge::TRunStore {
 public:
  std::unique_ptr<RunMerge::TRunFile> Create() override {
    ++Made;
    return std::make_unique<TMemoryRun>();
  }
  int Made = 0;
};

// Bytes, whole lines in Units, sorted in runs by Order; Merged counts the runs the merges made.
inline std::string SortInRuns(std::string_view Bytes, RunMerge::TUnits Units,
                              const RunMerge::TLineOrder& Order, size_t Piece, size_t FanIn,
                              int& Merged) {
  std::vector<std::string> Lines;
  for (size_t At = 0; At < Bytes.size();) {
    size_t End = RunMerge::LineEnd(Bytes, At, Units, true);
    if (End == std::string_view::npos) End = Bytes.size();
    Lines.emplace_back(Bytes.substr(At, End - At));
    At = End;
  }
  if (Lines.empty()) return std::string(Bytes);
  // The last line without a break sorts with the break of the line before it (CR LF alone).
  const bool Lent = RunMerge::BreakLength(Lines.back(), Units) == 0;
  if (Lent) {
    std::string Break(Units == RunMerge::TUnits::unBytes     ? std::string_view("\r\n")
                      : Units == RunMerge::TUnits::unUtf16LE ? std::string_view("\r\0\n\0", 4)
                                                             : std::string_view("\0\r\0\n", 4));
    if (Lines.size() > 1) {
      const std::string& Before = Lines[Lines.size() - 2];
      Break = Before.substr(Before.size() - RunMerge::BreakLength(Before, Units));
    }
    Lines.back() += Break;
  }
  TMemoryRuns Store;
  std::vector<std::unique_ptr<RunMerge::TRunFile>> Runs;
  std::string Chunk;
  for (size_t I = 0; I < Lines.size(); ++I) {
    Chunk += Lines[I];
    if (Chunk.size() >= Piece || I + 1 == Lines.size()) {
      Runs.push_back(Store.Create());
      RunMerge::WriteSortedRun(Chunk, Units, Order, *Runs.back());
      Chunk.clear();
    }
  }
  const int Written = Store.Made;
  std::string Sorted, Last;
  RunMerge::MergeRuns(std::move(Runs), Order, Store, FanIn, 256, [&](const RunMerge::TRecord& R) {
    Sorted += R.Line;
    Last = R.Line;
  });
  Merged = Store.Made - Written;
  if (Lent) Sorted.resize(Sorted.size() - RunMerge::BreakLength(Last, Units));
  return Sorted;
}

}  // namespace RunSort
