#include "lists/StrRecListUnit.h"

#include "strings/StringUnit.h"

namespace StrRecListUnit {

int32_t IndexOfLine(const StringRecordList::TCommonStringRecordList& List,
                    std::u16string_view Line) {
  // Bodies are compared as views of the stored lines: no line is copied during the scan.
  const std::u16string_view Key = Line.substr(0, StringUnit::BodyLength(Line));
  for (int32_t I = 0; I < List.Count(); ++I) {
    const std::u16string_view Item = List.ItemRef(I);
    if (Item.substr(0, StringUnit::BodyLength(Item)) == Key) return I;
  }
  return -1;
}

}  // namespace StrRecListUnit
