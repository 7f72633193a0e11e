// The work around every line command: cutting a text into line cells, joining them again,
// releasing a list whose cells a sort has shuffled, and reversing lines straight on the text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "commands/LineReversal.h"
#include "lists/StringRecordList.h"

namespace {

using StringRecordList::TCommonStringRecordList;

// Lines of 30 to 50 ASCII letters with CR LF, made once per size.
const std::u16string& Text(int64_t Lines) {
  static std::vector<std::pair<int64_t, std::u16string>> Made;
  for (const auto& [Count, Kept] : Made)
    if (Count == Lines) return Kept;
  std::mt19937 Rng(7);
  std::u16string Result;
  for (int64_t I = 0; I < Lines; ++I) {
    const int Length = 30 + static_cast<int>(Rng() % 21);
    for (int K = 0; K < Length; ++K) Result += static_cast<char16_t>(u'a' + Rng() % 26);
    Result += u"\r\n";
  }
  Made.emplace_back(Lines, std::move(Result));
  return Made.back().second;
}

// A list whose cell order can be shuffled, as a sort leaves it.
class ShuffledList : public TCommonStringRecordList {
 public:
  void Shuffle() {
    std::mt19937 Rng(3);
    std::shuffle(FList.List(), FList.List() + FList.Count(), Rng);
  }
};

void Split(benchmark::State& State) {
  const std::u16string& Source = Text(State.range(0));
  for (auto _ : State) {
    auto List = std::make_unique<TCommonStringRecordList>();
    List->SetText(Source);
    benchmark::DoNotOptimize(List->Count());
    State.PauseTiming();
    List.reset();
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

void Join(benchmark::State& State) {
  TCommonStringRecordList List;
  List.SetText(Text(State.range(0)));
  for (auto _ : State) benchmark::DoNotOptimize(List.Text());
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

// Releasing the cells of a list after a sort has put them in an order unrelated to memory.
void ReleaseShuffled(benchmark::State& State) {
  for (auto _ : State) {
    State.PauseTiming();
    auto List = std::make_unique<ShuffledList>();
    List->SetText(Text(State.range(0)));
    List->Shuffle();
    State.ResumeTiming();
    List.reset();
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

void ReverseLines(benchmark::State& State) {
  const std::u16string& Source = Text(State.range(0));
  for (auto _ : State) benchmark::DoNotOptimize(LineReversal::ReverseLines(Source));
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

void ReverseLinesInPlace(benchmark::State& State) {
  for (auto _ : State) {
    State.PauseTiming();
    std::u16string Copy = Text(State.range(0));
    State.ResumeTiming();
    LineReversal::ReverseLinesInPlace(Copy);
    benchmark::DoNotOptimize(Copy.data());
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

BENCHMARK(Split)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(Join)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReleaseShuffled)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReverseLines)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReverseLinesInPlace)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
