// The line operations against the plain references, for the fuzz targets: texts spelled in the
// tool's encodings from the fuzzer's bytes, the references' results, and the checks of the
// tool's paths on the bytes and of the plug-in's commands on UTF-16.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "base/Parallel.h"
#include "cli/Codec.h"
#include "cli/CodecBackend.h"
#include "cli/Marking.h"
#include "cli/Operations.h"
#include "commands/LineCommands.h"
#include "lists/StringRecordList.h"
#include "platform/linux/Nls.h"
#include "reference/DuplicationReference.h"
#include "reference/PlainSort.h"
#include "strings/StringUnit.h"

namespace fuzz {

// Pieces of text in UTF-8, Shift_JIS (also read as its Windows form) and EUC-JP: first those
// written alike in all three, then characters in each form; where a legacy encoding lacks the
// character, another that tests its bytes stands in.
inline constexpr std::string_view AsciiTokens[] = {
    "\n", "\r\n", "\r", "\n", "a", "A", "b", " ", "0",  "1",  "7",   "-",
    "+",  ",",    "\t", "\\", "E", "Q", ".", "x", "12", "-5", "\\E", std::string_view("\0", 1)};
inline constexpr std::string_view CharacterTokens[][3] = {
    {"あ", "\x82\xA0", "\xA4\xA2"},
    {"ア", "\x83\x41", "\xA5\xA2"},
    {"ｱ", "\xB1", "\x8E\xB1"},       // half-width katakana
    {"ﾞ", "\xDE", "\x8E\xDE"},       // half-width voiced mark
    {"１", "\x82\x50", "\xA3\xB1"},  // full-width digits
    {"９９", "\x82\x58\x82\x58", "\xA3\xB9\xA3\xB9"},
    {"\u3000", "\x81\x40", "\xA1\xA1"},  // ideographic space
    {"ソ", "\x83\x5C", "\xA5\xBD"},      // in Shift_JIS ends in the byte of "\"
    {"表", "\x95\x5C", "\xC9\xBD"},
    {"漢", "\x8A\xBF", "\xB4\xC1"},
    {"－", "\x81\x7C", "\xA1\xDD"},                     // full-width minus
    {"é", "\x81\x60", "\x8F\xAB\xB1"},                  // three bytes in EUC-JP
    {"\xF0\xA0\xAE\xB7", "\x81\x5C", "\x8F\xA2\xB7"}};  // outside the BMP in UTF-8

// The text the tokens picked by Data spell in Form (0 UTF-8, 1 Shift_JIS, 2 EUC-JP). Past the
// tokens a pick copies an earlier line (its break included) chosen by the next byte, or, when
// Raw, takes the next byte as it is.
inline std::string Spell(const uint8_t* Data, size_t Size, size_t Form, bool Raw) {
  constexpr size_t Tokens = std::size(AsciiTokens) + std::size(CharacterTokens);
  std::string Bytes;
  std::vector<size_t> LineEnds{0};
  for (size_t I = 0; I < Size; ++I) {
    const size_t Pick = Data[I] % (Tokens + 2);
    if (Pick == Tokens && I + 1 < Size && LineEnds.size() > 1) {
      const size_t Line = Data[++I] % (LineEnds.size() - 1);
      Bytes += Bytes.substr(LineEnds[Line], LineEnds[Line + 1] - LineEnds[Line]);
    } else if (Pick == Tokens + 1 && Raw && I + 1 < Size) {
      Bytes += static_cast<char>(Data[++I]);
    } else if (Pick % Tokens < std::size(AsciiTokens)) {
      Bytes += AsciiTokens[Pick % Tokens];
    } else {
      Bytes += CharacterTokens[Pick % Tokens - std::size(AsciiTokens)][Form];
    }
    if (!Bytes.empty() && (Bytes.back() == '\n' || Bytes.back() == '\r')) {
      LineEnds.push_back(Bytes.size());
    }
  }
  return Bytes;
}

// The encodings under test, with the form the tokens are spelled in; "" is the tool's default.
struct TEncodingChoice {
  const char* Name;
  size_t Form;
};
inline constexpr TEncodingChoice Encodings[] = {
    {"UTF-8", 0}, {"", 0}, {"Shift_JIS", 1}, {"windows-31j", 1}, {"EUC-JP", 2}};

// Sets the thread count (1 to 4) and pins the collation the sorts use from Byte's low four
// bits; the collator is opened again only when the collation changes.
inline void ChooseThreadsAndCollation(uint8_t Byte) {
  static constexpr const char* Collations[] = {"ja", "en", "root", "C"};
  static const char* Pinned = nullptr;
  Parallel::SetThreadCount(1 + Byte % 4);
  const char* Collation = Collations[Byte / 4 % std::size(Collations)];
  if (Collation != Pinned) standin::SetCollationLocale(Collation);
  Pinned = Collation;
}

inline std::u16string Widen(std::string_view Ascii) { return {Ascii.begin(), Ascii.end()}; }

// The bodies the highlight pattern's alternatives match, read as the editor's regular
// expressions read them: "^\Q" body "\E$" each, joined by "|", a quote ending at its first
// "\E"; a body's own "\E" is written "\E\\E\Q".
inline std::vector<std::u16string> PatternBodies(std::u16string_view Pattern) {
  std::vector<std::u16string> Bodies;
  for (size_t At = 0; At < Pattern.size();) {
    FUZZ_CHECK(Pattern.substr(At, 3) == u"^\\Q");
    At += 3;
    std::u16string& Body = Bodies.emplace_back();
    for (;;) {
      const size_t End = Pattern.find(u"\\E", At);
      FUZZ_CHECK(End != std::u16string_view::npos);
      Body += Pattern.substr(At, End - At);
      At = End + 2;
      if (Pattern.substr(At, 5) != u"\\\\E\\Q") break;
      Body += u"\\E";
      At += 5;
    }
    FUZZ_CHECK(Pattern.substr(At, 1) == u"$");
    ++At;
    if (At < Pattern.size()) {
      FUZZ_CHECK(Pattern[At] == u'|' && At + 1 < Pattern.size());
      ++At;
    }
  }
  return Bodies;
}

// Text with every line that the reference's highlight pattern matches marked.
inline std::u16string MarkedByPattern(const std::u16string& Text, const Operations::TMarks& Marks) {
  const std::vector<std::u16string> Bodies =
      PatternBodies(DuplicationReference::DuplicationHighlightPattern(Text));
  StringRecordList::TCommonStringRecordList Lines;
  Lines.SetText(Text);
  std::u16string Out;
  for (int32_t I = 0; I < Lines.Count(); ++I) {
    const std::u16string Line = Lines.GetItem(I);
    const std::u16string Body = StringUnit::WithoutLineBreak(Line);
    const bool Marked = std::find(Bodies.begin(), Bodies.end(), Body) != Bodies.end();
    Out += Marked ? Widen(Marks.Open) + Body + Widen(Marks.Close) : Widen(Marks.Plain) + Body;
    Out += Line.substr(Body.size());
  }
  return Out;
}

// What operation Id (highlight marking with Marks, when given) gives by the references.
inline std::u16string Reference(uint8_t Id, const Operations::TMarks* Marks,
                                const std::u16string& Text) {
  switch (Id) {
    case 10:
      return DuplicationReference::DuplicationDelete(Text);
    case 11:
      return DuplicationReference::DuplicationDeleteCountDown(Text);
    case 12:
      return Marks ? MarkedByPattern(Text, *Marks)
                   : DuplicationReference::DuplicationHighlightPattern(Text);
    default:
      return PlainSort::Sort(Text, Id);
  }
}

// The plug-in's command (the tool's marking, with Marks) on Text must give Expected; a sort
// is handed a copy of the text to give up when GiveUp.
inline void CheckOnText(uint8_t Id, const Operations::TMarks* Marks, const std::u16string& Text,
                        const std::u16string& Expected, bool GiveUp) {
  std::u16string Got;
  switch (Id) {
    case 10:
      Got = Tarnwick::DuplicationDelete(Text);
      break;
    case 11:
      Got = Tarnwick::DuplicationDeleteCountDown(Text);
      break;
    case 12:
      Got = Marks ? Marking::MarkText(Text, Widen(Marks->Open), Widen(Marks->Close),
                                      Widen(Marks->Plain))
                  : Tarnwick::DuplicationHighlightPattern(Text);
      break;
    default:
      Got = GiveUp ? Tarnwick::Sort(std::u16string(Text), Id) : Tarnwick::Sort(Text, Id);
  }
  FUZZ_CHECK(Got == Expected);
}

// The tool on Input in the encoding named Name, as Operations::RunOnFile runs it: the path on the
// bytes, where one takes the input, must write the reference's result on the decoded text,
// encoded; input the tool refuses must be left untouched to the common path, whose command on
// the decoded text must give the reference's result. The converter works in pieces of
// ConverterPiece units (Codec::Backend::SetPieceSize); the reference decodes and encodes in
// the default pieces.
inline void CheckTool(const Operations::TOperation& Operation, const Operations::TMarks* Marks,
                      const std::string& Input, const char* Name, size_t ConverterPiece,
                      bool GiveUp) {
  const Codec::TEncoding Encoding = Codec::Resolve(Name);
  Codec::TEncoding Read = Encoding;
  std::optional<std::u16string> Text;
  std::u16string Expected;
  std::string Written;
  bool Encodes = true;
  Codec::Backend::SetPieceSize(0);
  try {
    Text = Codec::Decode(Input, Read);
    Expected = Reference(Operation.Id, Marks, *Text);
    // The pattern is written as a line of its own, without a byte-order mark.
    Codec::TEncoding Write = Read;
    if (Operation.Id == 12 && !Marks) Write.Bom = false;
    Written = Codec::Encode(Operation.Id == 12 && !Marks ? Expected + u"\n" : Expected, Write);
  } catch (const Codec::EInvalidInput&) {
  } catch (const Codec::EUnencodable&) {
    Encodes = false;
  }
  Codec::Backend::SetPieceSize(ConverterPiece);

  std::string Bytes = Input;
  const bool OnBytes = Operations::SortOnBytes(Operation, Encoding, Bytes) ||
                       Operations::RunOnBytes(Operation, Encoding, Bytes, Marks);
  if (!Text) {
    FUZZ_CHECK(!OnBytes && Bytes == Input);
    return;
  }
  // Valid UTF-8, and legacy text that is written back as itself (which Decode requires), have
  // a path on the bytes for every operation but the pattern in a legacy encoding.
  const bool Fast = Read.Family == Codec::TFamily::fmUtf8 ||
                    (Read.Family == Codec::TFamily::fmOther && (Operation.Id != 12 || Marks));
  FUZZ_CHECK(OnBytes == Fast);
  if (OnBytes) {
    FUZZ_CHECK(Encodes && Bytes == Written);
  } else {
    FUZZ_CHECK(Bytes == Input);
  }
  CheckOnText(Operation.Id, Marks, *Text, Expected, GiveUp);
}

}  // namespace fuzz
