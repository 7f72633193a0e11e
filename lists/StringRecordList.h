// The list of lines: each line a UTF-16 string in a heap cell of its own, the cell pointers kept
// in a TListClone so that reordering never copies a string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TemplateList/ListClone.h"

namespace StringRecordList {

enum class TSplitMode : uint8_t { smKeepSeparator = 0, smDropSeparator = 1 };
using enum TSplitMode;

class TRecordList {
 public:
  TRecordList();
  TRecordList(const TRecordList&) = delete;
  TRecordList& operator=(const TRecordList&) = delete;
  virtual ~TRecordList();

  // Appends a copy of Item (or takes it, for the rvalue form); returns its index.
  int32_t Add(const std::u16string& Item);
  int32_t Add(std::u16string&& Item);
  // Inserts Item at 0 <= Index <= Count.
  void Insert(int32_t Index, const std::u16string& Item);
  // Releases the cell at Index and removes it; index errors raise the list error.
  void Delete(int32_t Index);
  // Releases every cell and empties the list.
  void Clear();
  void Exchange(int32_t Index1, int32_t Index2);
  void Move(int32_t CurIndex, int32_t NewIndex);
  // A copy of the line at Index.
  std::u16string GetItem(int32_t Index) const;
  // The line at Index, without a copy; valid until the line is changed or deleted.
  const std::u16string& ItemRef(int32_t Index) const;
  void SetItem(int32_t Index, const std::u16string& Value);
  void SetItem(int32_t Index, std::u16string&& Value);
  // Lowest index whose line equals Value code unit for code unit, or -1.
  int32_t IndexOf(std::u16string_view Value) const;
  int32_t Count() const { return FList.Count(); }
  // Deletes lines from the end, or appends empty lines, until there are NewCount.
  void SetCount(int32_t NewCount);
  // Replaces the lines by copies of Source's; a null Source changes nothing.
  virtual void Assign(const TRecordList* Source);

 protected:
  static std::u16string* Cell(void* P) { return static_cast<std::u16string*>(P); }
  std::u16string* CellAt(int32_t Index) const { return Cell(FList.GetItem(Index)); }

  ListClone::TListClone FList;
};

// A line list that converts to and from one text.
class TCommonStringRecordList : public TRecordList {
 public:
  // All lines joined with nothing between them.
  std::u16string Text() const;
  // Clears the list and cuts Value into lines, each keeping its own CR LF, CR or LF.
  void SetText(std::u16string_view Value);
  // Takes ownership of already-cut lines, in order, after clearing the list.
  void SetLines(std::vector<std::u16string>&& Lines);
  // Clears the list and cuts Value at the delimiters (tried in order), dropping them.
  void SetDelimitedText(std::u16string_view Value, const std::vector<std::u16string>& Delimiters);
  // The lines joined with Delimiter between them.
  std::u16string GetDelimitedText(std::u16string_view Delimiter) const;

 protected:
  // The general splitter behind SetText and SetDelimitedText.
  void SplitText(std::u16string_view Value, const std::vector<std::u16string>& Separators,
                 TSplitMode Mode);
};

// The line breaks that end lines, in the order they are tried: CR LF before a lone CR.
const std::vector<std::u16string>& LineBreaks();

}  // namespace StringRecordList
