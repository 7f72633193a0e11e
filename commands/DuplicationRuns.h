// dedupe and count past the memory a program may use: the lines are cut by a hash of their text
// into parts kept in run files, each part is done in memory, and the kept lines are put back in
// the order the command gives them (first appearance; for count, the larger group first) by
// merging the parts' results on their keys. Lines are compared without their breaks, byte for
// byte, as the duplicate commands compare valid UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sorting/RunMerge.h"

namespace DuplicationRuns {

// What is kept: the first line of each text (dedupe), the lines whose text occurs once
// (--only-unique), the first line of each text that occurs more than once (--only-repeated),
// or each text once with ":" and its count (count).
enum class TKeep : uint8_t { kpFirst, kpOnce, kpRepeated, kpCount };

class TSpilledDuplicates {
 public:
  // Parts run files of Store hold the lines until Finish.
  TSpilledDuplicates(RunMerge::TRunStore& Store, size_t Parts, TKeep Keep);
  // The next line of the text, its break included (the last line may have none).
  void Add(std::string_view Line);
  // Hands the result to Put, a piece at a time, reading through buffers of about Buffer bytes.
  void Finish(const std::function<void(std::string_view)>& Put, size_t Buffer);

 private:
  RunMerge::TRunStore& FStore;
  TKeep FKeep;
  std::vector<std::unique_ptr<RunMerge::TRunFile>> FParts;
  std::vector<std::unique_ptr<RunMerge::TRunWriter>> FWriters;
  uint64_t FNumber = 0;
};

}  // namespace DuplicationRuns
