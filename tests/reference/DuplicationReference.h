// The duplicate commands done the plain way: a scan from the first line for every line, on the
// real line and integer lists. Slow (quadratic), but each step is easy to check by eye; the
// fast commands must give exactly the same text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "commands/DuplicationDeleteCountDown.h"
#include "lists/IntegerList.h"
#include "lists/StrRecListUnit.h"
#include "lists/StringRecordList.h"
#include "strings/StringUnit.h"

namespace DuplicationReference {

inline std::u16string DuplicationDelete(const std::u16string& Text) {
  StringRecordList::TCommonStringRecordList Lines;
  Lines.SetText(Text);
  // From the last line backwards, so a deletion moves only lines already visited.
  for (int32_t I = Lines.Count() - 1; I >= 0; --I) {
    if (StrRecListUnit::IndexOfLine(Lines, Lines.GetItem(I)) != I) Lines.Delete(I);
  }
  return Lines.Text();
}

// The indices of Counts in the order the counted lines are written: for each count from Highest
// down to 1, the lines with that count in index order. Raises the command's consistency failure
// when a count lies outside 1..Highest, since that line would be missing from the output.
inline std::vector<uint32_t> OrderByCountDescending(const std::vector<int32_t>& Counts,
                                                    int32_t Highest) {
  std::vector<uint32_t> Order;
  for (int32_t K = Highest; K >= 1; --K) {
    for (uint32_t I = 0; I < Counts.size(); ++I) {
      if (Counts[I] == K) Order.push_back(I);
    }
  }
  if (Order.size() != Counts.size()) {
    throw SysUtils::EAssertionFailed("Error:function DuplicationDeleteCountDown");
  }
  return Order;
}

inline std::u16string DuplicationDeleteCountDown(const std::u16string& Text) {
  StringRecordList::TCommonStringRecordList Lines;
  IntegerList::TNumericList Counts;
  Lines.SetText(Text);
  Counts.SetCount(Lines.Count());
  for (int32_t I = 0; I < Counts.Count(); ++I) Counts.SetItem(I, 1);
  int32_t Highest = 1;
  for (int32_t I = Lines.Count() - 1; I >= 0; --I) {
    const int32_t J = StrRecListUnit::IndexOfLine(Lines, Lines.GetItem(I));
    if (J == I) continue;
    Lines.Delete(I);
    Counts.Delete(I);
    Counts.SetItem(J, Counts.GetItem(J) + 1);
    if (Counts.GetItem(J) > Highest) Highest = Counts.GetItem(J);
  }
  for (int32_t I = 0; I < Lines.Count(); ++I) {
    std::u16string Suffix(1, u':');
    for (const char C : std::to_string(Counts.GetItem(I))) Suffix += static_cast<char16_t>(C);
    Lines.SetItem(I, Tarnwick::InsertBeforeLineBreak(Lines.GetItem(I), Suffix));
  }
  std::vector<int32_t> Found(static_cast<size_t>(Counts.Count()));
  for (int32_t I = 0; I < Counts.Count(); ++I) Found[I] = Counts.GetItem(I);
  StringRecordList::TCommonStringRecordList Output;
  for (const uint32_t I : OrderByCountDescending(Found, Highest)) {
    Output.Add(Lines.GetItem(static_cast<int32_t>(I)));
  }
  return Output.Text();
}

// With the one deliberate change: each "\E" of a body is written "\E\\E\Q" so that it stays
// inside the literal quote.
inline std::u16string DuplicationHighlightPattern(const std::u16string& Text) {
  StringRecordList::TCommonStringRecordList Lines;
  StringRecordList::TCommonStringRecordList Duplicates;
  Lines.SetText(Text);
  for (int32_t I = Lines.Count() - 1; I >= 0; --I) {
    const std::u16string Line = Lines.GetItem(I);
    if (StringUnit::BareLineBreakKind(Line) == StringUnit::lbNone && Lines.IndexOf(Line) != I) {
      Duplicates.Add(Line);
    }
  }
  std::u16string Pattern;
  for (int32_t I = Duplicates.Count() - 1; I >= 0; --I) {
    std::u16string Body = StringUnit::WithoutLineBreak(Duplicates.GetItem(I));
    for (size_t At = Body.find(u"\\E"); At != std::u16string::npos;
         At = Body.find(u"\\E", At + 7)) {
      Body.replace(At, 2, u"\\E\\\\E\\Q");
    }
    Pattern += u"^\\Q" + Body + u"\\E$|";
  }
  if (!Pattern.empty()) Pattern.erase(Pattern.size() - 1);
  return Pattern;
}

// The tool's duplicate operations with lines compared by their keys (KeyOf of each body; the
// body itself for dedupe --only-unique and --only-repeated), by
// comparing every line's key with every other's: dedupe (Only absent: the first line of each
// key; "once": the lines whose key no other line has; "repeated": the first line of each key
// other lines have too), count, and the lines --mark marks (a non-empty key another line has).
struct TKeyedReference {
  std::vector<std::u16string> Lines;  // each with its break
  std::vector<std::u16string> Keys;

