#include "cli/KeyedLines.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>

#include "TemplateList/ListClone.h"
#include "base/Parallel.h"
#include "commands/CommandId.h"
#include "commands/DuplicationLineTable.h"
#include "sorting/Comparators.h"
#include "sorting/StringRecordListNormalSort.h"
#include "strings/LineOrder.h"
#include "strings/LineScan.h"
#include "strings/StringUnit.h"
#include "strings/Utf8.h"

namespace KeyedLines {
namespace {

using LineScan::TLine;

class TKeyView final : public KeyedSort::TLineView {
 public:
  explicit TKeyView(const TKeyRule& Rule) : FRule(Rule) {}
  std::u16string_view View(std::u16string_view Line, std::u16string& Scratch) const override {
    return SortKeyOf(Line, FRule, Scratch);
  }
  int32_t Measure(std::u16string_view Line, std::u16string&) const override {
    return MeasureOf(Line, FRule);
  }

 private:
  const TKeyRule& FRule;
};

// The keys by which lines are grouped, as bytes that two keys share exactly when their texts
// (LineKey::AppendKey) are equal: the key's characters in UTF-8 (a lone surrogate as three
// bytes). A line of UTF-8 whose characters each fold alone is keyed straight from its bytes,
// which are checked on the way.
class TGroupKeys final : public DuplicationLineTable::TKeyMaker<char>,
                         public DuplicationLineTable::TKeyMaker<char16_t> {
 public:
  explicit TGroupKeys(const TKeyRule& Rule)
      : FRule(Rule),
        FMap(Rule.Fold != 0 ? &LineKey::TFoldMap::Of(Rule.Fold) : nullptr),
        FKeyBytes(new uint32_t[0x10000]()) {
    // Where ASCII keeps its letters or capitalizes them, as the folds do, eight characters at
    // a time are keyed at once.
    bool Same = true, Upper = true;
    for (char16_t C = 0; C < 0x80; ++C) {
      const uint32_t Key = KeyBytesOf(C);
      Same &= Key == (1u << 24 | C);
      Upper &= Key == (1u << 24 | (C >= u'a' && C <= u'z' ? C - 0x20u : C));
    }
    FAsciiWords = Same ? awSame : Upper ? awUpper : awNone;
  }

  size_t Key(std::u16string_view Body, std::string& Out) override {
    FKey.clear();
    LineKey::AppendKey(Body, FRule, FKey);
    auto* const Start = Room(Out, 3 * FKey.size());
    unsigned char* Byte = Start;
    for (size_t I = 0; I < FKey.size(); ++I) {
      const char16_t Unit = FKey[I];
      if (Unit >= 0xD800 && Unit < 0xDC00 && I + 1 < FKey.size() && FKey[I + 1] >= 0xDC00 &&
          FKey[I + 1] < 0xE000) {
        Byte = Put(0x10000 + ((Unit - 0xD800) << 10) + (FKey[++I] - 0xDC00), Byte);
      } else {
        Byte = Put(Unit, Byte);
      }
    }
    return static_cast<size_t>(Byte - Start);
  }

  size_t Key(std::string_view Body, std::string& Out) override { return CheckedKey(Body, Out); }

  // As Key, for Body in UTF-8 that may not be well-formed: kNoKey where it is not.
  size_t CheckedKey(std::string_view Body, std::string& Out) {
    if (FRule.Field == 0) {
      if (const size_t Size = KeyAlone(Body, Out); Size != kNoKey) return Size;
    } else if (Utf8::IsAscii(Body)) {
      if (const size_t Size = KeyAlone(LineKey::FieldOf(Body, FRule), Out); Size != kNoKey) {
        return Size;
      }
    }
    if (Utf8::FirstInvalid(Body) != std::string_view::npos) return kNoKey;
    return Key(Utf8::DecodeWellFormed(Body, FBody), Out);
  }
  size_t CheckedKey(std::u16string_view Body, std::string& Out) { return Key(Body, Out); }

  static constexpr size_t kNoKey = SIZE_MAX;

 private:
  // How eight ASCII characters are keyed at once: as they are, capitalized, or not at all.
  enum TAsciiWords : uint8_t { awSame, awUpper, awNone };
  // An entry of FKeyBytes: 0 before the unit is first met; else where it folds alone
  // (LineKey::TFoldMap::Alone), the key's bytes for it, the first in the low byte, with their
  // number (1 to 3) in the high byte; kNotAlone where it does not.
  static constexpr uint32_t kNotAlone = 0x80000000;
  static constexpr uint64_t kHighBits = 0x8080808080808080ull;

  // Where at least Need bytes may be written at the start of Out, as unsigned bytes.
  static unsigned char* Room(std::string& Out, size_t Need) {
    if (Out.size() < Need) Out.resize(std::max(Need, 2 * Out.size()));
    return reinterpret_cast<unsigned char*>(Out.data());
  }

  uint32_t KeyBytesOf(char16_t C) {
    uint32_t& Entry = FKeyBytes[C];
    if (Entry == 0) {
      const int32_t Unit = FMap != nullptr ? FMap->Alone(C) : C;
      if (Unit < 0) {
        Entry = kNotAlone;
      } else {
        unsigned char Bytes[3];
        const auto Count = static_cast<uint32_t>(Put(static_cast<char16_t>(Unit), Bytes) - Bytes);
        Entry = Count << 24 | Bytes[0] | (Count > 1 ? Bytes[1] << 8 : 0) |
                (Count > 2 ? Bytes[2] << 16 : 0);
      }
    }
    return Entry;
  }

  // Writes the UTF-8 form of Point at Byte; returns the end.
  static unsigned char* Put(char32_t Point, unsigned char* Byte) {
    if (Point < 0x80) {
      *Byte++ = static_cast<unsigned char>(Point);
    } else if (Point < 0x800) {
      *Byte++ = static_cast<unsigned char>(0xC0 | Point >> 6);
      *Byte++ = static_cast<unsigned char>(0x80 | (Point & 0x3F));
    } else if (Point < 0x10000) {
      *Byte++ = static_cast<unsigned char>(0xE0 | Point >> 12);
      *Byte++ = static_cast<unsigned char>(0x80 | (Point >> 6 & 0x3F));
      *Byte++ = static_cast<unsigned char>(0x80 | (Point & 0x3F));
    } else {
      *Byte++ = static_cast<unsigned char>(0xF0 | Point >> 18);
      *Byte++ = static_cast<unsigned char>(0x80 | (Point >> 12 & 0x3F));
      *Byte++ = static_cast<unsigned char>(0x80 | (Point >> 6 & 0x3F));
      *Byte++ = static_cast<unsigned char>(0x80 | (Point & 0x3F));
    }
    return Byte;
  }

  // Eight ASCII characters with each small letter made a capital: a byte's high bit is set by
  // the first sum where it is 'a' or above, by the second where it is above 'z'; no sum
  // carries into the next byte.
  static uint64_t Uppered(uint64_t Word) {
    constexpr uint64_t Ones = 0x0101010101010101ull;
    const uint64_t Small = (Word + Ones * (0x80 - 'a')) & ~(Word + Ones * (0x7F - 'z'));
    return Word ^ (Small & kHighBits) >> 2;
  }

  // The key of Bytes (UTF-8), written at the start of Out, each character decoded and keyed
  // alone; its length, or kNoKey at a sequence that is not well-formed or a character that does
  // not fold alone (a mark that joins the character before it, one that folds to several, or
  // one outside the basic plane).
  size_t KeyAlone(std::string_view Bytes, std::string& Out) {
    // No character's key is longer than three bytes for each of its own.
    unsigned char* const Start = Room(Out, 3 * Bytes.size());
    // ASCII, eight bytes at a time, as long as it lasts: most lines are ASCII to the end. The
    // last eight bytes of a line may overlap the ones before, which they key again the same.
    const size_t Size = Bytes.size();
    size_t I = 0;
    if (const TAsciiWords Words = FAsciiWords; Words != awNone && Size >= 8) {
      for (uint64_t Word;; I += 8) {
        const size_t At = std::min(I, Size - 8);
        std::memcpy(&Word, Bytes.data() + At, 8);
        if ((Word & kHighBits) != 0) break;
        if (Words == awUpper) Word = Uppered(Word);
        std::memcpy(Start + At, &Word, 8);
        if (At + 8 == Size) return Size;
      }
      I = std::min(I, Size - 8);
    }
    unsigned char* Byte = Start + I;
    const uint32_t* const Table = FKeyBytes.get();
    const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data()) + I;
    const auto* const End = reinterpret_cast<const unsigned char*>(Bytes.data()) + Size;
    while (P < End) {
      uint32_t C = *P;
      if (C < 0x80) {
        uint64_t Word;
        if (FAsciiWords != awNone && End - P >= 8 &&
            (std::memcpy(&Word, P, 8), (Word & kHighBits) == 0)) {
          if (FAsciiWords == awUpper) Word = Uppered(Word);
          std::memcpy(Byte, &Word, 8);
          Byte += 8;
          P += 8;
          continue;
        }
        P += 1;
      } else if (C < 0xE0) {
        if (C < 0xC2 || End - P < 2 || (P[1] & 0xC0) != 0x80) return kNoKey;
        C = (C & 0x1F) << 6 | (P[1] & 0x3F);
        P += 2;
      } else if (C < 0xF0) {
        if (End - P < 3 || (P[1] & 0xC0) != 0x80 || (P[2] & 0xC0) != 0x80) return kNoKey;
        C = (C & 0x0F) << 12 | (P[1] & 0x3F) << 6 | (P[2] & 0x3F);
        // An overlong form. A surrogate's three bytes pass, but the table keys no surrogate
        // alone, so they are checked again with the whole line.
        if (C < 0x800) return kNoKey;
        P += 3;
      } else {
        return kNoKey;
      }
      uint32_t Key = Table[C];
      if (Key == 0) Key = KeyBytesOf(static_cast<char16_t>(C));
      if (Key == kNotAlone) return kNoKey;
      Byte[0] = static_cast<unsigned char>(Key);
      Byte[1] = static_cast<unsigned char>(Key >> 8);
      Byte[2] = static_cast<unsigned char>(Key >> 16);
      Byte += Key >> 24;
    }
    return static_cast<size_t>(Byte - Start);
  }

