#include "sorting/RunMerge.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "base/Parallel.h"
#include "platform/Win32.h"
#include "sorting/Comparators.h"
#include "sorting/NumericKey.h"
#include "strings/LineScan.h"
#include "strings/StringUnit.h"

namespace RunMerge {

namespace {

using StringRecordListNormalSort::CompareNumberKeys;
using StringRecordListNormalSort::ExtractNumbers;
using StringRecordListNormalSort::MeasuredCompare;

// The code unit at byte I of Bytes.
char16_t UnitAt(std::string_view Bytes, size_t I, TUnits Units) {
  const auto B0 = static_cast<unsigned char>(Bytes[I]);
  if (Units == TUnits::unBytes) return B0;
  const auto B1 = static_cast<unsigned char>(Bytes[I + 1]);
  return Units == TUnits::unUtf16LE ? static_cast<char16_t>(B0 | B1 << 8)
                                    : static_cast<char16_t>(B0 << 8 | B1);
}

size_t UnitSize(TUnits Units) { return Units == TUnits::unBytes ? 1 : 2; }

// Appends the platform's collation key of Text to Out; false when it gives none.
bool AppendCollationKey(std::u16string_view Text, std::string& Out) {
  if (Text.size() > static_cast<size_t>(INT_MAX)) return false;
  // The platform refuses a zero length; the empty text is passed NUL-terminated instead.
  static const char16_t Empty[1] = {0};
  const LPCWSTR Source = AsWide(Text.empty() ? Empty : Text.data());
  const int Length = Text.empty() ? -1 : static_cast<int>(Text.size());
  const DWORD Flags = LCMAP_SORTKEY | StringUnit::CollationFlags();
  const size_t Base = Out.size();
  // Room for the key of an ordinary line first; the size is asked for only when it is short.
  Out.resize(Base + std::min<size_t>(Text.size() * 4 + 32, 1 << 16));
  int Written = LCMapStringW(LOCALE_USER_DEFAULT, Flags, Source, Length,
                             reinterpret_cast<LPWSTR>(Out.data() + Base),
                             static_cast<int>(Out.size() - Base));
  if (Written <= 0) {
    const int Needed = LCMapStringW(LOCALE_USER_DEFAULT, Flags, Source, Length, nullptr, 0);
    if (Needed <= 0) return false;
    Out.resize(Base + static_cast<size_t>(Needed));
    Written = LCMapStringW(LOCALE_USER_DEFAULT, Flags, Source, Length,
                           reinterpret_cast<LPWSTR>(Out.data() + Base), Needed);
    if (Written <= 0) return false;
  }
  Out.resize(Base + static_cast<size_t>(Written));
  return true;
}

int32_t Sign(int C) { return C < 0 ? -1 : C > 0 ? 1 : 0; }

void PutNumber(std::string& Out, size_t Value) {
  while (Value >= 0x80) {
    Out += static_cast<char>((Value & 0x7F) | 0x80);
    Value >>= 7;
  }
  Out += static_cast<char>(Value);
}

// Reads a number PutNumber wrote at Bytes[At..End); false when it does not end there.
bool GetNumber(const std::string& Bytes, size_t& At, size_t End, size_t& Value) {
  Value = 0;
  for (unsigned Shift = 0; At < End && Shift < 64; Shift += 7) {
    const auto Byte = static_cast<unsigned char>(Bytes[At++]);
    Value |= static_cast<size_t>(Byte & 0x7F) << Shift;
    if (Byte < 0x80) return true;
  }
  return false;
}

}  // namespace

size_t LineEnd(std::string_view Bytes, size_t From, TUnits Units, bool AtEnd) {
  if (Units == TUnits::unBytes) {
    const size_t Break = LineScan::FindBreak(Bytes.data(), From, Bytes.size());
    if (Break == Bytes.size()) return std::string_view::npos;
    if (Bytes[Break] == '\n') return Break + 1;
    if (Break + 1 < Bytes.size()) return Break + (Bytes[Break + 1] == '\n' ? 2 : 1);
    return AtEnd ? Break + 1 : std::string_view::npos;
  }
  const size_t Size = Bytes.size() & ~size_t{1};
  for (size_t I = From; I < Size; I += 2) {
    const char16_t Unit = UnitAt(Bytes, I, Units);
    if (Unit == u'\n') return I + 2;
    if (Unit != u'\r') continue;
    if (I + 2 < Size) return I + (UnitAt(Bytes, I + 2, Units) == u'\n' ? 4 : 2);
    return AtEnd ? I + 2 : std::string_view::npos;
  }
  return std::string_view::npos;
}

size_t BreakLength(std::string_view Line, TUnits Units) {
  const size_t Unit = UnitSize(Units);
  if (Line.size() < Unit) return 0;
  const char16_t Last = UnitAt(Line, Line.size() - Unit, Units);
  if (Last == u'\r') return Unit;
  if (Last != u'\n') return 0;
  if (Line.size() >= 2 * Unit && UnitAt(Line, Line.size() - 2 * Unit, Units) == u'\r') {
    return 2 * Unit;
  }
  return Unit;
}

std::string_view LineFeed(TUnits Units) {
  switch (Units) {
    case TUnits::unUtf16LE:
      return std::string_view("\n\0", 2);
    case TUnits::unUtf16BE:
      return std::string_view("\0\n", 2);
    default:
      return "\n";
  }
}

bool TLineOrder::Key(std::string_view Line, std::string& Out, TScratch& Scratch) const {
  if (!KeyOfOrder(Line, Out, Scratch)) return false;
  if (FTies != LineTies::tiWholeLine) return true;
  // The key of the order, each zero byte as 0 FF and ended by 0 0, so that the two keys
  // together compare as the key first and, where keys are equal, the whole line's key next.
  std::string& Escaped = Scratch.D;
  Escaped.clear();
  for (const char Byte : Out) {
    Escaped += Byte;
    if (Byte == '\0') Escaped += '\xFF';
  }
  Escaped.append(2, '\0');
  if (!LineTies::WholeLineKey(FKind, FDecoder.Whole(Line, Scratch.A), Out, Scratch.C)) {
    return false;
  }
  Out.insert(0, Escaped);
  return true;
}

bool TLineOrder::KeyOfOrder(std::string_view Line, std::string& Out, TScratch& Scratch) const {
  Out.clear();
  switch (FKind) {
    case TSortKind::skNumeric: {
      const std::u16string_view Text = FDecoder.Decode(Line, Scratch.A);
      uint8_t Code[KeyedSort::MaxOrderedBytes];
      for (const int64_t Number : ExtractNumbers(Text)) {
        Out.append(reinterpret_cast<const char*>(Code), KeyedSort::OrderedBytes(Number, Code));
      }
      // No code holds a zero byte: a key of fewer numbers ends first.
      Out += '\0';
      return AppendCollationKey(Text, Out);
    }
    case TSortKind::skByteLength: {
      const auto Measure = static_cast<uint32_t>(FDecoder.Measure(Line, Scratch.B));
      for (int Shift = 24; Shift >= 0; Shift -= 8) Out += static_cast<char>(Measure >> Shift);
      return AppendCollationKey(FDecoder.Decode(Line, Scratch.A), Out);
    }
    case TSortKind::skReverseText: {
      Scratch.C.assign(FDecoder.Decode(Line, Scratch.A));
      StringUnit::ReadFromEnd(Scratch.C);
      return AppendCollationKey(Scratch.C, Out);
    }
    default:
      return AppendCollationKey(FDecoder.Decode(Line, Scratch.A), Out);
  }
}

int32_t TLineOrder::Compare(std::string_view A, std::string_view B, TScratch& Scratch) const {
  int32_t Result = CompareInOrder(A, B, Scratch);
  if (Result == 0 && FTies == LineTies::tiWholeLine) {
    const std::u16string_view LineA = FDecoder.Whole(A, Scratch.A);
    const std::u16string_view LineB = FDecoder.Whole(B, Scratch.B);
    Result = StringRecordListNormalSort::CompareInOrder(FKind, LineA, StringUnit::ByteLength(LineA),
                                                        LineB, StringUnit::ByteLength(LineB), 0);
  }
  return Descending() ? -Result : Result;
}

int32_t TLineOrder::CompareInOrder(std::string_view A, std::string_view B,
                                   TScratch& Scratch) const {
  if (FKind == TSortKind::skByteLength) {
    const int32_t MeasureA = FDecoder.Measure(A, Scratch.C);
    const int32_t MeasureB = FDecoder.Measure(B, Scratch.C);
    return MeasuredCompare(MeasureA, FDecoder.Decode(A, Scratch.A), MeasureB,
                           FDecoder.Decode(B, Scratch.B));
  }
  return StringRecordListNormalSort::CompareInOrder(FKind, FDecoder.Decode(A, Scratch.A), 0,
                                                    FDecoder.Decode(B, Scratch.B), 0,
                                                    StringUnit::CollationFlags());
}

int32_t TLineOrder::CompareKeys(std::string_view A, std::string_view B) const {
  const int32_t Result = Sign(A.compare(B));
  return Descending() ? -Result : Result;
}

void AppendPrintableKey(std::string_view Key, bool Descending, std::string& Out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (const char C : Key) {
    const auto Byte = static_cast<unsigned char>(Descending ? ~C : C);
    Out += kDigits[Byte >> 4];
    Out += kDigits[Byte & 15];
  }
  if (Descending) Out += 'z';
}

void TRunWriter::Add(const TRecord& Record) {
  PutNumber(FBuffer, Record.Key.size() * 2 + (Record.HasKey ? 1 : 0));
  FBuffer += Record.Key;
  PutNumber(FBuffer, Record.Line.size());
  FBuffer += Record.Line;
  if (FBuffer.size() >= FBufferSize) {
    FFile.Write(FBuffer);
    FBuffer.clear();
  }
}

void TRunWriter::Finish() {
  if (!FBuffer.empty()) FFile.Write(FBuffer);
  std::string().swap(FBuffer);
  FFile.Rewind();
}

TRunReader::TRunReader(TByteSource& File, size_t BufferSize)
    : FFile(File), FBuffer(std::max<size_t>(BufferSize, 64), '\0') {}

// Makes at least Need bytes from FBegin on available; false when the run ends before.
bool TRunReader::Fill(size_t Need) {
  if (FEnd - FBegin >= Need) return true;
  if (FBegin > 0) {
    std::memmove(FBuffer.data(), FBuffer.data() + FBegin, FEnd - FBegin);
    FEnd -= FBegin;
    FBegin = 0;
  }
  if (FBuffer.size() < Need) FBuffer.resize(std::max(Need, FBuffer.size() * 2));
  while (FEnd < Need && !FAtEnd) {
    const size_t Got = FFile.Read(FBuffer.data() + FEnd, FBuffer.size() - FEnd);
    if (Got == 0) FAtEnd = true;
    FEnd += Got;
  }
  return FEnd - FBegin >= Need;
}

bool TRunReader::Next(TRecord& Record) {
  if (!Fill(1)) return false;
  // A record's two lengths take at most 20 bytes; the run may end sooner.
  Fill(20);
  size_t At = FBegin, KeyField = 0, LineSize = 0;
  if (!GetNumber(FBuffer, At, FEnd, KeyField)) throw std::runtime_error("a run is damaged");
  const size_t KeySize = KeyField / 2;
  const size_t KeyAt = At - FBegin;
  if (!Fill(KeyAt + KeySize + 10) && !Fill(KeyAt + KeySize + 1)) {
    throw std::runtime_error("a run is damaged");
  }
  At = FBegin + KeyAt + KeySize;
  if (!GetNumber(FBuffer, At, FEnd, LineSize)) throw std::runtime_error("a run is damaged");
  const size_t LineAt = At - FBegin;
  if (!Fill(LineAt + LineSize)) throw std::runtime_error("a run is damaged");
  Record.Key = std::string_view(FBuffer.data() + FBegin + KeyAt, KeySize);
  Record.HasKey = (KeyField & 1) != 0;
  Record.Line = std::string_view(FBuffer.data() + FBegin + LineAt, LineSize);
  FBegin += LineAt + LineSize;
  return true;
}

TTextReader::TTextReader(TByteSource& File, TUnits Units, size_t BufferSize)
    : FFile(File), FUnits(Units), FBuffer(std::max<size_t>(BufferSize, 64), '\0') {}

bool TTextReader::Next(TRecord& Record) {
  Record.HasKey = false;
  Record.Key = {};
  for (;;) {
    const std::string_view Held(FBuffer.data() + FBegin, FEnd - FBegin);
    const size_t End = LineEnd(Held, 0, FUnits, FAtEnd);
    if (End != std::string_view::npos) {
      Record.Line = Held.substr(0, End);
      FBreak.assign(Record.Line.substr(End - BreakLength(Record.Line, FUnits)));
      FBegin += End;
      return true;
    }
    if (FAtEnd) {
      // A UTF-16 text of an odd length keeps its last byte in its last line.
      if (Held.empty()) return false;
      FLast.assign(Held);
      FLast += FBreak.empty() ? LineFeed(FUnits) : std::string_view(FBreak);
      FSupplied = true;
      FBegin = FEnd;
      Record.Line = FLast;
      return true;
    }
    if (FBegin > 0) {
      std::memmove(FBuffer.data(), FBuffer.data() + FBegin, FEnd - FBegin);
      FEnd -= FBegin;
      FBegin = 0;
    }
    if (FEnd == FBuffer.size()) FBuffer.resize(FBuffer.size() * 2);
    const size_t Got = FFile.Read(FBuffer.data() + FEnd, FBuffer.size() - FEnd);
    if (Got == 0) FAtEnd = true;
    FEnd += Got;
  }
}

void WriteSortedRun(std::string_view Text, TUnits Units, const TLineOrder& Order, TRunFile& Run) {
  struct TItem {
    const char* Key;
    uint32_t KeySize;
    bool HasKey;
    uint32_t LineSize;
    const char* Line;
  };
  std::vector<TItem> Items;
  for (size_t At = 0; At < Text.size();) {
    size_t End = LineEnd(Text, At, Units, true);
    if (End == std::string_view::npos) End = Text.size();
    Items.push_back({nullptr, 0, false, static_cast<uint32_t>(End - At), Text.data() + At});
    At = End;
  }
  // Each part's keys lie in an arena of its own, made on its thread.
  const size_t Parts = std::min<size_t>(Parallel::PartCount(Items.size(), 4096),
                                        std::max<size_t>(Parallel::ThreadCount(), 1));
  std::vector<std::string> Arenas(std::max<size_t>(Parts, 1));
  Parallel::ForEachPart(Parts, [&](size_t Part) {
    const size_t Begin = Parallel::PartBegin(Items.size(), Parts, Part);
    const size_t End = Parallel::PartBegin(Items.size(), Parts, Part + 1);
    TScratch Scratch;
    std::string Key;
    std::vector<size_t> Offsets;
    std::string& Arena = Arenas[Part];
    for (size_t I = Begin; I < End; ++I) {
      Items[I].HasKey = Order.Key(std::string_view(Items[I].Line, Items[I].LineSize), Key, Scratch);
      Offsets.push_back(Arena.size());
      if (Items[I].HasKey) Arena += Key;
      Items[I].KeySize = Items[I].HasKey ? static_cast<uint32_t>(Key.size()) : 0;
    }
    for (size_t I = Begin; I < End; ++I) Items[I].Key = Arena.data() + Offsets[I - Begin];
  });
  // A stable sort of each part on its thread, then the sorted parts merged pairwise (the
  // left part's item first among equals).
  const auto Less = [&Order](const TItem& A, const TItem& B) {
    if (A.HasKey && B.HasKey) {
      return Order.CompareKeys(std::string_view(A.Key, A.KeySize),
                               std::string_view(B.Key, B.KeySize)) < 0;
    }
    TScratch Scratch;
    return Order.Compare(std::string_view(A.Line, A.LineSize), std::string_view(B.Line, B.LineSize),
                         Scratch) < 0;
  };
  const size_t SortParts =
      std::max<size_t>(1, std::min<size_t>(Parallel::ThreadCount(), Items.size() / 4096 + 1));
  std::vector<size_t> Bounds;
  for (size_t P = 0; P <= SortParts; ++P) {
    Bounds.push_back(Parallel::PartBegin(Items.size(), SortParts, P));
  }
  Parallel::ForEachPart(SortParts, [&](size_t P) {
    std::stable_sort(Items.begin() + static_cast<ptrdiff_t>(Bounds[P]),
                     Items.begin() + static_cast<ptrdiff_t>(Bounds[P + 1]), Less);
  });
  std::vector<TItem> Merged(SortParts > 1 ? Items.size() : 0);
  while (Bounds.size() > 2) {
    std::vector<size_t> Next;
    const size_t Pairs = (Bounds.size() - 1) / 2;
    Parallel::ForEachPart(Pairs, [&](size_t P) {
      const auto Begin = Items.begin() + static_cast<ptrdiff_t>(Bounds[2 * P]);
      const auto Middle = Items.begin() + static_cast<ptrdiff_t>(Bounds[2 * P + 1]);
      const auto End = Items.begin() + static_cast<ptrdiff_t>(Bounds[2 * P + 2]);
      std::merge(Begin, Middle, Middle, End, Merged.begin() + (Begin - Items.begin()), Less);
    });
    for (size_t P = 0; P < Pairs; ++P) Next.push_back(Bounds[2 * P]);
    // An odd part left over is copied as it is.
    if ((Bounds.size() - 1) % 2 != 0) {
      std::copy(Items.begin() + static_cast<ptrdiff_t>(Bounds[Bounds.size() - 2]), Items.end(),
                Merged.begin() + static_cast<ptrdiff_t>(Bounds[Bounds.size() - 2]));
      Next.push_back(Bounds[Bounds.size() - 2]);
    }
    Next.push_back(Items.size());
    Items.swap(Merged);
    Bounds = std::move(Next);
  }
  TRunWriter Writer(Run);
  for (const TItem& Item : Items) {
    Writer.Add({std::string_view(Item.Line, Item.LineSize),
                std::string_view(Item.Key, Item.KeySize), Item.HasKey});
  }
  Writer.Finish();
}

void Merge(std::span<TLineSource* const> Sources, const TLineOrder& Order, const TSink& Sink) {
  struct TCursor {
    TRecord Record;
    std::string OwnKey;  // the key made here for a source without keys
  };
  std::vector<TCursor> Cursors(Sources.size());
  TScratch Scratch;
  const auto Advance = [&](size_t S) {
    TCursor& Cursor = Cursors[S];
    if (!Sources[S]->Next(Cursor.Record)) return false;
    if (!Cursor.Record.HasKey) {
      Cursor.Record.HasKey = Order.Key(Cursor.Record.Line, Cursor.OwnKey, Scratch);
      if (Cursor.Record.HasKey) Cursor.Record.Key = Cursor.OwnKey;
    }
    return true;
  };
  // The heap's first entry is the least: by the order, then by source.
  const auto Greater = [&](size_t A, size_t B) {
    const TRecord& RA = Cursors[A].Record;
    const TRecord& RB = Cursors[B].Record;
    const int32_t Result = RA.HasKey && RB.HasKey ? Order.CompareKeys(RA.Key, RB.Key)
                                                  : Order.Compare(RA.Line, RB.Line, Scratch);
    return Result != 0 ? Result > 0 : A > B;
  };
  std::vector<size_t> Heap;
  for (size_t S = 0; S < Sources.size(); ++S) {
    if (Advance(S)) Heap.push_back(S);
  }
  std::make_heap(Heap.begin(), Heap.end(), Greater);
  while (!Heap.empty()) {
    std::pop_heap(Heap.begin(), Heap.end(), Greater);
    const size_t S = Heap.back();
    Sink(Cursors[S].Record);
    if (Advance(S)) {
      std::push_heap(Heap.begin(), Heap.end(), Greater);
    } else {
      Heap.pop_back();
    }
  }
}

void MergeRuns(std::vector<std::unique_ptr<TRunFile>> Runs, const TLineOrder& Order,
               TRunStore& Store, size_t FanIn, size_t BufferSize, const TSink& Sink) {
  FanIn = std::max<size_t>(FanIn, 2);
  const auto MergeGroup = [&](std::span<std::unique_ptr<TRunFile>> Group, const TSink& To) {
    std::vector<std::unique_ptr<TRunReader>> Readers;
    std::vector<TLineSource*> Sources;
    for (std::unique_ptr<TRunFile>& Run : Group) {
      Readers.push_back(std::make_unique<TRunReader>(*Run, BufferSize / (Group.size() + 1)));
      Sources.push_back(Readers.back().get());
    }
    Merge(Sources, Order, To);
  };
  while (Runs.size() > FanIn) {
    // Consecutive runs merge into one, so that the runs stay in input order.
    std::vector<std::unique_ptr<TRunFile>> Next;
    for (size_t First = 0; First < Runs.size(); First += FanIn) {
      const size_t Count = std::min(FanIn, Runs.size() - First);
      if (Count == 1) {
        Next.push_back(std::move(Runs[First]));
        continue;
      }
      std::unique_ptr<TRunFile> Merged = Store.Create();
      TRunWriter Writer(*Merged);
      MergeGroup(std::span(Runs).subspan(First, Count),
                 [&Writer](const TRecord& Record) { Writer.Add(Record); });
      Writer.Finish();
      for (size_t K = First; K < First + Count; ++K) Runs[K].reset();
      Next.push_back(std::move(Merged));
    }
    Runs = std::move(Next);
  }
  MergeGroup(Runs, Sink);
}

}  // namespace RunMerge
