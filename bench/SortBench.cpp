// The sort orders on generated lines: the keyed engine (the product's) against the
// comparators run as written (tests/reference), on 100,000 and 1,000,000 lines.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "commands/LineReversal.h"
#include "sorting/CollationKeys.h"
#include "sorting/SortWhereTheyLie.h"
#include "sorting/StringRecordListNormalSort.h"
#include "tests/reference/PlainSort.h"
#ifndef _WIN32
#include "platform/linux/Nls.h"
#endif

using namespace StringRecordListNormalSort;
using KeyedSort::TCollationKeys;

namespace {

enum TCorpus { cWords, cNumbers, cJapanese };

std::u16string Words(std::mt19937& Rng) {
  static const char16_t* const List[] = {
      u"alpha",   u"bravo",    u"charlie", u"delta", u"echo", u"foxtrot", u"golf",
      u"hotel",   u"india",    u"juliet",  u"kilo",  u"lima", u"mike",    u"november",
      u"oscar",   u"papa",     u"Log",     u"ERROR", u"warn", u"info",    u"debug",
      u"request", u"response", u"user",    u"path"};
  std::u16string Line;
  while (Line.size() < 38) {
    if (!Line.empty()) Line += u' ';
    Line += List[Rng() % std::size(List)];
  }
  return Line;
}

std::u16string Numbers(std::mt19937& Rng) {
  std::u16string Line = u"item";
  while (Line.size() < 36) {
    Line += Rng() % 3 == 0 ? u" -" : u" ";
    const uint64_t Value = Rng() % 10000000;
    std::u16string Digits;
    for (const char C : std::to_string(Value)) {
      Digits += Rng() % 8 == 0 ? static_cast<char16_t>(0xFF10 + (C - '0')) : char16_t(C);
    }
    Line += Digits;
    if (Rng() % 4 == 0) Line += u",000";
  }
  return Line;
}

std::u16string Japanese(std::mt19937& Rng) {
  static const std::u16string Kana =
      u"あいうえおかきくけこさしすせそたちつてとなにぬねのアイウエオカキクケコｱｲｳｴｵ";
  static const std::u16string Kanji = u"日本語文字列行並替重複削除表示昇順降順辞書整数比較";
  std::u16string Line;
  while (Line.size() < 18) {
    Line += Rng() % 3 == 0 ? Kanji[Rng() % Kanji.size()] : Kana[Rng() % Kana.size()];
    if (Rng() % 10 == 0) Line += u"ab1";
  }
  return Line;
}

// One text per corpus and size, made once: CR LF breaks, a last line without one.
const std::u16string& Corpus(TCorpus Kind, int64_t Lines) {
  static std::map<std::pair<TCorpus, int64_t>, std::u16string> Made;
  auto& Text = Made[{Kind, Lines}];
  if (Text.empty()) {
    std::mt19937 Rng(42);
    for (int64_t I = 0; I < Lines; ++I) {
      Text += Kind == cWords ? Words(Rng) : Kind == cNumbers ? Numbers(Rng) : Japanese(Rng);
      if (I + 1 < Lines) Text += u"\r\n";
    }
  }
  return Text;
}

void PinCollation(TCorpus Kind) {
#ifndef _WIN32
  standin::SetCollationLocale(Kind == cJapanese ? "ja" : "en");
#else
  (void)Kind;
#endif
}

// Ascending for the orders that compare lines; reversal happens only with soDescending.
TSortOrder OrderFor(TSortKind Kind) { return Kind == skReverse ? soDescending : soAscending; }

// The keyed engine where the lines lie, as the plug-in sorts; reversal works on the text.
void KeyedSort(benchmark::State& State, TCorpus Kind, TSortKind SortKind) {
  PinCollation(Kind);
  const std::u16string& Text = Corpus(Kind, State.range(0));
  std::u16string Sorted;
  for (auto _ : State) {
    if (SortKind == skReverse) {
      Sorted = LineReversal::ReverseLines(Text);
    } else if (!KeyedSort::SortWhereTheyLie(Text, SortKind, OrderFor(SortKind), Sorted)) {
      State.SkipWithError("no keys");
      break;
    }
    benchmark::DoNotOptimize(Sorted.data());
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

void PlainSortBench(benchmark::State& State, TCorpus Kind, TSortKind SortKind) {
  PinCollation(Kind);
  const std::u16string& Text = Corpus(Kind, State.range(0));
  std::unique_ptr<PlainSort::TPlainSortList> List;
  for (auto _ : State) {
    // The previous list is released and the next one filled while the clock is stopped.
    State.PauseTiming();
    List = std::make_unique<PlainSort::TPlainSortList>();
    List->SetText(Text);
    State.ResumeTiming();
    List->ExecuteSort(SortKind, OrderFor(SortKind));
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

constexpr int64_t K100 = 100000;
constexpr int64_t M1 = 1000000;

#define TARNWICK_SORT_BENCH(Name, Corpus, Kind)         \
  BENCHMARK_CAPTURE(KeyedSort, Name, Corpus, Kind)      \
      ->Arg(K100)                                       \
      ->Arg(M1)                                         \
      ->Unit(benchmark::kMillisecond)                   \
      ->Iterations(3);                                  \
  BENCHMARK_CAPTURE(PlainSortBench, Name, Corpus, Kind) \
      ->Arg(K100)                                       \
      ->Arg(M1)                                         \
      ->Unit(benchmark::kMillisecond)                   \
      ->Iterations(1)

TARNWICK_SORT_BENCH(TextWords, cWords, skText);
TARNWICK_SORT_BENCH(TextJapanese, cJapanese, skText);
TARNWICK_SORT_BENCH(ReverseTextWords, cWords, skReverseText);
TARNWICK_SORT_BENCH(NumericNumbers, cNumbers, skNumeric);
// Lines without numbers all tie on their numbers: the dictionary order decides throughout.
TARNWICK_SORT_BENCH(NumericWords, cWords, skNumeric);
TARNWICK_SORT_BENCH(ByteLengthWords, cWords, skByteLength);
TARNWICK_SORT_BENCH(ByteLengthJapanese, cJapanese, skByteLength);
TARNWICK_SORT_BENCH(ReverseWords, cWords, skReverse);

}  // namespace

namespace {

// Deriving the collation keys alone: the part of the keyed sort spent in the platform.
void CollationKeys(benchmark::State& State, TCorpus Kind) {
  PinCollation(Kind);
  TStringRecordListNormalSort List;
  List.SetText(Corpus(Kind, State.range(0)));
  for (auto _ : State) {
    TCollationKeys Keys;
    Keys.Reserve(static_cast<size_t>(List.Count()), 40 * static_cast<size_t>(List.Count()));
    for (int32_t I = 0; I < List.Count(); ++I) Keys.Add(List.ItemRef(I));
    benchmark::DoNotOptimize(Keys.Count());
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}

BENCHMARK_CAPTURE(CollationKeys, Words, cWords)->Arg(M1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CollationKeys, Japanese, cJapanese)->Arg(M1)->Unit(benchmark::kMillisecond);

}  // namespace
