// Texts in an encoding that converts by line (Codec::ConvertsByLine), decoded a piece of whole
// lines at a time on the threads: no converter's room for the whole text and no second copy
// of it (the round-trip check) is made beside the bytes and what the caller keeps.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "cli/Codec.h"

namespace TextPieces {

// The bytes, or UTF-16 code units, a thread converts at a time: small enough to stay in the
// processor's cache, large enough that the converter's cost per call does not count.
constexpr size_t DefaultPieceSize = size_t{1} << 16;
// The size in use: DefaultPieceSize unless SetPieceSize made it another.
extern size_t PieceSize;

// Sets PieceSize (0 restores the default); not while a conversion runs. Tests make it small so
// that a text of a few lines is cut into many pieces and its seams are crossed often.
void SetPieceSize(size_t Units);

// Where the piece of Body that starts at Begin ends: at the end of the line that holds its
// byte Begin + PieceSize - 1 (a CR LF stays whole), or at the end of Body.
size_t PieceEnd(std::string_view Body, size_t Begin);

// True when Body is well-formed UTF-8, checked a piece per thread.
bool IsUtf8(std::string_view Body);

// Decodes Body (a text in Encoding, which converts by line, without its byte-order mark) a
// piece per thread and hands the UTF-16 of each piece to Take, in text order, on the calling
// thread. False as soon as a piece is refused by Codec::DecodeLines (Take may have seen the
// pieces before it).
bool Decode(std::string_view Body, const Codec::TEncoding& Encoding,
            const std::function<void(std::u16string_view)>& Take);

// True when Body decodes (as Decode) and the ASCII text Added is written in Encoding as the
// same bytes. Then a command that finds lines at CR and LF, compares them for equality and
// adds only Added gives on Body the bytes it gives on the UTF-16 text, encoded.
bool StandsForText(std::string_view Body, const Codec::TEncoding& Encoding, std::string_view Added);

// Codec::Decode(Bytes, Encoding), with its errors; for a legacy encoding that converts by
// line, decoded in pieces on the threads into a text that takes the room it needs alone.
std::u16string DecodeText(std::string_view Bytes, Codec::TEncoding& Encoding);

}  // namespace TextPieces