  const TKeyRule& FRule;
  LineKey::TFoldMap* const FMap;
  TAsciiWords FAsciiWords;
  std::unique_ptr<uint32_t[]> FKeyBytes;
  std::u16string FBody, FKey;
};

// Lines taken apart (each with a break) as the order of ties reads them.
class TTiesOfLines final : public LineTies::TTieLines {
 public:
  TTiesOfLines(const std::vector<std::u16string_view>& Lines, const TKeyRule& Rule)
      : FLines(Lines), FRule(Rule) {}
  std::u16string_view Key(uint32_t I, std::u16string& Scratch) const override {
    return SortKeyOf(FLines[I], FRule, Scratch);
  }
  int32_t Measure(uint32_t I, std::u16string&) const override {
    return MeasureOf(FLines[I], FRule);
  }
  std::u16string_view Whole(uint32_t I, std::u16string&) const override { return FLines[I]; }

 private:
  const std::vector<std::u16string_view>& FLines;
  const TKeyRule& FRule;
};

// How many code units a thread keys at least.
constexpr size_t kKeyGrain = size_t{1} << 14;

// How many code units ahead of the line being keyed the text is fetched into the cache.
constexpr size_t kTextAhead = 1024;

// Makes the key of every line of Text on the threads, a piece of whole lines each, and hands
// their hashes to Distinct, whose scan then makes keys only to compare them. False, with
// nothing handed, where a text of UTF-8 is not well-formed.
template <class TUnit>
bool HashKeys(std::basic_string_view<TUnit> Text, const TKeyRule& Rule,
              DuplicationLineTable::TDistinctLinesOf<TUnit>& Distinct) {
  // A text of a few pieces' worth is keyed where it is: a thread of its own would cost more.
  const size_t Parts =
      std::min<size_t>(Parallel::PartCount(Text.size(), kKeyGrain), Parallel::ThreadCount());
  std::vector<size_t> Bounds{0};
  for (size_t Part = 1; Part < Parts; ++Part) {
    const size_t At = Parallel::PartBegin(Text.size(), Parts, Part);
    if (At <= Bounds.back()) continue;
    const TLine Line = LineScan::LineAt(Text, At - 1);
    Bounds.push_back(Line.Offset + Line.Length);
  }
  if (Bounds.back() < Text.size()) Bounds.push_back(Text.size());
  std::vector<std::vector<uint32_t>> Hashes(Bounds.size() - 1);
  std::atomic<bool> Refused{false};
  Parallel::ForEachPart(Hashes.size(), [&](size_t Part) {
    TGroupKeys KeyOf(Rule);
    std::string Key;
    // Filled apart and handed over at the end: the parts' vectors share a cache line, which
    // each push would otherwise take from the other thread.
    std::vector<uint32_t> Out;
    for (size_t Begin = Bounds[Part]; Begin < Bounds[Part + 1] && !Refused;) {
      // The hardware does not always stream the text in fast enough by itself.
      if (Begin + kTextAhead < Text.size()) __builtin_prefetch(Text.data() + Begin + kTextAhead);
      const TLine Line = LineScan::LineAt(Text, Begin);
      const size_t Size = KeyOf.CheckedKey(Text.substr(Line.Offset, Line.BodyLength), Key);
      if (Size == TGroupKeys::kNoKey) {
        Refused = true;
        break;
      }
      Out.push_back(Distinct.HashOfKey(std::string_view(Key.data(), Size)));
      Begin += Line.Length;
    }
    Hashes[Part] = std::move(Out);
  });
  if (Refused) return false;
  std::vector<uint32_t> All;
  for (std::vector<uint32_t>& Part : Hashes) {
    if (All.empty()) {
      All = std::move(Part);
    } else {
      All.insert(All.end(), Part.begin(), Part.end());
    }
  }
  Distinct.TakeHashes(std::move(All));
  return true;
}

// Each line's group and each group's number of lines.
struct TGroups {
  std::vector<uint32_t> Of;    // each line's group, in the order of the lines
  std::vector<uint32_t> Size;  // each group's number of lines
};

template <class TUnit>
std::optional<TGroups> GroupByKeys(std::basic_string_view<TUnit> Text, const TKeyRule& Rule) {
  TGroups Groups;
  TGroupKeys KeyOf(Rule);
  DuplicationLineTable::TDistinctLinesOf<TUnit> Distinct(Text, KeyOf);
  if (!HashKeys(Text, Rule, Distinct)) return std::nullopt;
  Distinct.Scan([&Groups](const TLine&, uint32_t Group, bool Added) {
    if (Added) {
      Groups.Size.push_back(1);
    } else {
      ++Groups.Size[Group];
    }
    Groups.Of.push_back(Group);
  });
  return Groups;
}

template <class TUnit>
std::optional<size_t> DedupeInPlace(TUnit* Text, size_t Size, const TKeyRule& Rule,
                                    std::optional<Tarnwick::TOccurrence> Only) {
  const std::basic_string_view<TUnit> Lines(Text, Size);
  // A kept line moves towards the front, behind the lines still to be read; true when it moved.
  size_t Written = 0;
  auto Keep = [&](const TLine& Line) {
    const bool Moves = Line.Offset != Written;
    if (Moves) std::copy(Text + Line.Offset, Text + Line.Offset + Line.Length, Text + Written);
    Written += Line.Length;
    return Moves;
  };
  if (!Only) {
    // As dedupe without a key: the first line of each group is kept as it is met, and the
    // later lookups find its body where it moved.
    TGroupKeys KeyOf(Rule);
    DuplicationLineTable::TDistinctLinesOf<TUnit> Distinct(Lines, KeyOf,
                                                           DuplicationLineTable::nbUnnumbered);
    if (!HashKeys(Lines, Rule, Distinct)) return std::nullopt;
    Distinct.Scan([&](const TLine& Line, uint32_t, bool Added) {
      if (Added && Keep(Line)) Distinct.RelocateAdded(Written - Line.Length);
    });
    return Written;
  }
  const std::optional<TGroups> Groups = GroupByKeys(Lines, Rule);
  if (!Groups) return std::nullopt;
  std::vector<bool> Seen(Groups->Size.size());
  size_t I = 0;
  LineScan::ForEachLine(Lines, [&](const TLine& Line) {
    const uint32_t Group = Groups->Of[I++];
    const bool First = !Seen[Group];
    Seen[Group] = true;
    if (*Only == Tarnwick::ocOnce ? Groups->Size[Group] == 1 : First && Groups->Size[Group] > 1) {
      Keep(Line);
    }
  });
  return Written;
}

template <class TUnit>
std::optional<std::basic_string<TUnit>> CountOf(std::basic_string_view<TUnit> Text,
                                                const TKeyRule& Rule) {
  std::vector<TLine> FirstLine;
  std::vector<uint32_t> Size;
  TGroupKeys KeyOf(Rule);
  DuplicationLineTable::TDistinctLinesOf<TUnit> Distinct(Text, KeyOf);
  if (!HashKeys(Text, Rule, Distinct)) return std::nullopt;
  Distinct.Scan([&](const TLine& Line, uint32_t Group, bool Added) {
    if (Added) {
      FirstLine.push_back(Line);
      Size.push_back(1);
    } else {
      ++Size[Group];
    }
  });
  std::vector<uint32_t> Order(Size.size());
  for (uint32_t G = 0; G < Order.size(); ++G) Order[G] = G;
  std::stable_sort(Order.begin(), Order.end(),
                   [&](uint32_t A, uint32_t B) { return Size[A] > Size[B]; });
  std::basic_string<TUnit> Out;
  for (const uint32_t G : Order) {
    const TLine& Line = FirstLine[G];
    Out += Text.substr(Line.Offset, Line.BodyLength);
    Out += TUnit(':');
    for (const char C : std::to_string(Size[G])) Out += static_cast<TUnit>(C);
    Out += Text.substr(Line.Offset + Line.BodyLength, Line.Length - Line.BodyLength);
  }
  return Out;
}

}  // namespace

