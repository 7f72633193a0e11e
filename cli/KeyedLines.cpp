#include "cli/KeyedLines.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <utility>

#include "TemplateList/ListClone.h"
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

// The lines of Text and the group of each: lines with equal keys share a group, numbered in
// order of first appearance. The keys are looked up in a text of their own, one a line, through
// the duplicate commands' line table.
struct TGroups {
  std::vector<uint32_t> Of;    // each line's group, in the order of the lines
  std::vector<uint32_t> Size;  // each group's number of lines
};

// The keys by which lines are grouped, as bytes that two keys share exactly when their texts
// (LineKey::AppendKey) are equal: the key's characters in UTF-8 (a lone surrogate as three
// bytes), with the width fold each ASCII character exchanged first with its full-width form.
// That exchange is its own inverse, so no two keys meet, and it keeps an ASCII line's key one
// byte a character. A line of UTF-8 whose characters each fold alone is keyed straight from
// its bytes, an ASCII one through a table.
class TGroupKeys {
 public:
  explicit TGroupKeys(const TKeyRule& Rule)
      : FRule(Rule),
        FMap(Rule.Fold != 0 ? &LineKey::TFoldMap::Of(Rule.Fold) : nullptr),
        FWide((Rule.Fold & LineKey::fdWidth) != 0),
        FKeyBytes(new uint32_t[0x10000]()) {
    for (char16_t C = 0; C < 0x80; ++C) {
      const uint32_t Key = KeyBytesOf(C);
      FAscii[C] = Key >> 24 == 1 ? static_cast<uint8_t>(Key) : kNoByte;
    }
  }

  void Append(std::u16string_view Body, std::string& Out) {
    FKey.clear();
    LineKey::AppendKey(Body, FRule, FKey);
    FBytes.resize(3 * FKey.size());
    auto* Byte = reinterpret_cast<unsigned char*>(FBytes.data());
    for (size_t I = 0; I < FKey.size(); ++I) {
      const char16_t Unit = Exchanged(FKey[I]);
      if (Unit >= 0xD800 && Unit < 0xDC00 && I + 1 < FKey.size() && FKey[I + 1] >= 0xDC00 &&
          FKey[I + 1] < 0xE000) {
        Byte = Put(0x10000 + ((Unit - 0xD800) << 10) + (FKey[++I] - 0xDC00), Byte);
      } else {
        Byte = Put(Unit, Byte);
      }
    }
    Out.append(FBytes.data(), static_cast<size_t>(reinterpret_cast<char*>(Byte) - FBytes.data()));
  }

  // Body in valid UTF-8.
  void Append(std::string_view Body, std::string& Out) {
    unsigned char Any = 0;
    for (const char C : Body) Any |= static_cast<unsigned char>(C);
    if (Any < 0x80 ? AppendAscii(Body, Out) : FRule.Field == 0 && AppendFoldedAlone(Body, Out)) {
      return;
    }
    Append(Utf8::DecodeWellFormed(Body, FBody), Out);
  }

 private:
  static constexpr uint8_t kNoByte = 0xFF;
  // An entry of FKeyBytes: 0 before the unit is first met; else where it folds alone
  // (LineKey::TFoldMap::Alone), the key's bytes for it, the first in the low byte, with their
  // number (1 to 3) in the high byte; kNotAlone where it does not.
  static constexpr uint32_t kNotAlone = 0x80000000;

  uint32_t KeyBytesOf(char16_t C) {
    uint32_t& Entry = FKeyBytes[C];
    if (Entry == 0) {
      const int32_t Unit = FMap != nullptr ? FMap->Alone(C) : C;
      if (Unit < 0) {
        Entry = kNotAlone;
      } else {
        unsigned char Bytes[3];
        const auto Count =
            static_cast<uint32_t>(Put(Exchanged(static_cast<char16_t>(Unit)), Bytes) - Bytes);
        Entry = Count << 24 | Bytes[0] | (Count > 1 ? Bytes[1] << 8 : 0) |
                (Count > 2 ? Bytes[2] << 16 : 0);
      }
    }
    return Entry;
  }

