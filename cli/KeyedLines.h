// The operations with lines compared by a key (-k, -t, the --ignore-* folds) instead of their
// whole text: the sorts
// order the lines by their keys, the duplicate operations group the lines with equal keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandId.h"
#include "commands/LineCommands.h"
#include "sorting/LineTies.h"
#include "sorting/SortWhereTheyLie.h"
#include "strings/LineKey.h"

namespace KeyedLines {

using LineKey::TKeyRule;

// What a sort orders line Line (a whole line, break included) by: its key (LineKey::AppendKey),
// then its break.
// Scratch holds it.
std::u16string_view SortKeyOf(std::u16string_view Line, const TKeyRule& Rule,
                              std::u16string& Scratch);
// The byte measure the length sorts order line Line by: its key's before the folds (FieldOf),
// then its break's. Lines of equal measure are then ordered by their SortKeyOf.
int32_t MeasureOf(std::u16string_view Line, const TKeyRule& Rule);

// Wraps a decoder of a text's bytes so that each line gives its SortKeyOf.
class TKeyedDecoder final : public KeyedSort::TLineDecoder {
 public:
  TKeyedDecoder(const KeyedSort::TLineDecoder& Decoder, const TKeyRule& Rule)
      : FDecoder(Decoder), FRule(Rule) {}
  std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const override;
  int32_t Measure(std::string_view Line, std::u16string& Scratch) const override;
  std::u16string_view Whole(std::string_view Line, std::u16string& Scratch) const override;

 private:
  const KeyedSort::TLineDecoder& FDecoder;
  const TKeyRule& FRule;
};

// Sort command 1..8 on Text with the lines ordered by their SortKeyOf exactly as the line
// list's sort orders those keys, and lines of equal keys then as Ties says (LineTies::Settle):
// the keyed engine where the lines lie, else SortWithList.
std::u16string Sort(std::u16string_view Text, Tarnwick::TSortCommand Command, const TKeyRule& Rule,
                    LineTies::TTies Ties = LineTies::tiAsSorted);
// The same through the line list's comparator sort of the keys (the fallback).
std::u16string SortWithList(std::u16string_view Text, Tarnwick::TSortCommand Command,
                            const TKeyRule& Rule, LineTies::TTies Ties = LineTies::tiAsSorted);

// dedupe with lines the same when their keys are equal on the Size units at Text, in place: the
// first line of each key, or with Only the lines it selects (Tarnwick::DuplicationSelect), each
// with its own break, are left at the front; returns their length.
size_t Dedupe(char16_t* Text, size_t Size, const TKeyRule& Rule,
              std::optional<Tarnwick::TOccurrence> Only);
// The same on UTF-8, each line keyed from its bytes or decoded for its key alone; nullopt, with
// the text untouched, where the bytes are not well-formed UTF-8.
std::optional<size_t> Dedupe(char* Text, size_t Size, const TKeyRule& Rule,
                             std::optional<Tarnwick::TOccurrence> Only);
// count with lines grouped by their keys: the first line of each group, ":" and the group's
// size before its break, largest group first (equal sizes in order of first appearance).
std::u16string Count(std::u16string_view Text, const TKeyRule& Rule);
// The same on UTF-8; nullopt where the bytes are not well-formed UTF-8.
std::optional<std::string> Count(std::string_view Text, const TKeyRule& Rule);
// One entry per line: true when its key is not empty and another line has it.
std::vector<bool> Marked(std::u16string_view Text, const TKeyRule& Rule);
// The highlight pattern for those lines: an alternative for each distinct body (exact, as the
// editor matches it) of a marked line, in order of first appearance.
std::u16string Pattern(std::u16string_view Text, const TKeyRule& Rule);

}  // namespace KeyedLines
