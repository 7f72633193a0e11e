// Byte-order marks, the choice of converter and the error reports: the parts of the
// conversion that are the same on every platform.
#include "cli/Codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/CodecBackend.h"
#include "cli/CodecUnicode.h"
#include "cli/Messages.h"
#include "strings/LineScan.h"
#include "strings/Utf8.h"

namespace Codec {
namespace {

std::string HexBytes(std::string_view Bytes, size_t Offset, size_t Count) {
  std::string out;
  for (size_t i = Offset; i < Bytes.size() && i < Offset + Count; ++i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%s0x%02X", out.empty() ? "" : " ",
                  static_cast<unsigned char>(Bytes[i]));
    out += buf;
  }
  return out;
}

TWork* gWork = nullptr;

}  // namespace

EInvalidInput::EInvalidInput(TReport Report, size_t Offset)
    : EInvalidInput(Report, Offset,
                    Report(Messages::Translate("byte offset %s", {std::to_string(Offset)}))) {}

EInvalidInput::EInvalidInput(TReport Report, size_t Offset, const std::string& Message)
    : std::runtime_error(Message), Offset(Offset), Report(std::move(Report)) {}

EInvalidInput EInvalidInput::AtLine(size_t Line, const std::string& Advice) const {
  const std::string place = Messages::Translate("line %s, byte offset %s",
                                                {std::to_string(Line), std::to_string(Offset)});
  return EInvalidInput(Report, Offset, Report(place) + Advice);
}

void CountWork(TWork* Counter) { gWork = Counter; }

char* Grow(std::string& Out, size_t Extra) {
  if (gWork != nullptr) gWork->Room += Extra;
  const size_t start = Out.size();
  Out.resize(start + Extra);
  return Out.data() + start;
}

char16_t* Grow(std::u16string& Out, size_t Extra) {
  if (gWork != nullptr) gWork->Room += Extra;
  const size_t start = Out.size();
  Out.resize(start + Extra);
  return Out.data() + start;
}

void CountCall() {
  if (gWork != nullptr) ++gWork->Calls;
}

void ThrowInvalid(const std::string& Name, std::string_view Bytes, size_t Offset, size_t Count) {
  throw EInvalidInput(
      [Name, hex = HexBytes(Bytes, Offset, Count)](const std::string& Place) {
        return Messages::Translate("invalid %s input at %s (%s)", {Name, Place, hex});
      },
      Offset);
}

void ThrowUnencodable(const std::string& Name, std::u16string_view Text, size_t Index) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(Text[Index]));
  if (Text[Index] >= 0xD800 && Text[Index] <= 0xDBFF && Index + 1 < Text.size() &&
      Text[Index + 1] >= 0xDC00 && Text[Index + 1] <= 0xDFFF) {
    const unsigned cp = 0x10000 + ((Text[Index] - 0xD800) << 10) + (Text[Index + 1] - 0xDC00);
    std::snprintf(buf, sizeof buf, "U+%04X", cp);
  }
  // The line that holds Index: one more than the line breaks that end at or before it.
  size_t line = 1;
  for (size_t Begin = 0; Begin < Index;) {
    Begin += LineScan::LineAt(Text, Begin).Length;
    if (Begin <= Index) ++line;
  }
  throw EUnencodable(Messages::Translate("the result holds %s (line %s), which %s cannot represent",
                                         {buf, std::to_string(line), Name}),
                     Index);
}

namespace {

constexpr char kEscape = '\x1B';

// The length of the escape sequence at Bytes[At] (ESC, intermediate bytes 0x20-0x2F, a final
// byte 0x30-0x7E), or 0 when the input ends before its final byte.
size_t EscapeLength(std::string_view Bytes, size_t At) {
  size_t i = At + 1;
  while (i < Bytes.size() && Bytes[i] >= 0x20 && Bytes[i] <= 0x2F) ++i;
  return i < Bytes.size() && Bytes[i] >= 0x30 && Bytes[i] <= 0x7E ? i + 1 - At : 0;
}

}  // namespace

void ThrowUnfinished(const std::string& Name, std::string_view Bytes, size_t Offset,
                     bool HalfAUnit) {
  const char* pattern =
      HalfAUnit ? Messages::ForTranslation("the %s input ends in half a character at %s (%s)")
      : Bytes[Offset] == kEscape && EscapeLength(Bytes, Offset) == 0
          ? Messages::ForTranslation(
                "the %s input ends in an unfinished escape sequence at %s (%s)")
          : Messages::ForTranslation("the %s input ends in an unfinished character at %s (%s)");
  throw EInvalidInput(
      [pattern, Name, hex = HexBytes(Bytes, Offset, 8)](const std::string& Place) {
        return Messages::Translate(pattern, {Name, Place, hex});
      },
      Offset);
}

