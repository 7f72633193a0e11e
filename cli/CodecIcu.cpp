// The conversions on ICU: UTF-8 with the bulk converters, every other encoding through an ICU
// converter that stops at the first bad byte or unmappable character.
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "cli/CodecBackend.h"
#include "cli/Messages.h"

namespace Codec::Backend {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr Open(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status) || !conv)
    throw EUnknownEncoding(Messages::Translate("unknown encoding: %s", {name}));
  return conv;
}

// The converter for name, reset, stopping at the first bad byte or unmappable character. Each
// thread keeps the one it used last: opening one costs more than converting a line, and the
// sorts convert a line at a time.
UConverter* Converter(const std::string& name) {
  thread_local std::string cachedName;
  thread_local ConverterPtr cached;
  if (!cached || cachedName != name) {
    ConverterPtr conv = Open(name);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    cached = std::move(conv);
    cachedName = name;
  }
  ucnv_reset(cached.get());
  return cached.get();
}

}  // namespace

TEncoding Resolve(const std::string& name) {
  const ConverterPtr conv = Open(name);
  UErrorCode status = U_ZERO_ERROR;
  // The family comes from ICU's canonical name; the user's name is kept for messages.
  const std::string canonical = ucnv_getName(conv.get(), &status);
  TEncoding enc{name, TFamily::fmOther};
  if (canonical == "UTF-8") enc.Family = TFamily::fmUtf8;
  if (canonical == "UTF-16LE") enc.Family = TFamily::fmUtf16LE;
  if (canonical == "UTF-16BE") enc.Family = TFamily::fmUtf16BE;
  if (canonical == "UTF-16") enc.Family = TFamily::fmUtf16;
  return enc;
}

bool ConvertsByLine(const TEncoding& Encoding) {
  // Named by ICU's canonical names, which every alias (SJIS, windows-31j, MS932, eucJP, ...)
  // resolves to. The stateful ones (ISO-2022-JP, UTF-7) and the EBCDIC ones, where a line
  // break is another byte, are not listed.
  static constexpr std::string_view kConverters[] = {"ibm-943_P15A-2003", "ibm-943_P130-1999",
                                                     "euc-jp-2007"};
  const ConverterPtr conv = Open(Encoding.Name);
  UErrorCode status = U_ZERO_ERROR;
  const std::string_view canonical = ucnv_getName(conv.get(), &status);
  return U_SUCCESS(status) && std::find(std::begin(kConverters), std::end(kConverters),
                                        canonical) != std::end(kConverters);
}

// ICU's string functions take 32-bit lengths, so large texts go through in pieces, each ending
// on a character boundary.
namespace {
size_t gPieceBytes = size_t{1} << 28;
size_t gPieceUnits = size_t{1} << 26;  // four bytes each at most in any encoding
}  // namespace

void SetPieceSize(size_t Units) {
  gPieceBytes = Units == 0 ? size_t{1} << 28 : std::max<size_t>(Units, 4);
  gPieceUnits = Units == 0 ? size_t{1} << 26 : std::max<size_t>(Units, 4);
}

bool DecodeUtf8(std::string_view Bytes, char16_t* Out, size_t& Written) {
  Written = 0;
  while (!Bytes.empty()) {
    size_t size = std::min(Bytes.size(), gPieceBytes);
    // Back off over continuation bytes so that no character is cut.
    for (int k = 0; k < 3 && size < Bytes.size() && (Bytes[size] & 0xC0) == 0x80; ++k) --size;
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    CountCall();
    u_strFromUTF8(reinterpret_cast<UChar*>(Out + Written), static_cast<int32_t>(size), &length,
                  Bytes.data(), static_cast<int32_t>(size), &status);
    if (U_FAILURE(status)) return false;
    Written += static_cast<size_t>(length);
    Bytes.remove_prefix(size);
  }
  return true;
}

bool EncodeUtf8(std::u16string_view Text, std::string& Out) {
  while (!Text.empty()) {
    size_t units = std::min(Text.size(), gPieceUnits);
    if (units < Text.size() && Text[units - 1] >= 0xD800 && Text[units - 1] <= 0xDBFF) --units;
    const size_t start = Out.size();
    char* target = Grow(Out, units * 3);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    CountCall();
    u_strToUTF8(target, static_cast<int32_t>(units * 3), &length,
                reinterpret_cast<const UChar*>(Text.data()), static_cast<int32_t>(units), &status);
    if (U_FAILURE(status)) return false;
    Out.resize(start + static_cast<size_t>(length));
    Text.remove_prefix(units);
  }
  return true;
}