  TKeyedReference(const std::u16string& Text,
                  const std::function<std::u16string(std::u16string_view)>& KeyOf) {
    StringRecordList::TCommonStringRecordList List;
    List.SetText(Text);
    for (int32_t I = 0; I < List.Count(); ++I) {
      Lines.push_back(List.GetItem(I));
      Keys.push_back(KeyOf(StringUnit::WithoutLineBreak(Lines.back())));
    }
  }
  size_t Sharing(size_t I) const {
    size_t Same = 0;
    for (const std::u16string& Key : Keys) Same += Key == Keys[I];
    return Same;
  }
  bool First(size_t I) const {
    for (size_t J = 0; J < I; ++J) {
      if (Keys[J] == Keys[I]) return false;
    }
    return true;
  }
  std::u16string Dedupe(const char* Only) const {
    std::u16string Out;
    for (size_t I = 0; I < Lines.size(); ++I) {
      const bool Keep = Only == nullptr               ? First(I)
                        : std::string(Only) == "once" ? Sharing(I) == 1
                                                      : First(I) && Sharing(I) > 1;
      if (Keep) Out += Lines[I];
    }
    return Out;
  }
  std::u16string Count() const {
    std::vector<int32_t> Counts;
    std::vector<size_t> Firsts;
    int32_t Highest = 1;
    for (size_t I = 0; I < Lines.size(); ++I) {
      if (!First(I)) continue;
      Firsts.push_back(I);
      Counts.push_back(static_cast<int32_t>(Sharing(I)));
      Highest = std::max(Highest, Counts.back());
    }
    std::u16string Out;
    for (const uint32_t G : OrderByCountDescending(Counts, Highest)) {
      std::u16string Suffix(1, u':');
      for (const char C : std::to_string(Counts[G])) Suffix += static_cast<char16_t>(C);
      Out += Tarnwick::InsertBeforeLineBreak(Lines[Firsts[G]], Suffix);
    }
    return Out;
  }
  // The highlight pattern: each distinct body of a marked line once, quoted as the command's.
  std::u16string Pattern() const {
    const std::vector<bool> Marks = Marked();
    std::vector<std::u16string> Bodies;
    std::u16string Out;
    for (size_t I = 0; I < Lines.size(); ++I) {
      std::u16string Body = StringUnit::WithoutLineBreak(Lines[I]);
      if (!Marks[I] || std::find(Bodies.begin(), Bodies.end(), Body) != Bodies.end()) continue;
      Bodies.push_back(Body);
      for (size_t At = Body.find(u"\\E"); At != std::u16string::npos;
           At = Body.find(u"\\E", At + 7)) {
        Body.replace(At, 2, u"\\E\\\\E\\Q");
      }
      Out += (Out.empty() ? u"^\\Q" : u"|^\\Q") + Body + u"\\E$";
    }
    return Out;
  }
  std::vector<bool> Marked() const {
    std::vector<bool> Marks;
    for (size_t I = 0; I < Lines.size(); ++I) Marks.push_back(!Keys[I].empty() && Sharing(I) > 1);
    return Marks;
  }
};

}  // namespace DuplicationReference
