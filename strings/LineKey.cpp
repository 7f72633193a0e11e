#include "strings/LineKey.h"

namespace LineKey {

std::u16string_view FieldOf(std::u16string_view Body, const TKeySpec& Spec) {
  if (Spec.Field == 0) return Body;
  size_t Begin = 0;
  if (Spec.Separator) {
    for (uint32_t K = 1; K < Spec.Field; ++K) {
      const size_t At = Body.find(*Spec.Separator, Begin);
      if (At == std::u16string_view::npos) return {};
      Begin = At + 1;
    }
    return Body.substr(Begin, Body.find(*Spec.Separator, Begin) - Begin);
  }
  for (uint32_t K = 1;; ++K) {
    while (Begin < Body.size() && IsBlank(Body[Begin])) ++Begin;
    if (Begin == Body.size()) return {};
    size_t End = Begin;
    while (End < Body.size() && !IsBlank(Body[End])) ++End;
    if (K == Spec.Field) return Body.substr(Begin, End - Begin);
    Begin = End;
  }
}

}  // namespace LineKey
