// Maps the tool's operation names to the line commands the plug-in runs for the same menu item.
#include "cli/Operations.h"

#include <array>
#include <utility>

#include "commands/LineCommands.h"

namespace Operations {
namespace {

constexpr std::array<TOperation, 12> kOperations{{
    {"sort", 1, "昇順に並び替える(辞書順)", "sort ascending, dictionary order"},
    {"sort-desc", 2, "降順に並び替える(辞書順)", "sort descending, dictionary order"},
    {"sort-rev", 3, "昇順に並び替える(後ろ読み辞書順)",
     "sort ascending, dictionary order reading each line from its end"},
    {"sort-rev-desc", 4, "降順に並び替える(後ろ読み辞書順)",
     "sort descending, dictionary order reading each line from its end"},
    {"sort-numeric", 5, "昇順に並び替える(整数比較)", "sort ascending by the integer in each line"},
    {"sort-numeric-desc", 6, "降順に並び替える(整数比較)",
     "sort descending by the integer in each line"},
    {"sort-length", 7, "昇順に並び替える(文字列長)", "sort ascending by length in bytes"},
    {"sort-length-desc", 8, "降順に並び替える(文字列長)", "sort descending by length in bytes"},
    {"reverse", 9, "逆順に並び替える", "reverse the order of the lines"},
    {"dedupe", 10, "重複した行を削除する", "delete lines that repeat an earlier line"},
    {"count", 11, "重複数を表示して並び替える",
     "each distinct line once with \":\" and its count, most frequent first"},
    {"highlight", 12, "重複した行をハイライトする",
     "print the editor's pattern for the repeated lines (--mark: show them)"},
}};

}  // namespace

std::span<const TOperation> All() { return kOperations; }

const TOperation* FindByName(std::string_view Name) {
  for (const TOperation& op : kOperations)
    if (op.Name == Name) return &op;
  return nullptr;
}

const TOperation* FindById(int Id) {
  for (const TOperation& op : kOperations)
    if (op.Id == Id) return &op;
  return nullptr;
}

std::u16string Run(const TOperation& Operation, const std::u16string& Text) {
  switch (Operation.Id) {
    case 10:
      return Tarnwick::DuplicationDelete(Text);
    case 11:
      return Tarnwick::DuplicationDeleteCountDown(Text);
    case 12:
      return Tarnwick::DuplicationHighlightPattern(Text);
    default:
      return Tarnwick::Sort(Text, Operation.Id);
  }
}

std::u16string Run(const TOperation& Operation, std::u16string&& Text) {
  if (Operation.Id >= 10) return Run(Operation, static_cast<const std::u16string&>(Text));
  return Tarnwick::Sort(std::move(Text), static_cast<uint8_t>(Operation.Id));
}

}  // namespace Operations
