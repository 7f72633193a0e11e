// Lists of 32-bit signed integers, each in a heap cell of its own, kept in step with a line list.
// Used by the tests alone (the duplicate commands' plain reference); no command needs it.
#pragma once

#include <cstdint>

#include "TemplateList/ListClone.h"

namespace IntegerList {

enum class TSortOrder : uint8_t { soUp = 0, soDown = 1 };
using enum TSortOrder;

class TRecordList {
 public:
  TRecordList();
  TRecordList(const TRecordList&) = delete;
  TRecordList& operator=(const TRecordList&) = delete;
  virtual ~TRecordList();

  int32_t Add(int32_t Item);
  void Insert(int32_t Index, int32_t Item);
  void Delete(int32_t Index);
  void Clear();
  void Exchange(int32_t Index1, int32_t Index2);
  void Move(int32_t CurIndex, int32_t NewIndex);
  int32_t GetItem(int32_t Index) const;
  void SetItem(int32_t Index, int32_t Value);
  // Lowest index holding Value, or -1.
  int32_t IndexOf(int32_t Value) const;
  int32_t Count() const { return FList.Count(); }
  // Deletes from the end, or appends cells holding 0, until there are NewCount.
  void SetCount(int32_t NewCount);
  // Replaces the values by Source's; a null Source changes nothing.
  virtual void Assign(const TRecordList* Source);

 protected:
  static int32_t* Cell(void* P) { return static_cast<int32_t*>(P); }

  ListClone::TListClone FList;
};

class TNumericList : public TRecordList {
 public:
  // Sorts by value, upwards or downwards; any other order throws SysUtils::Exception.
  void Sort(TSortOrder SortOrder);
};

}  // namespace IntegerList
