// Conversion between the bytes of a file and the UTF-16 text the line commands work on.
// The same interface is implemented on ICU (Linux) and on the Windows code-page functions;
// everything above it is platform-neutral.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Codec {

enum class TFamily { fmUtf8, fmUtf16LE, fmUtf16BE, fmUtf16, fmOther };

// A resolved encoding: its canonical name, the family that decides byte-order-mark handling,
// and whether a byte-order mark was read (and so is written back).
struct TEncoding {
  std::string Name;
  TFamily Family = TFamily::fmUtf8;
  bool Bom = false;
};

// The UTF-8 byte-order mark.
inline constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

// How many bytes in front of Bytes, in Encoding, are a UTF-8 byte-order mark: the mark's length
// when Encoding is UTF-8 and Bytes start with it, else 0.
inline size_t Utf8MarkLength(std::string_view Bytes, const TEncoding& Encoding) {
  return Encoding.Family == TFamily::fmUtf8 && Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
}

// The encoding name is unknown to this platform.
class EUnknownEncoding : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The input holds a byte sequence that is not valid in its encoding; Offset is the index of
// the first byte of that sequence (counted from the start of the input, mark included).
class EInvalidInput : public std::runtime_error {
 public:
  // Makes the message, in the user's language, around the place of the fault.
  using TReport = std::function<std::string(const std::string& Place)>;

  // The message names the place by its byte offset.
  EInvalidInput(TReport Report, size_t Offset);
  // The same fault placed also at its line (from 1), with Advice after the message.
  EInvalidInput AtLine(size_t Line, const std::string& Advice) const;

  size_t Offset;

 private:
  EInvalidInput(TReport Report, size_t Offset, const std::string& Message);
  TReport Report;
};

// The text holds a character the output encoding cannot represent; Index is its position in
// the text in UTF-16 code units.
class EUnencodable : public std::runtime_error {
 public:
  EUnencodable(const std::string& message, size_t index)
      : std::runtime_error(message), Index(index) {}
  size_t Index;
};

// Resolves a user-given encoding name; an empty name means "UTF-8, or what a byte-order mark
// says". Throws EUnknownEncoding.
TEncoding Resolve(const std::string& name);

// Decodes Bytes in Encoding. For the Unicode families a leading byte-order mark is taken off
// and recorded in the returned encoding (an unnamed encoding also takes its family from the
// mark). Throws EInvalidInput, also for a UTF-16 mark that contradicts a named UTF-8 or UTF-16.
std::u16string Decode(std::string_view Bytes, TEncoding& Encoding);

// Encodes Text in Encoding, the byte-order mark first when Encoding.Bom. Throws EUnencodable.
std::string Encode(std::u16string_view Text, const TEncoding& Encoding);

// True when a text in Encoding (without a byte-order mark) may be cut at the bytes 0x0A and
// 0x0D into runs of whole lines that convert apart from each other, on any thread, to what
// they are within the whole text: UTF-8 and the stateless legacy encodings that keep those
// bytes for LF and CR alone. No line has more UTF-16 code units than bytes in them.
bool ConvertsByLine(const TEncoding& Encoding);

// Out becomes the UTF-16 of Lines, whole lines of a text in an encoding that converts by line.
// False when Lines are not valid in it or would not be written back as the same bytes, which
// is when Decode refuses them; Out is then unspecified.
bool DecodeLines(std::string_view Lines, const TEncoding& Encoding, std::u16string& Out);

// Out becomes the UTF-16 of Lines, which DecodeLines has accepted; without its checks, for
// text decoded again a line at a time.
void DecodeAcceptedLines(std::string_view Lines, const TEncoding& Encoding, std::u16string& Out);

// Appends Lines in such an encoding to Out, without a byte-order mark. False when a character
// cannot be represented in it (Out then holds a part of the bytes).
bool EncodeLines(std::u16string_view Lines, const TEncoding& Encoding, std::string& Out);

}  // namespace Codec
