#include "cli/KeyedLines.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <utility>

#include "commands/CommandId.h"
#include "commands/DuplicationLineTable.h"
#include "sorting/StringRecordListNormalSort.h"
#include "strings/LineOrder.h"
#include "strings/LineScan.h"

namespace KeyedLines {
namespace {

using LineScan::TLine;

class TKeyView final : public KeyedSort::TLineView {
 public:
  explicit TKeyView(const TKeyRule& Rule) : FRule(Rule) {}
  std::u16string_view View(std::u16string_view Line, std::u16string& Scratch) const override {
    return SortKeyOf(Line, FRule, Scratch);
  }

 private:
  const TKeyRule& FRule;
};

// The lines of Text and the group of each: lines with equal keys share a group, numbered in
// order of first appearance. The keys are looked up in a text of their own, one a line, through
// the duplicate commands' line table.
struct TGroups {
  std::vector<TLine> Lines;
  std::vector<uint32_t> Of;    // each line's group
  std::vector<uint32_t> Size;  // each group's number of lines
};

TGroups GroupByKeys(std::u16string_view Text, const TKeyRule& Rule) {
  TGroups Groups;
  std::u16string Keys;
  LineScan::ForEachLine(Text, [&](const TLine& Line) {
    Groups.Lines.push_back(Line);
    LineKey::AppendKey(Text.substr(Line.Offset, Line.BodyLength), Rule, Keys);
    Keys += u'\n';
  });
  DuplicationLineTable::TDistinctLines Distinct(Keys, DuplicationLineTable::kkBody);
  Groups.Of.reserve(Groups.Lines.size());
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

}  // namespace

std::u16string_view SortKeyOf(std::u16string_view Line, const TKeyRule& Rule,
                              std::u16string& Scratch) {
  const std::u16string_view Break = LineScan::BreakOf(Line);
  Scratch.clear();
  LineKey::AppendKey(Line.substr(0, Line.size() - Break.size()), Rule, Scratch);
  Scratch += Break;
  return Scratch;
}

std::u16string_view TKeyedDecoder::Decode(std::string_view Line, std::u16string& Scratch) const {
  // The decoded line is kept apart from Scratch, which receives its key: one buffer a thread.
  thread_local std::u16string Decoded;
  return SortKeyOf(FDecoder.Decode(Line, Decoded), FRule, Scratch);
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

std::u16string Dedupe(std::u16string_view Text, const TKeyRule& Rule,
                      std::optional<Tarnwick::TOccurrence> Only) {
  const TGroups Groups = GroupByKeys(Text, Rule);
  std::vector<bool> Seen(Groups.Size.size());
  std::u16string Out;
  for (size_t I = 0; I < Groups.Lines.size(); ++I) {
    const uint32_t Group = Groups.Of[I];
    const bool First = !Seen[Group];
    Seen[Group] = true;
    const bool Keep = !Only                       ? First
                      : *Only == Tarnwick::ocOnce ? Groups.Size[Group] == 1
                                                  : First && Groups.Size[Group] > 1;
    if (Keep) Out += Text.substr(Groups.Lines[I].Offset, Groups.Lines[I].Length);
  }
  return Out;
}

std::u16string Count(std::u16string_view Text, const TKeyRule& Rule) {
  const TGroups Groups = GroupByKeys(Text, Rule);
  std::vector<uint32_t> FirstLine(Groups.Size.size(), UINT32_MAX);
  for (size_t I = Groups.Lines.size(); I-- > 0;) FirstLine[Groups.Of[I]] = static_cast<uint32_t>(I);
  std::vector<uint32_t> Order(Groups.Size.size());
  for (uint32_t G = 0; G < Order.size(); ++G) Order[G] = G;
  std::stable_sort(Order.begin(), Order.end(),
                   [&](uint32_t A, uint32_t B) { return Groups.Size[A] > Groups.Size[B]; });
  std::u16string Out;
  for (const uint32_t G : Order) {
    const TLine& Line = Groups.Lines[FirstLine[G]];
    Out += Text.substr(Line.Offset, Line.BodyLength);
    Out += u':';
    for (const char C : std::to_string(Groups.Size[G])) Out += static_cast<char16_t>(C);
    Out += Text.substr(Line.Offset + Line.BodyLength, Line.Length - Line.BodyLength);
  }
  return Out;
}

std::vector<bool> Marked(std::u16string_view Text, const TKeyRule& Rule) {
  const TGroups Groups = GroupByKeys(Text, Rule);
  std::vector<bool> Marks(Groups.Lines.size());
  for (size_t I = 0; I < Marks.size(); ++I) {
    const TLine& Line = Groups.Lines[I];
    Marks[I] = Groups.Size[Groups.Of[I]] > 1 &&
               !LineKey::FieldOf(Text.substr(Line.Offset, Line.BodyLength), Rule).empty();
  }
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
