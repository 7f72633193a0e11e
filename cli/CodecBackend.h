// The platform half of Codec: UTF-8 in bulk and the other (legacy) encodings. Codec.cpp does
// the byte-order marks, UTF-16 and the error reports common to both platforms.
#pragma once

#include <string>
#include <string_view>

#include "cli/Codec.h"

namespace Codec::Backend {

// Name and family of a user-given encoding name; throws EUnknownEncoding.
TEncoding Resolve(const std::string& name);

// Strict UTF-8 to UTF-16 into Out, which has room for Bytes.size() code units; sets Written.
// Returns false on any ill-formed sequence (the caller locates it).
bool DecodeUtf8(std::string_view Bytes, char16_t* Out, size_t& Written);
// Appends Text in UTF-8 to Out; returns false on an unpaired surrogate.
bool EncodeUtf8(std::u16string_view Text, std::string& Out);

// Any other encoding (decoding the whole of Bytes; appending to Out); throw EInvalidInput /
// EUnencodable with the position.
std::u16string DecodeOther(std::string_view Bytes, const TEncoding& Encoding);
void EncodeOther(std::u16string_view Text, const TEncoding& Encoding, std::string& Out);

// Decodes Bytes, whole lines that DecodeOther has accepted in Encoding (which converts by
// line), into Out, which has room for Bytes.size() code units; returns how many it wrote.
// Without the checks, for text decoded again a line at a time.
size_t DecodeAccepted(std::string_view Bytes, const TEncoding& Encoding, char16_t* Out);

// True for a legacy encoding known to be stateless, with the bytes 0x0A and 0x0D standing for
// LF and CR and never part of another character, and at most one code unit per byte: the
// Japanese ones (Shift_JIS and its Windows form, EUC-JP). Each line of such a text converts
// on its own as it does within the whole.
bool ConvertsByLine(const TEncoding& Encoding);

// The largest piece, in bytes or code units, handed to the platform's converter in one call
// (at least 4; 0 restores the default, which keeps well within its 32-bit limits). Tests make
// it small so that the seams between pieces are crossed often.
void SetPieceSize(size_t Units);

}  // namespace Codec::Backend

namespace Codec {

// The work of the conversions, summed while a counter is installed: the room made in output
// buffers (bytes or code units, each zero-filled once by the resize) and the calls into the
// platform's converter. Tests use it to show that converting is linear in the text.
struct TWork {
  size_t Room = 0;
  size_t Calls = 0;
};
// Installs Counter (nullptr: counting stops). Not for concurrent use.
void CountWork(TWork* Counter);
// Makes room for Extra more units at the end of Out and returns where they start.
char* Grow(std::string& Out, size_t Extra);
char16_t* Grow(std::u16string& Out, size_t Extra);
// Records one call into the platform's converter.
void CountCall();

// Throw the errors with their messages: Count bytes from Offset shown in hexadecimal; the
// character at Index shown as U+XXXX with its line number.
[[noreturn]] void ThrowInvalid(const std::string& Name, std::string_view Bytes, size_t Offset,
                               size_t Count);
[[noreturn]] void ThrowUnencodable(const std::string& Name, std::u16string_view Text, size_t Index);
// Throws for input that ends in an unfinished sequence from Offset on: half a two-byte unit
// (HalfAUnit), else an escape sequence or a character, as its bytes tell.
[[noreturn]] void ThrowUnfinished(const std::string& Name, std::string_view Bytes, size_t Offset,
                                  bool HalfAUnit = false);

}  // namespace Codec