// The other encodings go through the converter in pieces too: ucnv_toUnicode and
// ucnv_fromUnicode refuse ranges beyond 2^30 or 2^31 units, and the room a piece needs must be
// computed in 32 bits. The converter carries a character cut between two pieces over to the
// next call.
std::u16string DecodeOther(std::string_view Bytes, const TEncoding& Encoding) {
  UConverter* const conv = Converter(Encoding.Name);
  UErrorCode status = U_ZERO_ERROR;
  std::u16string out;
  const char* source = Bytes.data();
  const char* const end = Bytes.data() + Bytes.size();
  for (;;) {
    const char* const pieceEnd = source + std::min<size_t>(end - source, gPieceBytes);
    const bool last = pieceEnd == end;
    do {
      // One code unit per byte is enough for the common encodings; a converter that yields
      // more fills the room and is called again for the rest of the piece.
      status = U_ZERO_ERROR;
      const size_t room = static_cast<size_t>(pieceEnd - source) + 16;
      UChar* target = reinterpret_cast<UChar*>(Grow(out, room));
      UChar* const limit = target + room;
      CountCall();
      ucnv_toUnicode(conv, &target, limit, &source, pieceEnd, nullptr, last, &status);
      out.resize(out.size() - static_cast<size_t>(limit - target));
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    if (U_FAILURE(status) || last) break;
  }
  if (U_FAILURE(status)) {
    char bad[32];
    int8_t badLength = sizeof bad;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidChars(conv, bad, &badLength, &ignored);
    const size_t consumed = static_cast<size_t>(source - Bytes.data());
    const size_t offset = consumed >= static_cast<size_t>(badLength) ? consumed - badLength : 0;
    if (status == U_TRUNCATED_CHAR_FOUND) ThrowUnfinished(Encoding.Name, Bytes, offset);
    ThrowInvalid(Encoding.Name, Bytes, offset, badLength > 0 ? badLength : 1);
  }
  return out;
}

size_t DecodeAccepted(std::string_view Bytes, const TEncoding& Encoding, char16_t* Out) {
  UConverter* const conv = Converter(Encoding.Name);
  UChar* target = reinterpret_cast<UChar*>(Out);
  UChar* const targetEnd = target + Bytes.size();
  const char* source = Bytes.data();
  const char* const end = Bytes.data() + Bytes.size();
  for (;;) {
    // In pieces, as DecodeOther; a character cut between two is carried to the next.
    const char* const pieceEnd = source + std::min<size_t>(end - source, gPieceBytes);
    const bool last = pieceEnd == end;
    UErrorCode status = U_ZERO_ERROR;
    UChar* const limit = std::min(targetEnd, target + (pieceEnd - source) + 16);
    CountCall();
    ucnv_toUnicode(conv, &target, limit, &source, pieceEnd, nullptr, last, &status);
    if (U_FAILURE(status)) throw std::logic_error("accepted bytes did not decode");
    if (last) break;
  }
  return static_cast<size_t>(target - reinterpret_cast<UChar*>(Out));
}

void EncodeOther(std::u16string_view Text, const TEncoding& Encoding, std::string& Out) {
  UConverter* const conv = Converter(Encoding.Name);
  UErrorCode status = U_ZERO_ERROR;
  const int8_t maxCharSize = ucnv_getMaxCharSize(conv);
  const UChar* const begin = reinterpret_cast<const UChar*>(Text.data());
  const UChar* const end = begin + Text.size();
  const UChar* source = begin;
  for (;;) {
    const UChar* const pieceEnd = source + std::min<size_t>(end - source, gPieceUnits);
    const bool last = pieceEnd == end;
    do {
      status = U_ZERO_ERROR;
      const auto room =
          static_cast<size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(pieceEnd - source, maxCharSize));
      char* target = Grow(Out, room);
      char* const limit = target + room;
      CountCall();
      ucnv_fromUnicode(conv, &target, limit, &source, pieceEnd, nullptr, last, &status);
      Out.resize(Out.size() - static_cast<size_t>(limit - target));
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    if (U_FAILURE(status) || last) break;
  }
  if (U_FAILURE(status)) {
    UChar bad[8];
    int8_t badLength = 8;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidUChars(conv, bad, &badLength, &ignored);
    const auto consumed = static_cast<size_t>(source - begin);
    ThrowUnencodable(Encoding.Name, Text,
                     consumed >= static_cast<size_t>(badLength) ? consumed - badLength : 0);
  }
}

}  // namespace Codec::Backend
