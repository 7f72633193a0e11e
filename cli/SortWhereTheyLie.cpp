#include "cli/SortWhereTheyLie.h"

#include <cstdint>
#include <new>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "TemplateList/ListClone.h"
#include "cli/Codec.h"
#include "cli/TextPieces.h"
#include "sorting/KeyedSort.h"
#include "strings/LineScan.h"

namespace Operations {

namespace {

using namespace StringRecordListNormalSort;

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

bool IsBreak(char C) { return C == '\r' || C == '\n'; }

// The lines of a text in an encoding that converts by line, found by where each starts. The last
// line of a text that ends without a break is kept apart, with a break added, as the list gives it
// to the sort.
class TLinesOfBytes final : public TLineSource {
 public:
  TLinesOfBytes(std::string_view Body, const std::vector<uint32_t>& Starts, std::string_view Last,
                const Codec::TEncoding& Encoding)
      : FBody(Body),
        FStarts(Starts),
        FLast(Last),
        FEncoding(Encoding),
        FUtf8(Encoding.Family == Codec::TFamily::fmUtf8) {}

  size_t Count() const { return FStarts.size() - 1; }

  // Line I's bytes, its break included.
  std::string_view Bytes(size_t I) const {
    if (I + 1 == Count() && !FLast.empty()) return FLast;
    return FBody.substr(FStarts[I], FStarts[I + 1] - FStarts[I]);
  }

  std::u16string_view Text(size_t I, std::u16string& Scratch) const override {
    if (!FUtf8) {
      // A legacy encoding through its converter, which each thread keeps open.
      Codec::DecodeAcceptedLines(Bytes(I), FEncoding, Scratch);
      return Scratch;
    }
    // The sort asks for each line two or three times (numbers or length, key, the size of
    // the keys' room), a few dozen bytes each time: the converter's cost per call outweighed
    // the conversion of Japanese lines. The whole text was checked before the sort began, so
    // every sequence here is well-formed and is decoded without checks.
    const std::string_view In = Bytes(I);
    Scratch.resize(In.size());  // no line has more code units than bytes
    char16_t* const Out = Scratch.data();
    const auto* P = reinterpret_cast<const unsigned char*>(In.data());
    const auto* const End = P + In.size();
    size_t O = 0;
    while (P < End) {
      const unsigned Lead = *P;
      if (Lead < 0x80) {
        Out[O++] = static_cast<char16_t>(Lead);
        P += 1;
      } else if (Lead < 0xE0) {
        Out[O++] = static_cast<char16_t>((Lead & 0x1F) << 6 | (P[1] & 0x3F));
        P += 2;
      } else if (Lead < 0xF0) {
        Out[O++] = static_cast<char16_t>((Lead & 0x0F) << 12 | (P[1] & 0x3F) << 6 | (P[2] & 0x3F));
        P += 3;
      } else {
        const uint32_t Point =
            ((Lead & 0x07) << 18 | (P[1] & 0x3F) << 12 | (P[2] & 0x3F) << 6 | (P[3] & 0x3F)) -
            0x10000;
        Out[O++] = static_cast<char16_t>(0xD800 + (Point >> 10));
        Out[O++] = static_cast<char16_t>(0xDC00 + (Point & 0x3FF));
        P += 4;
      }
    }
    Scratch.resize(O);
    return Scratch;
  }

  // Lines with equal bytes are those with equal text: UTF-8, or checked to be written back as
  // the same bytes.
  bool Same(size_t I, size_t J) const override { return Bytes(I) == Bytes(J); }

  size_t UnitsAtMost(size_t I) const override { return Bytes(I).size(); }