std::u16string_view SortKeyOf(std::u16string_view Line, const TKeyRule& Rule,
                              std::u16string& Scratch) {
  const std::u16string_view Break = LineScan::BreakOf(Line);
  Scratch.clear();
  LineKey::AppendKey(Line.substr(0, Line.size() - Break.size()), Rule, Scratch);
  Scratch += Break;
  return Scratch;
}

int32_t MeasureOf(std::u16string_view Line, const TKeyRule& Rule) {
  const std::u16string_view Break = LineScan::BreakOf(Line);
  return StringUnit::ByteLength(
             LineKey::FieldOf(Line.substr(0, Line.size() - Break.size()), Rule)) +
         StringUnit::ByteLength(Break);
}

std::u16string_view TKeyedDecoder::Decode(std::string_view Line, std::u16string& Scratch) const {
  // The decoded line is kept apart from Scratch, which receives its key. Not thread-local:
  // freeing a thread-local string as a thread exits has crashed the 64-bit Windows build.
  std::u16string Decoded;
  return SortKeyOf(FDecoder.Decode(Line, Decoded), FRule, Scratch);
}

int32_t TKeyedDecoder::Measure(std::string_view Line, std::u16string& Scratch) const {
  return MeasureOf(FDecoder.Decode(Line, Scratch), FRule);
}

