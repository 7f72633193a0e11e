// The three duplicate commands on texts of 100,000 and 1,000,000 lines, with few repeats
// (lines drawn from 100 million values) and many (from 1,000 values).
//
// Every timed call starts from the same state whatever the size: the caches hold none of the
// text (a large buffer is swept between calls, untimed) and every large buffer the command
// allocates is fresh memory, as for one command in the editor or one run of the tool.
// Otherwise the smaller texts would run from the cache and the larger ones from memory, and
// the ratio between them would measure the cache rather than the command. TextCopy, a plain
// copy of the text, shows what any linear pass costs at each size under the same conditions.
// TARNWICK_BENCH_WARM=1 in the environment skips the sweep, for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/LineCommands.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Lines such as "record 12345 of the log" with CR LF; built once per size and kind.
const std::u16string& Corpus(int64_t Lines, int64_t Distinct) {
  static std::map<std::pair<int64_t, int64_t>, std::u16string> Cache;
  std::u16string& Text = Cache[{Lines, Distinct}];
  if (!Text.empty()) return Text;
  std::mt19937_64 Rng(static_cast<uint64_t>(Lines * 31 + Distinct));
  for (int64_t I = 0; I < Lines; ++I) {
    const std::string Line =
        "record " + std::to_string(Rng() % static_cast<uint64_t>(Distinct)) + " of the log\r\n";
    for (const char C : Line) Text += static_cast<char16_t>(C);
  }
  return Text;
}

// glibc keeps freed buffers below 32 MB for reuse; a fixed threshold makes every large
// buffer fresh at every size.
void FreshLargeBuffers() {
#if defined(__GLIBC__)
  static const bool Done = mallopt(M_MMAP_THRESHOLD, 256 * 1024) != 0;
  (void)Done;
#endif
}

// Sweeps a buffer several times larger than the last-level cache this machine offers.
void EvictCaches() {
  static std::vector<uint64_t> Sweep(256u << 17);  // 256 MB
  uint64_t Sum = 0;
  for (uint64_t& Word : Sweep) Sum += ++Word;
  benchmark::DoNotOptimize(Sum);
}

std::u16string TextCopy(const std::u16string& Text) { return Text; }

// Times Command on the text MakeText gives for the benchmark's lines and distinct values,
// each call from cold caches unless TARNWICK_BENCH_WARM is set.
template <class TText, class TCommand>
void TimeCommand(benchmark::State& State, const TText& (*MakeText)(int64_t, int64_t),
                 TCommand Command) {
  FreshLargeBuffers();  // before the text is made, so that it too is laid out as at any size
  static const bool Warm = std::getenv("TARNWICK_BENCH_WARM") != nullptr;
  const TText& Text = MakeText(State.range(0), State.range(1));
  for (auto _ : State) {
    if (!Warm) {
      State.PauseTiming();
      EvictCaches();
      State.ResumeTiming();
    }
    TText Result = Command(Text);
    benchmark::DoNotOptimize(Result.data());
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

template <std::u16string (*Command)(const std::u16string&)>
void BM_Command(benchmark::State& State) {
  TimeCommand(State, &Corpus, Command);
}

// The same lines in UTF-8, as the tool runs the commands on the bytes of a file.
const std::string& Utf8Corpus(int64_t Lines, int64_t Distinct) {
  static std::map<std::pair<int64_t, int64_t>, std::string> Cache;
  std::string& Text = Cache[{Lines, Distinct}];
  if (Text.empty()) {
    for (const char16_t C : Corpus(Lines, Distinct)) Text += static_cast<char>(C);
  }
  return Text;
}

std::string DeleteInPlace(std::string_view Text) {
  std::string Bytes(Text);
  Bytes.resize(Tarnwick::DuplicationDeleteInPlace(Bytes.data(), Bytes.size()));
  return Bytes;
}

template <std::string (*Command)(std::string_view)>
void BM_Utf8Command(benchmark::State& State) {
  TimeCommand(State, &Utf8Corpus, Command);
}

std::string Utf8Copy(std::string_view Text) { return std::string(Text); }

void Sizes(benchmark::internal::Benchmark* B) {
  B->ArgNames({"lines", "distinct"});
  for (const int64_t Lines : {100'000, 1'000'000}) {
    B->Args({Lines, 100'000'000});  // Few repeats.
    B->Args({Lines, 1'000});        // Many repeats.
  }
  B->Unit(benchmark::kMillisecond)->Iterations(10);
}

}  // namespace

BENCHMARK(BM_Command<TextCopy>)->Name("TextCopy")->Apply(Sizes);
BENCHMARK(BM_Command<Tarnwick::DuplicationDelete>)->Name("DuplicationDelete")->Apply(Sizes);
BENCHMARK(BM_Command<Tarnwick::DuplicationDeleteCountDown>)
    ->Name("DuplicationDeleteCountDown")
    ->Apply(Sizes);
BENCHMARK(BM_Command<Tarnwick::DuplicationHighlightPattern>)
    ->Name("DuplicationHighlightPattern")
    ->Apply(Sizes);

// On UTF-8 bytes; deletion in place includes a copy of the text (Utf8TextCopy alone).
BENCHMARK(BM_Utf8Command<Utf8Copy>)->Name("Utf8TextCopy")->Apply(Sizes);
BENCHMARK(BM_Utf8Command<DeleteInPlace>)->Name("Utf8DuplicationDeleteInPlace")->Apply(Sizes);
BENCHMARK(BM_Utf8Command<Tarnwick::DuplicationDeleteCountDown>)
    ->Name("Utf8DuplicationDeleteCountDown")
    ->Apply(Sizes);
BENCHMARK(BM_Utf8Command<Tarnwick::DuplicationHighlightPattern>)
    ->Name("Utf8DuplicationHighlightPattern")
    ->Apply(Sizes);
