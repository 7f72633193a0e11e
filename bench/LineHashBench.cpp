// The line hash of the duplicate commands: XXH3 with a seed against the multiply-and-shift
// hash it replaced, over lines of typical lengths. Both hash the same lines, one after the
// other, as a scan of a text does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// The hash the duplicate commands used before XXH3, kept here as the baseline.
uint64_t MultiplyShiftHash(const char16_t* P, size_t N) {
  constexpr uint64_t K = 0x9E3779B97F4A7C15ull;
  const unsigned char* B = reinterpret_cast<const unsigned char*>(P);
  const size_t Bytes = N * sizeof(char16_t);
  uint64_t H = (Bytes + 1) * K;
  auto Step = [&H](uint64_t W) {
    H = (H ^ W) * K;
    H ^= H >> 32;
  };
  uint64_t W = 0;
  if (Bytes >= 8) {
    size_t I = 0;
    for (; I + 8 < Bytes; I += 8) {
      std::memcpy(&W, B + I, 8);
      Step(W);
    }
    std::memcpy(&W, B + Bytes - 8, 8);
  } else if (Bytes >= 4) {
    uint32_t Lo = 0;
    uint32_t Hi = 0;
    std::memcpy(&Lo, B, 4);
    std::memcpy(&Hi, B + Bytes - 4, 4);
    W = (static_cast<uint64_t>(Hi) << 32) | Lo;
  } else if (Bytes == 2) {
    uint16_t Unit = 0;
    std::memcpy(&Unit, B, 2);
    W = Unit;
  }
  Step(W);
  H ^= H >> 33;
  H *= 0xFF51AFD7ED558CCDull;
  H ^= H >> 33;
  H *= 0xC4CEB9FE1A85EC53ull;
  H ^= H >> 33;
  return H;
}

// 4096 lines of random lengths around Length code units, back to back.
struct TLines {
  std::u16string Text;
  std::vector<std::pair<size_t, size_t>> Spans;
};

const TLines& Lines(int64_t Length) {
  static std::vector<std::pair<int64_t, TLines>> Cache;
  for (const auto& [Key, Value] : Cache) {
    if (Key == Length) return Value;
  }
  std::mt19937 Rng(static_cast<uint32_t>(Length));
  TLines Result;
  for (int I = 0; I < 4096; ++I) {
    const size_t N = Length / 2 + Rng() % static_cast<uint32_t>(Length + 1);
    Result.Spans.emplace_back(Result.Text.size(), N);
    for (size_t K = 0; K < N; ++K) Result.Text += static_cast<char16_t>(u'a' + Rng() % 26);
  }
  Cache.emplace_back(Length, std::move(Result));
  return Cache.back().second;
}

template <typename THash>
void HashLines(benchmark::State& State, THash Hash) {
  const TLines& Data = Lines(State.range(0));
  uint64_t Sum = 0;
  for (auto _ : State) {
    for (const auto& [Offset, N] : Data.Spans) Sum += Hash(Data.Text.data() + Offset, N);
    benchmark::DoNotOptimize(Sum);
  }
  State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(Data.Spans.size()));
  State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Data.Text.size() * 2));
}

void BM_LineHash_MultiplyShift(benchmark::State& State) { HashLines(State, MultiplyShiftHash); }

void BM_LineHash_Xxh3Seeded(benchmark::State& State) {
  const uint64_t Seed = 0x2545F4914F6CDD1Dull;
  HashLines(State, [Seed](const char16_t* P, size_t N) {
    return XXH3_64bits_withSeed(P, N * sizeof(char16_t), Seed);
  });
}

BENCHMARK(BM_LineHash_MultiplyShift)->Arg(4)->Arg(12)->Arg(32)->Arg(100)->Arg(400);
BENCHMARK(BM_LineHash_Xxh3Seeded)->Arg(4)->Arg(12)->Arg(32)->Arg(100)->Arg(400);

}  // namespace