std::u16string_view TKeyedDecoder::Whole(std::string_view Line, std::u16string& Scratch) const {
  return FDecoder.Decode(Line, Scratch);
}

std::u16string Sort(std::u16string_view Text, Tarnwick::TSortCommand Command, const TKeyRule& Rule,
                    LineTies::TTies Ties) {
  if (LineScan::AtMostOneLine(Text)) return std::u16string(Text);
  std::u16string Sorted;
  if (KeyedSort::SortWhereTheyLie(Text, TKeyView(Rule), Command.Kind, Command.Order, Sorted,
                                  Ties)) {
    return Sorted;
  }
  return SortWithList(Text, Command, Rule, Ties);
}

std::u16string SortWithList(std::u16string_view Text, Tarnwick::TSortCommand Command,
                            const TKeyRule& Rule, LineTies::TTies Ties) {
  if (LineScan::AtMostOneLine(Text)) return std::u16string(Text);
  LineOrder::TLinesToReorder<char16_t> Reordered(Text);
  std::vector<std::u16string_view>& Lines = Reordered.Lines();
  const std::vector<std::u16string_view> Before = Lines;
  // The sorted lines by their numbers, their ties then settled.
  std::vector<uint32_t> Order;
  const auto Settle = [&] {
    LineTies::Settle(Order, TTiesOfLines(Before, Rule), Command.Kind, Command.Order, Ties);
    for (size_t K = 0; K < Order.size(); ++K) Lines[K] = Before[Order[K]];
    return Reordered.Joined();
  };
  if (Command.Kind == StringRecordListNormalSort::skByteLength) {
    // The list's quicksort, with each line measured by MeasureOf rather than by its key.
    struct TMeasured {
      int32_t Measure;
      std::u16string Key;
      uint32_t Line;
    };
    std::vector<TMeasured> Keys;
    Keys.reserve(Lines.size());
    std::u16string Scratch;
    for (uint32_t I = 0; I < Lines.size(); ++I) {
      Keys.push_back(
          {MeasureOf(Lines[I], Rule), std::u16string(SortKeyOf(Lines[I], Rule, Scratch)), I});
    }
    std::vector<const TMeasured*> Items;
    for (const TMeasured& Key : Keys) Items.push_back(&Key);
    const bool Ascending = Command.Order == StringRecordListNormalSort::soAscending;
    ListClone::QuickSortWith(Items.data(), 0, static_cast<int32_t>(Items.size()) - 1,
                             [Ascending](const TMeasured* A, const TMeasured* B) {
                               const int32_t Result = StringRecordListNormalSort::MeasuredCompare(
                                   A->Measure, A->Key, B->Measure, B->Key);
                               return Ascending ? Result : -Result;
                             });
    for (const TMeasured* Item : Items) Order.push_back(Item->Line);
    return Settle();
  }
  // Every key ends in its line's break, so the list adds none and no cell moves: each key is
  // found after the sort by where its cell lies.
  StringRecordListNormalSort::TStringRecordListNormalSort Keys;
  std::u16string Scratch;
  for (const std::u16string_view Line : Lines) Keys.Add(SortKeyOf(Line, Rule, Scratch));
  std::vector<std::pair<const char16_t*, uint32_t>> Cells;
  for (int32_t K = 0; K < Keys.Count(); ++K) {
    Cells.emplace_back(Keys.ItemRef(K).data(), static_cast<uint32_t>(K));
  }
  std::sort(Cells.begin(), Cells.end());
  Tarnwick::SortList(Keys, Command);
  for (int32_t K = 0; K < Keys.Count(); ++K) {
    const auto Cell = std::lower_bound(Cells.begin(), Cells.end(),
                                       std::make_pair(Keys.ItemRef(K).data(), uint32_t{0}));
    Order.push_back(Cell->second);
  }
  return Settle();
}