  char16_t Exchanged(char16_t Unit) const {
    if (!FWide) return Unit;
    if (Unit == u' ') return u'\x3000';
    if (Unit == u'\x3000') return u' ';
    if (Unit >= 0x21 && Unit <= 0x7E) return static_cast<char16_t>(Unit - 0x21 + 0xFF01);
    if (Unit >= 0xFF01 && Unit <= 0xFF5E) return static_cast<char16_t>(Unit - 0xFF01 + 0x21);
    return Unit;
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

  // The key of an ASCII Body through the table; false, with Out unchanged, where a character
  // has no one byte there.
  bool AppendAscii(std::string_view Body, std::string& Out) {
    const std::string_view Field = LineKey::FieldOf(Body, FRule);
    const size_t Start = Out.size();
    Out.resize(Start + Field.size());
    char* Key = Out.data() + Start;
    bool Unmapped = false;
    for (size_t I = 0; I < Field.size(); ++I) {
      const uint8_t Byte = FAscii[static_cast<unsigned char>(Field[I])];
      Unmapped |= Byte == kNoByte;
      Key[I] = static_cast<char>(Byte);
    }
    if (Unmapped) Out.resize(Start);
    return !Unmapped;
  }

  // The key of a whole Body whose characters all fold alone, decoded and folded a character
  // at a time; false, with Out unchanged, at a character that does not (a voiced mark, which
  // joins the kana before it, or one outside the basic plane).
  bool AppendFoldedAlone(std::string_view Body, std::string& Out) {
    FBytes.resize(3 * Body.size() + 2);  // each entry's three bytes are written
    auto* Byte = reinterpret_cast<unsigned char*>(FBytes.data());
    const auto* P = reinterpret_cast<const unsigned char*>(Body.data());
    const auto* const End = P + Body.size();
    while (P < End) {
      char16_t C;
      if (*P < 0x80) {
        C = *P++;
      } else if (*P < 0xE0) {
        C = static_cast<char16_t>((P[0] & 0x1F) << 6 | (P[1] & 0x3F));
        P += 2;
      } else if (*P < 0xF0) {
        C = static_cast<char16_t>((P[0] & 0x0F) << 12 | (P[1] & 0x3F) << 6 | (P[2] & 0x3F));
        P += 3;
      } else {
        return false;
      }
      const uint32_t Key = KeyBytesOf(C);
      if (Key == kNotAlone) return false;
      Byte[0] = static_cast<unsigned char>(Key);
      Byte[1] = static_cast<unsigned char>(Key >> 8);
      Byte[2] = static_cast<unsigned char>(Key >> 16);
      Byte += Key >> 24;
    }
    Out.append(FBytes.data(), static_cast<size_t>(reinterpret_cast<char*>(Byte) - FBytes.data()));
    return true;
  }

  const TKeyRule& FRule;
  LineKey::TFoldMap* const FMap;
  const bool FWide;
  std::unique_ptr<uint32_t[]> FKeyBytes;
  std::array<uint8_t, 0x80> FAscii;
  std::u16string FBody, FKey;
  std::string FBytes;
};

template <class TUnit>
TGroups GroupByKeys(std::basic_string_view<TUnit> Text, const TKeyRule& Rule) {
  TGroups Groups;
  TGroupKeys KeyOf(Rule);
  std::string Keys;
  Keys.reserve(Text.size() * sizeof(TUnit));  // about as many bytes as the text
  size_t Lines = 0;
  LineScan::ForEachLine(Text, [&](const TLine& Line) {
    KeyOf.Append(Text.substr(Line.Offset, Line.BodyLength), Keys);
    Keys += '\n';
    ++Lines;
  });
  DuplicationLineTable::TDistinctBytes Distinct(Keys, DuplicationLineTable::kkBody);
  Groups.Of.reserve(Lines);
  Distinct.Scan([&Groups](const TLine&, uint32_t Number, bool Added) {
    if (Added) {
      Groups.Size.push_back(1);
    } else {
      ++Groups.Size[Number];
    }
    Groups.Of.push_back(Number);
  });
  return Groups;
}

template <class TUnit>
size_t DedupeInPlace(TUnit* Text, size_t Size, const TKeyRule& Rule,
                     std::optional<Tarnwick::TOccurrence> Only) {
  const std::basic_string_view<TUnit> Lines(Text, Size);
  const TGroups Groups = GroupByKeys(Lines, Rule);
  std::vector<bool> Seen(Groups.Size.size());
  // A kept line moves towards the front, behind the lines still to be read: the keys are apart.
  size_t Written = 0, I = 0;
  LineScan::ForEachLine(Lines, [&](const TLine& Line) {
    const uint32_t Group = Groups.Of[I++];
    const bool First = !Seen[Group];
    Seen[Group] = true;
    const bool Keep = !Only                       ? First
                      : *Only == Tarnwick::ocOnce ? Groups.Size[Group] == 1
                                                  : First && Groups.Size[Group] > 1;
    if (!Keep) return;
    if (Written != Line.Offset) {
      std::copy(Text + Line.Offset, Text + Line.Offset + Line.Length, Text + Written);
    }
    Written += Line.Length;
  });
  return Written;
}

template <class TUnit>
std::basic_string<TUnit> CountOf(std::basic_string_view<TUnit> Text, const TKeyRule& Rule) {
  const TGroups Groups = GroupByKeys(Text, Rule);
  std::vector<TLine> FirstLine(Groups.Size.size());
  std::vector<bool> Seen(Groups.Size.size());
  size_t I = 0;
  LineScan::ForEachLine(Text, [&](const TLine& Line) {
    const uint32_t Group = Groups.Of[I++];
    if (!Seen[Group]) FirstLine[Group] = Line;
    Seen[Group] = true;
  });
  std::vector<uint32_t> Order(Groups.Size.size());
  for (uint32_t G = 0; G < Order.size(); ++G) Order[G] = G;
  std::stable_sort(Order.begin(), Order.end(),
                   [&](uint32_t A, uint32_t B) { return Groups.Size[A] > Groups.Size[B]; });
  std::basic_string<TUnit> Out;
  for (const uint32_t G : Order) {
    const TLine& Line = FirstLine[G];
    Out += Text.substr(Line.Offset, Line.BodyLength);
    Out += TUnit(':');
    for (const char C : std::to_string(Groups.Size[G])) Out += static_cast<TUnit>(C);
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
  // The decoded line is kept apart from Scratch, which receives its key: one buffer a thread.
  thread_local std::u16string Decoded;
  return SortKeyOf(FDecoder.Decode(Line, Decoded), FRule, Scratch);
}

int32_t TKeyedDecoder::Measure(std::string_view Line, std::u16string& Scratch) const {
  return MeasureOf(FDecoder.Decode(Line, Scratch), FRule);
}

std::u16string Sort(std::u16string_view Text, Tarnwick::TSortCommand Command,
                    const TKeyRule& Rule) {
  if (LineScan::AtMostOneLine(Text)) return std::u16string(Text);
  std::u16string Sorted;
  if (KeyedSort::SortWhereTheyLie(Text, TKeyView(Rule), Command.Kind, Command.Order, Sorted)) {
    return Sorted;
  }
  return SortWithList(Text, Command, Rule);
}

std::u16string SortWithList(std::u16string_view Text, Tarnwick::TSortCommand Command,
                            const TKeyRule& Rule) {
  if (LineScan::AtMostOneLine(Text)) return std::u16string(Text);
  LineOrder::TLinesToReorder<char16_t> Reordered(Text);
  std::vector<std::u16string_view>& Lines = Reordered.Lines();
  if (Command.Kind == StringRecordListNormalSort::skByteLength) {
    // The list's quicksort, with each line measured by MeasureOf rather than by its key.
    struct TMeasured {
      int32_t Measure;
      std::u16string Key;
      std::u16string_view Line;
    };
    std::vector<TMeasured> Keys;
    Keys.reserve(Lines.size());
    std::u16string Scratch;
    for (const std::u16string_view Line : Lines) {
      Keys.push_back({MeasureOf(Line, Rule), std::u16string(SortKeyOf(Line, Rule, Scratch)), Line});
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
    for (size_t K = 0; K < Items.size(); ++K) Lines[K] = Items[K]->Line;
    return Reordered.Joined();
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
  const std::vector<std::u16string_view> Before = Lines;
  for (int32_t K = 0; K < Keys.Count(); ++K) {
    const auto Cell = std::lower_bound(Cells.begin(), Cells.end(),
                                       std::make_pair(Keys.ItemRef(K).data(), uint32_t{0}));
    Lines[static_cast<size_t>(K)] = Before[Cell->second];
  }
  return Reordered.Joined();
}

size_t Dedupe(char16_t* Text, size_t Size, const TKeyRule& Rule,
              std::optional<Tarnwick::TOccurrence> Only) {
  return DedupeInPlace(Text, Size, Rule, Only);
}

size_t Dedupe(char* Text, size_t Size, const TKeyRule& Rule,
              std::optional<Tarnwick::TOccurrence> Only) {
  return DedupeInPlace(Text, Size, Rule, Only);
}

std::u16string Count(std::u16string_view Text, const TKeyRule& Rule) { return CountOf(Text, Rule); }

std::string Count(std::string_view Text, const TKeyRule& Rule) { return CountOf(Text, Rule); }

std::vector<bool> Marked(std::u16string_view Text, const TKeyRule& Rule) {
  const TGroups Groups = GroupByKeys<char16_t>(Text, Rule);
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
