#include <memory>
#include <utility>

#include "base/Exceptions.h"
#include "commands/LineCommands.h"
#include "commands/LineReversal.h"
#include "commands/SortCommand.h"
#include "sorting/StringRecordListNormalSort.h"

namespace Tarnwick {

using StringRecordListNormalSort::TStringRecordListNormalSort;

void SortList(TStringRecordListNormalSort& List, uint8_t CommandId) {
  using namespace StringRecordListNormalSort;
  switch (CommandId) {
    case 1:
      List.TextSort(soAscending);
      break;
    case 2:
      List.TextSort(soDescending);
      break;
    case 3:
      List.ReverseTextSort(soAscending);
      break;
    case 4:
      List.ReverseTextSort(soDescending);
      break;
    case 5:
      List.NumericSort(soAscending);
      break;
    case 6:
      List.NumericSort(soDescending);
      break;
    case 7:
      List.ByteLengthSort(soAscending);
      break;
    case 8:
      List.ByteLengthSort(soDescending);
      break;
    case 9:
      // Reversal is the descending form of ReverseSort; ascending would leave the lines.
      List.ReverseSort(soDescending);
      break;
    default:
      // 0 (Cancel) and the duplicate commands 10..12 never reach here; neither may any other.
      throw SysUtils::EAssertionFailed("Error:function Sort");
  }
}

namespace {

// Runs command CommandId on the lines of List and returns their text.
std::u16string SortLines(TStringRecordListNormalSort& List, uint8_t CommandId) {
  SortList(List, CommandId);
  return List.Text();
}

}  // namespace

// Reversal takes the lines as they are: done on the text itself, without a cell per line.
constexpr uint8_t kReverse = 9;

std::u16string Sort(const std::u16string& Text, uint8_t CommandId) {
  if (CommandId == kReverse) return LineReversal::ReverseLines(Text);
  // The list lives for this call only; the unique_ptr releases it on every way out.
  auto List = std::make_unique<TStringRecordListNormalSort>();
  List->SetText(Text);
  return SortLines(*List, CommandId);
}

std::u16string Sort(std::u16string&& Text, uint8_t CommandId) {
  if (CommandId == kReverse) {
    std::u16string Result = std::move(Text);
    LineReversal::ReverseLinesInPlace(Result);
    return Result;
  }
  auto List = std::make_unique<TStringRecordListNormalSort>();
  List->SetText(Text);
  std::u16string().swap(Text);
  return SortLines(*List, CommandId);
}

}  // namespace Tarnwick