size_t Dedupe(char16_t* Text, size_t Size, const TKeyRule& Rule,
              std::optional<Tarnwick::TOccurrence> Only) {
  return *DedupeInPlace(Text, Size, Rule, Only);
}

std::optional<size_t> Dedupe(char* Text, size_t Size, const TKeyRule& Rule,
                             std::optional<Tarnwick::TOccurrence> Only) {
  return DedupeInPlace(Text, Size, Rule, Only);
}

std::u16string Count(std::u16string_view Text, const TKeyRule& Rule) {
  return *CountOf(Text, Rule);
}

std::optional<std::string> Count(std::string_view Text, const TKeyRule& Rule) {
  return CountOf(Text, Rule);
}

std::vector<bool> Marked(std::u16string_view Text, const TKeyRule& Rule) {
  const TGroups Groups = *GroupByKeys<char16_t>(Text, Rule);
  std::vector<bool> Marks;
  Marks.reserve(Groups.Of.size());
  LineScan::ForEachLine(Text, [&](const TLine& Line) {
    Marks.push_back(Groups.Size[Groups.Of[Marks.size()]] > 1 &&
                    !LineKey::FieldOf(Text.substr(Line.Offset, Line.BodyLength), Rule).empty());
  });
  return Marks;
}

std::u16string Pattern(std::u16string_view Text, const TKeyRule& Rule) {
  const std::vector<bool> Marks = Marked(Text, Rule);
  std::unordered_set<std::u16string_view> Seen;
  std::vector<size_t> Lines;
  size_t I = 0;
  LineScan::ForEachLine(Text, [&](const TLine& Line) {
    if (Marks[I++] && Seen.insert(Text.substr(Line.Offset, Line.BodyLength)).second) {
      Lines.push_back(Line.Offset);
    }
  });
  return Tarnwick::DuplicationHighlightPatternOf(Text, Lines);
}

}  // namespace KeyedLines