 private:
  std::string_view FBody;
  const std::vector<uint32_t>& FStarts;
  std::string_view FLast;
  const Codec::TEncoding& FEncoding;
  bool FUtf8;
};

}  // namespace

bool SortWhereTheyLie(const TOperation& Operation, const Codec::TEncoding& Encoding,
                      std::string& Bytes) {
  if (Operation.Id < 1 || Operation.Id > 8 || !Codec::ConvertsByLine(Encoding)) return false;
  // Where the platform's keys do not order as its comparison, the list's comparator sort
  // decides.
  if (DefaultSortEngine != TSortEngine::seKeyed) return false;
  static constexpr TSortKind Kinds[] = {skText, skReverseText, skNumeric, skByteLength};
  const TSortKind Kind = Kinds[(Operation.Id - 1) / 2];
  const TSortOrder Order = (Operation.Id - 1) % 2 == 0 ? soAscending : soDescending;

  const bool Utf8 = Encoding.Family == Codec::TFamily::fmUtf8;
  const size_t Base = Utf8 && Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  // Where each line starts, in 32 bits: a larger text takes the other path.
  if (Body.size() >= UINT32_MAX) return false;
  size_t Lines = 0;
  LineScan::ForEachLine(Body, [&](const LineScan::TLine&) { ++Lines; });
  if (Lines == 0) return false;
  // A text of too many lines is refused by the common path, with its message.
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) return false;
  std::vector<uint32_t> Starts;
  Starts.reserve(Lines + 1);
  LineScan::ForEachLine(Body, [&](const LineScan::TLine& Line) {
    Starts.push_back(static_cast<uint32_t>(Line.Offset));
  });
  Starts.push_back(static_cast<uint32_t>(Body.size()));
  // Input the common path refuses is left to it, which reports it. Either encoding is checked
  // a piece of lines per thread, a legacy one as the common path checks it.
  if (Utf8 ? !TextPieces::IsUtf8(Body) : !TextPieces::StandsForText(Body, Encoding, "")) {
    return false;
  }

  // Every line compares with its break, so a last line without one takes, for the sort, the
  // break of the line before it (CR LF for a text of one line), which the line that ends up
  // last then loses.
  std::string Last;
  const bool Added = !IsBreak(Body.back());
  if (Added) {
    std::string_view Break = "\r\n";
    if (Lines >= 2) {
      const std::string_view Before =
          Body.substr(Starts[Lines - 2], Starts[Lines - 1] - Starts[Lines - 2]);
      Break = Before.ends_with("\r\n") ? "\r\n" : Before.substr(Before.size() - 1);
    }
    Last.assign(Body.substr(Starts[Lines - 1]));
    Last += Break;
  }
  const TLinesOfBytes Source(Body, Starts, Last, Encoding);

  // Once sorted, the lines' starts are put in their new order in place of the starts by line,
  // through the sort's own memory, so that no array of the order is held beside them. The
  // line at each start is then found again by its break.
  const uint32_t LastStart = Starts[Lines - 1];
  try {
    const bool Sorted = KeyedSortOrder(Source, static_cast<int32_t>(Lines), Kind, Order,
                                       [&Starts](std::span<uint32_t> Placed) {
                                         for (uint32_t& Line : Placed) Line = Starts[Line];
                                         std::copy(Placed.begin(), Placed.end(), Starts.begin());
                                       });
    if (!Sorted) return false;
  } catch (const std::bad_alloc&) {
    // The list's sort, which needs less beside its lines, may still have room.
    return false;
  }

  // The lines are the same bytes in any order; the added break may be longer than the one
  // the last line loses, by a byte.
  std::string Out;
  Out.reserve(Bytes.size() + 2);
  Out.append(Bytes, 0, Base);
  size_t LastBegin = Out.size();
  for (size_t K = 0; K < Lines; ++K) {
    LastBegin = Out.size();
    if (Added && Starts[K] == LastStart) {
      Out += Last;
    } else {
      const LineScan::TLine Line = LineScan::LineAt(Body, Starts[K]);
      Out.append(Body.data() + Line.Offset, Line.Length);
    }
  }
  if (Added) {
    while (Out.size() > LastBegin && IsBreak(Out.back())) Out.pop_back();
  }
  Bytes = std::move(Out);
  return true;
}

}  // namespace Operations
