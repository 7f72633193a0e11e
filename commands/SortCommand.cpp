#include <iterator>
#include <memory>
#include <utility>

#include "base/Exceptions.h"
#include "commands/CommandId.h"
#include "commands/LineCommands.h"
#include "commands/LineReversal.h"
#include "sorting/SortWhereTheyLie.h"
#include "sorting/StringRecordListNormalSort.h"
#include "strings/LineScan.h"

namespace Tarnwick {

using StringRecordListNormalSort::TStringRecordListNormalSort;

void SortList(TStringRecordListNormalSort& List, TSortCommand Command) {
  // The list's sorts, indexed by TSortKind.
  using TListSort = void (TStringRecordListNormalSort::*)(StringRecordListNormalSort::TSortOrder);
  static constexpr TListSort Sorts[] = {
      &TStringRecordListNormalSort::TextSort, &TStringRecordListNormalSort::NumericSort,
      &TStringRecordListNormalSort::ByteLengthSort, &TStringRecordListNormalSort::ReverseTextSort,
      &TStringRecordListNormalSort::ReverseSort};
  static_assert(std::size(Sorts) == static_cast<size_t>(StringRecordListNormalSort::skReverse) + 1);
  (List.*Sorts[static_cast<size_t>(Command.Kind)])(Command.Order);
}

namespace {

// Sorts Text by command CommandId; GivenUp, when not null, holds Text and is released as soon
// as it is no longer needed, so that the text is not held beside its lines or its result.
std::u16string SortText(std::u16string_view Text, uint8_t CommandId, std::u16string* GivenUp) {
  const std::optional<TSortCommand> Command = SortCommandOf(CommandId);
  // 0 (Cancel) and the duplicate commands 10..12 never reach here; neither may any other.
  if (!Command) throw SysUtils::EAssertionFailed("Error:function Sort");
  auto Release = [GivenUp] {
    if (GivenUp != nullptr) std::u16string().swap(*GivenUp);
  };
  // A text of one line or none is its own result, at once and without a second copy.
  if (LineScan::AtMostOneLine(Text)) {
    return GivenUp != nullptr ? std::move(*GivenUp) : std::u16string(Text);
  }
  if (Command->Kind == StringRecordListNormalSort::skReverse) {
    // Reversal takes the lines as they are: done on the text itself, in its own storage when
    // it is given up.
    if (GivenUp == nullptr) return LineReversal::ReverseLines(Text);
    std::u16string Result = std::move(*GivenUp);
    LineReversal::ReverseLinesInPlace(Result);
    return Result;
  }
  std::u16string Sorted;
  if (KeyedSort::SortWhereTheyLie(Text, Command->Kind, Command->Order, Sorted)) {
    Release();
    return Sorted;
  }
  std::u16string().swap(Sorted);
  // The list lives for this call only; the unique_ptr releases it on every way out.
  auto List = std::make_unique<TStringRecordListNormalSort>();
  List->SetText(Text);
  Release();
  SortList(*List, *Command);
  return List->Text();
}

}  // namespace

std::u16string Sort(const std::u16string& Text, uint8_t CommandId) {
  return SortText(Text, CommandId, nullptr);
}

std::u16string Sort(std::u16string&& Text, uint8_t CommandId) {
  return SortText(Text, CommandId, &Text);
}

}  // namespace Tarnwick
