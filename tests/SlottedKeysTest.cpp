#include "sorting/SlottedKeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

using KeyedSort::TSlottedKeys;

namespace {

std::string Stored(const uint8_t* Key) {
  uint32_t Length;
  std::memcpy(&Length, Key, sizeof Length);
  return std::string(reinterpret_cast<const char*>(Key + 4), Length);
}

const uint8_t* Bytes(const std::string& S) { return reinterpret_cast<const uint8_t*>(S.data()); }

}  // namespace

TEST(SlottedKeys, KeysAcrossSegmentsReadBackUntilTheSpaceIsFull) {
  // Segments of 16 bytes, 128 bytes in all: keys that fill a segment exactly, leave the end
  // of one unused, or need a block of several segments; past the end of the space a key is
  // refused with std::bad_alloc (the sort then falls back as when memory runs out).
  TSlottedKeys Keys(8, 16, 128);
  const std::vector<std::string> Texts = {"twelve bytes", "", "abc",
                                          "forty bytes of one key in three segments", "x"};
  for (size_t I = 0; I < Texts.size(); ++I) {
    EXPECT_EQ(Keys.Find(I), nullptr);
    EXPECT_EQ(Stored(Keys.Store(I, Bytes(Texts[I]), Texts[I].size())), Texts[I]);
  }
  for (size_t I = 0; I < Texts.size(); ++I) EXPECT_EQ(Stored(Keys.Find(I)), Texts[I]) << I;
  // A key stored once stays: a second one for the same line is not kept.
  EXPECT_EQ(Stored(Keys.Store(2, Bytes("other"), 5)), "abc");
  // 88 of the 128 bytes are taken or left behind: a key of 60 does not fit (it would need four
  // whole segments), one of 28 fills the last two, and then nothing fits.
  const std::string Long(60, 'L');
  EXPECT_THROW(Keys.Store(5, Bytes(Long), Long.size()), std::bad_alloc);
  EXPECT_EQ(Keys.Find(5), nullptr);
  EXPECT_EQ(Stored(Keys.Store(6, Bytes(Long), 28)), Long.substr(0, 28));
  EXPECT_THROW(Keys.Store(7, Bytes("y"), 1), std::bad_alloc);
  for (size_t I = 0; I < Texts.size(); ++I) EXPECT_EQ(Stored(Keys.Find(I)), Texts[I]) << I;
}

TEST(SlottedKeys, ThreadsStoringTheSameLinesKeepOneKeyEach) {
  constexpr size_t Lines = 20000;
  TSlottedKeys Keys(Lines, 4096);
  std::vector<std::thread> Threads;
  for (int T = 0; T < 4; ++T) {
    Threads.emplace_back([&Keys, T] {
      for (size_t I = 0; I < Lines; ++I) {
        const size_t Line = T % 2 == 0 ? I : Lines - 1 - I;
        const std::string Key = std::to_string(Line) + std::string(Line % 50, 'k');
        if (Keys.Find(Line) == nullptr) Keys.Store(Line, Bytes(Key), Key.size());
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();
  for (size_t I = 0; I < Lines; ++I) {
    ASSERT_EQ(Stored(Keys.Find(I)), std::to_string(I) + std::string(I % 50, 'k')) << I;
  }
}