namespace {

constexpr std::string_view kBomUtf16LE = "\xFF\xFE";
constexpr std::string_view kBomUtf16BE = "\xFE\xFF";

std::string_view BomOf(TFamily Family) {
  switch (Family) {
    case TFamily::fmUtf8:
      return Utf8Mark;
    case TFamily::fmUtf16LE:
      return kBomUtf16LE;
    case TFamily::fmUtf16BE:
      return kBomUtf16BE;
    default:
      return {};
  }
}

// Decodes an encoding other than UTF-8 and UTF-16, and makes sure the text can be written back
// as the same bytes. Some encodings have two byte sequences for one character (windows-31j's
// NEC and IBM duplicates such as 0xED40 and 0xFA5C); a line with the other one would come out
// changed even where the operation leaves it alone, so such input is refused.
std::u16string DecodeOther(std::string_view Bytes, const TEncoding& Encoding) {
  std::u16string text = Backend::DecodeOther(Bytes, Encoding);
  std::string again;
  try {
    Backend::EncodeOther(text, Encoding, again);
  } catch (const EUnencodable&) {
    // Fall through with what was written before the character: the bytes differ there.
  }
  if (again == Bytes) return text;
  size_t at = 0;
  while (at < Bytes.size() && at < again.size() && Bytes[at] == again[at]) ++at;
  // Written back as the same bytes cut short: the converter dropped an unfinished tail.
  if (at == again.size() && Bytes.size() - at <= 8) ThrowUnfinished(Encoding.Name, Bytes, at);
  // Written back as the same bytes and more: the input ends in a character set that a stateful
  // encoding (ISO-2022-JP) switches back from at the end. The switch into it is named.
  if (at == Bytes.size()) {
    const std::string added = HexBytes(again, at, 8);
    const size_t escape = Bytes.rfind(kEscape);
    if (escape == std::string_view::npos)
      throw EInvalidInput(
          [Name = Encoding.Name, added](const std::string& Place) {
            return Messages::Translate(
                "the %s input ends unfinished at %s: writing it back would add %s; convert it to "
                "UTF-8 first",
                {Name, Place, added});
          },
          at);
    throw EInvalidInput(
        [Name = Encoding.Name, added,
         hex = HexBytes(Bytes, escape, std::max<size_t>(EscapeLength(Bytes, escape), 1))](
            const std::string& Place) {
          return Messages::Translate(
              "the %s input ends in the character set chosen by the escape sequence at %s (%s) "
              "without switching back (%s), which writing it back would add; convert it to "
              "UTF-8 first",
              {Name, Place, hex, added});
        },
        escape);
  }
  throw EInvalidInput(
      [Name = Encoding.Name, hex = HexBytes(Bytes, at, 2)](const std::string& Place) {
        return Messages::Translate(
            "the %s input at %s (%s) would be written back as other bytes; convert it to UTF-8 "
            "first",
            {Name, Place, hex});
      },
      at);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

TEncoding Resolve(const std::string& name) {
  if (name.empty()) return TEncoding{};
  return Backend::Resolve(name);
}

namespace {

std::u16string DecodeBody(std::string_view Bytes, size_t base, const TEncoding& Encoding);

// The UTF-16 byte order Bytes show, by where their zero bytes are (text mostly below U+0100 has
// one in every other place): "UTF-16LE", "UTF-16BE", or nothing when they show neither.
const char* Utf16OrderOf(std::string_view Bytes) {
  const std::string_view sample = Bytes.substr(0, 1 << 20);
  size_t zeroEven = 0, zeroOdd = 0;
  for (size_t i = 0; i < sample.size(); ++i) (i % 2 ? zeroOdd : zeroEven) += sample[i] == 0;
  if (zeroOdd * 4 > sample.size() / 2 && zeroEven * 8 < zeroOdd) return "UTF-16LE";
  if (zeroEven * 4 > sample.size() / 2 && zeroOdd * 8 < zeroEven) return "UTF-16BE";
  return nullptr;
}

// For input that is not UTF-8 although no encoding was named: the encoding its bytes look
// like, as advice to give --encoding. UTF-16 shows as zero bytes in every other place; the
// Japanese legacy encodings are tried by decoding.
std::string Suggestion(std::string_view Bytes) {
  const std::string_view sample = Bytes.substr(0, 1 << 20);
  const char* guess = Utf16OrderOf(sample);
  std::vector<std::string_view> fitting;
  if (guess != nullptr) {
    fitting.push_back(guess);
  } else {
    for (const char* name : {"Shift_JIS", "EUC-JP"}) {
      try {
        TEncoding other = Backend::Resolve(name);
        Backend::DecodeOther(sample, other);
        fitting.push_back(name);
      } catch (const std::exception&) {
      }
    }
  }
  if (fitting.size() == 1)
    return Messages::Translate("; if the file is in %s, give --encoding %s",
                               {fitting[0], fitting[0]});
  if (fitting.size() == 2)
    return Messages::Translate(
        "; if the file is in %s, give --encoding %s, or in %s, give --encoding %s",
        {fitting[0], fitting[0], fitting[1], fitting[1]});
  return "";
}

}  // namespace

std::u16string Decode(std::string_view Bytes, TEncoding& Encoding) {
  const bool named = !Encoding.Name.empty();
  // An unnamed encoding is UTF-8 unless a mark says otherwise; "UTF-16" takes its byte order
  // from the mark and is big-endian without one.
  if (Encoding.Name.empty()) {
    if (StartsWith(Bytes, kBomUtf16LE))
      Encoding = {"UTF-16LE", TFamily::fmUtf16LE};
    else if (StartsWith(Bytes, kBomUtf16BE))
      Encoding = {"UTF-16BE", TFamily::fmUtf16BE};
    else
      Encoding = {"UTF-8", TFamily::fmUtf8};
  } else if (Encoding.Family == TFamily::fmUtf16) {
    Encoding.Family = StartsWith(Bytes, kBomUtf16LE) ? TFamily::fmUtf16LE : TFamily::fmUtf16BE;
  } else if (Encoding.Family == TFamily::fmUtf8 || Encoding.Family == TFamily::fmUtf16LE ||
             Encoding.Family == TFamily::fmUtf16BE) {
    // A UTF-16 mark of the other byte order reads as U+FFFE, which no text starts with, and
    // in UTF-8 as invalid bytes: the file is not in the encoding given. Decoding it anyway
    // would find no line breaks and pass the file through unchanged.
    const char* found = StartsWith(Bytes, kBomUtf16LE)   ? "UTF-16LE"
                        : StartsWith(Bytes, kBomUtf16BE) ? "UTF-16BE"
                                                         : nullptr;
    if (found != nullptr &&
        Encoding.Family != (found[6] == 'L' ? TFamily::fmUtf16LE : TFamily::fmUtf16BE))
      throw EInvalidInput(
          [found, Name = Encoding.Name](const std::string&) {
            return Messages::Translate(
                "the input starts with the %s byte-order mark, but the encoding given is %s",
                {found, Name});
          },
          0);
  }
  const std::string_view bom = BomOf(Encoding.Family);
  size_t base = 0;
  if (!bom.empty() && StartsWith(Bytes, bom)) {
    Encoding.Bom = true;
    base = bom.size();
  } else if (Encoding.Family == TFamily::fmUtf16LE || Encoding.Family == TFamily::fmUtf16BE) {
    // Without a mark, bytes of the other order decode without an error into one long line of
    // other characters: refused when their zero bytes show that order and only it finds line
    // breaks (so a short text of characters such as U+4E00 is not taken for one).
    const char* shown = Utf16OrderOf(Bytes);
    const auto breaks = [sample = Bytes.substr(0, 1 << 20)](bool BigEndian) {
      for (size_t i = 0; i + 1 < sample.size(); i += 2) {
        const char high = sample[i + !BigEndian], low = sample[i + BigEndian];
        if (high == 0 && (low == '\n' || low == '\r')) return true;
      }
      return false;
    };
    const bool given = Encoding.Family == TFamily::fmUtf16BE;
    if (shown != nullptr &&
        (shown[6] == 'L' ? TFamily::fmUtf16LE : TFamily::fmUtf16BE) != Encoding.Family &&
        breaks(!given) && !breaks(given))
      throw EInvalidInput(
          [shown, Name = Encoding.Name](const std::string&) {
            return Messages::Translate(
                "the input has no byte-order mark and its bytes look like %s, while --encoding "
                "%s reads them as %s; give --encoding %s",
                {shown, Name, shown[6] == 'L' ? "UTF-16BE" : "UTF-16LE", shown});
          },
          0);
  }
  try {
    return DecodeBody(Bytes, base, Encoding);
  } catch (const EInvalidInput& e) {
    // The message also names the line, counted as the line commands count lines (CR LF, CR
    // or LF), and for unnamed input suggests an encoding the bytes would be valid in.
    const bool utf16 =
        Encoding.Family == TFamily::fmUtf16LE || Encoding.Family == TFamily::fmUtf16BE;
    const size_t step = utf16 ? 2 : 1, low = Encoding.Family == TFamily::fmUtf16BE ? 1 : 0;
    size_t line = 1;
    for (size_t i = base; i + step <= e.Offset; i += step) {
      if (utf16 && Bytes[i + 1 - low] != 0) continue;
      const char c = Bytes[i + low];
      if (c == '\n' ||
          (c == '\r' && !(i + 2 * step - 1 < Bytes.size() && Bytes[i + step + low] == '\n' &&
                          (!utf16 || Bytes[i + step + 1 - low] == 0))))
        ++line;
    }
    // Advice only for input read as UTF-8 by default: one read as UTF-16 by its mark would be
    // told to name the encoding it was already read in.
    throw e.AtLine(line,
                   named || Encoding.Family != TFamily::fmUtf8 ? std::string() : Suggestion(Bytes));
  }
}

namespace {

std::u16string DecodeBody(std::string_view Bytes, size_t base, const TEncoding& Encoding) {
  const std::string_view body = Bytes.substr(base);
  switch (Encoding.Family) {
    case TFamily::fmUtf8: {
      std::u16string out;
      if (!Unicode::DecodeUtf8(body, out)) {
        size_t at = Utf8::FirstInvalid(body);
        if (at == std::string_view::npos) at = 0;  // the backend was stricter; report the start
        ThrowInvalid(Encoding.Name, Bytes, base + at, 1);
      }
      return out;
    }
    case TFamily::fmUtf16LE:
    case TFamily::fmUtf16BE:
      return Unicode::DecodeUtf16(Bytes, base, Encoding.Family == TFamily::fmUtf16BE,
                                  Encoding.Name);
    default:
      return DecodeOther(Bytes, Encoding);
  }
}

}  // namespace

std::string Encode(std::u16string_view Text, const TEncoding& Encoding) {
  std::string out(Encoding.Bom ? BomOf(Encoding.Family) : std::string_view{});
  // Every code unit gives at least one byte (two in UTF-16): room for that is made once, so
  // that the pieces appended below rarely move the result.
  const bool utf16 = Encoding.Family == TFamily::fmUtf16LE || Encoding.Family == TFamily::fmUtf16BE;
  out.reserve(out.size() + Text.size() * (utf16 ? 2 : 1));
  switch (Encoding.Family) {
    case TFamily::fmUtf8:
      if (!Unicode::EncodeUtf8(Text, out)) {
        for (size_t i = 0; i < Text.size(); ++i) {
          const char16_t c = Text[i];
          if (c >= 0xD800 && c <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
              Text[i + 1] <= 0xDFFF) {
            ++i;
          } else if (c >= 0xD800 && c <= 0xDFFF) {
            ThrowUnencodable(Encoding.Name, Text, i);
          }
        }
        ThrowUnencodable(Encoding.Name, Text, 0);
      }
      break;
    case TFamily::fmUtf16LE:
    case TFamily::fmUtf16BE:
      Unicode::EncodeUtf16(Text, Encoding.Family == TFamily::fmUtf16BE, Encoding.Name, out);
      break;
    default:
      Backend::EncodeOther(Text, Encoding, out);
      break;
  }
  return out;
}

bool ConvertsByLine(const TEncoding& Encoding) {
  switch (Encoding.Family) {
    case TFamily::fmUtf8:
      return true;
    case TFamily::fmOther:
      return Backend::ConvertsByLine(Encoding);
    default:
      return false;
  }
}

bool DecodeLines(std::string_view Lines, const TEncoding& Encoding, std::u16string& Out) {
  if (Encoding.Family == TFamily::fmUtf8) return Unicode::DecodeUtf8(Lines, Out);
  // The same checks as DecodeOther: valid bytes, and the same bytes when written back. The
  // encoding is stateless, so a text passes them exactly when each of its runs of lines does.
  try {
    Out = Backend::DecodeOther(Lines, Encoding);
    // Not thread-local (see TKeyedDecoder::Decode): made once a piece, it costs nothing.
    std::string again;
    Backend::EncodeOther(Out, Encoding, again);
    return again == Lines;
  } catch (const EInvalidInput&) {
    return false;
  } catch (const EUnencodable&) {
    return false;
  }
}

void DecodeAcceptedLines(std::string_view Lines, const TEncoding& Encoding, std::u16string& Out) {
  if (Encoding.Family == TFamily::fmUtf8) {
    if (!Unicode::DecodeUtf8(Lines, Out)) throw std::logic_error("accepted UTF-8 did not decode");
    return;
  }
  Out.resize(Lines.size());  // no more code units than bytes in an encoding that converts by line
  Out.resize(Backend::DecodeAccepted(Lines, Encoding, Out.data()));
}

bool EncodeLines(std::u16string_view Lines, const TEncoding& Encoding, std::string& Out) {
  if (Encoding.Family == TFamily::fmUtf8) return Unicode::EncodeUtf8(Lines, Out);
  try {
    Backend::EncodeOther(Lines, Encoding, Out);
    return true;
  } catch (const EUnencodable&) {
    return false;
  }
}

}  // namespace Codec
