// The tool's encodings: what goes in comes out byte for byte, and bad bytes or unmappable
// characters are reported with their position.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli/Codec.h"
#include "cli/CodecUnicode.h"
#include "strings/Utf8.h"
#include "support/ScanForms.h"
#include "support/TestText.h"

namespace {

struct RoundTripCase {
  const char* Label;
  const char* Name;  // as the user gives it; "" = unnamed
  std::string Bytes;
  std::u16string Text;
  bool Bom;
};

class CodecRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(CodecRoundTrip, DecodesAndWritesBackTheSameBytes) {
  const RoundTripCase& c = GetParam();
  Codec::TEncoding encoding = Codec::Resolve(c.Name);
  EXPECT_EQ(Codec::Decode(c.Bytes, encoding), c.Text);
  EXPECT_EQ(encoding.Bom, c.Bom);
  EXPECT_EQ(Codec::Encode(c.Text, encoding), c.Bytes);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Encodings, CodecRoundTrip,
    testing::Values(
        RoundTripCase{"Utf8Default", "", "a\r\nb\rc\n\xE6\x97\xA5", u"a\r\nb\rc\n日", false},
        RoundTripCase{"Utf8KeepsNul", "", "a\0b\n"s, u"a\0b\n"s, false},
        RoundTripCase{"Utf8Supplementary", "", "\xF0\x9F\x98\x80", u"😀", false},
        RoundTripCase{"Utf8Bom", "", "\xEF\xBB\xBFx\n", u"x\n", true},
        RoundTripCase{"Utf8NamedBom", "UTF-8", "\xEF\xBB\xBFx", u"x", true},
        RoundTripCase{"Utf16LEBom", "", "\xFF\xFE\x42\x30\n\0"s, u"あ\n", true},
        RoundTripCase{"Utf16BEBom", "", "\xFE\xFF\x30\x42\0\r"s, u"あ\r", true},
        RoundTripCase{"Utf16LENamed", "UTF-16LE", "a\0\0\0"s, u"a\0"s, false},
        RoundTripCase{"Utf16BENamed", "UTF-16BE", "\xD8\x3D\xDE\x00"s, u"😀", false},
        RoundTripCase{"Utf16GenericLEBom", "UTF-16", "\xFF\xFEz\0"s, u"z", true},
        RoundTripCase{"ShiftJis", "Shift_JIS", "\x82\xA0\x82\x50\r\n\xB1", u"あ１\r\nｱ", false},
        RoundTripCase{"Windows31j", "windows-31j", "\x87\x40\n", u"①\n", false},
        RoundTripCase{"EucJp", "EUC-JP", "\xA4\xA2\xA3\xB1\n\x8E\xB1", u"あ１\nｱ", false},
        RoundTripCase{"Empty", "", "", u"", false}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.Label; });

// Windows names the encoding by its code page.
#ifdef _WIN32
constexpr const char* kIso2022Jp = "cp50220";
#else
constexpr const char* kIso2022Jp = "ISO-2022-JP";
#endif

struct InvalidCase {
  const char* Label;
  const char* Name;
  std::string Bytes;
  size_t Offset;
  const char* Says = "";  // what the message must say besides the offset
};

class CodecInvalidInput : public testing::TestWithParam<InvalidCase> {};

TEST_P(CodecInvalidInput, NamesTheOffsetOfTheFirstBadByte) {
  const InvalidCase& c = GetParam();
  Codec::TEncoding encoding;
  try {
    encoding = Codec::Resolve(c.Name);
  } catch (const Codec::EUnknownEncoding&) {
    GTEST_SKIP() << "this system has no " << c.Name << " (Wine lacks code page 50220)";
  }
  try {
    Codec::Decode(c.Bytes, encoding);
    FAIL() << "decoded invalid input";
  } catch (const Codec::EInvalidInput& e) {
    EXPECT_EQ(e.Offset, c.Offset);
    const std::string message = e.what();
    EXPECT_NE(message.find("byte offset " + std::to_string(c.Offset)), std::string::npos)
        << message;
    EXPECT_NE(message.find(c.Says), std::string::npos) << message;
    // Advice to give an encoding never names the one the input was read in.
    EXPECT_EQ(message.find("--encoding " + encoding.Name), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CodecInvalidInput,
    testing::Values(InvalidCase{"Utf8StrayByte", "", "abc\xFF\n", 3},
                    InvalidCase{"Utf8Overlong", "", "ab\xC0\x80", 2},
                    InvalidCase{"Utf8Surrogate", "", "a\xED\xA0\x80", 1},
                    InvalidCase{"Utf8Truncated", "", "\xE3\x81\x82\xE3\x81", 3},
                    InvalidCase{"Utf8AfterBomCountsTheBom", "", "\xEF\xBB\xBF\x80", 3},
                    InvalidCase{"Utf16LEOddLength", "UTF-16LE", "a\0b"s, 2, "half a character"},
                    InvalidCase{"Utf16ByItsMarkOddLength", "",
                                "\xFF\xFE"
                                "a\0\n\0b"s,
                                6, "ends in half a character at line 2"},
                    InvalidCase{"Utf16LELoneSurrogate", "",
                                "\xFF\xFE"
                                "a\0\x00\xDC"s,
                                4},
                    InvalidCase{"ShiftJisBadTrailByte", "Shift_JIS", "ok\n\x82\n", 3},
                    InvalidCase{"EucJpBadByte", "EUC-JP", "\xA4\xA2\xFF", 2},
                    InvalidCase{"Windows31jWithoutAWayBack", "windows-31j", "ab\n\xED\x40\n", 3},
                    InvalidCase{"ShiftJisEndsInALeadByte", "Shift_JIS", "ab\n\x82", 3,
                                "ends in an unfinished character"},
                    InvalidCase{"Iso2022JpEndsInJisX0208", kIso2022Jp, "a\n\x1B$B%L", 2,
                                "escape sequence at line 2, byte offset 2 (0x1B 0x24 0x42) "
                                "without switching back (0x1B 0x28 0x42)"},
                    InvalidCase{"Iso2022JpEndsInHalfACharacter", kIso2022Jp, "a\n\x1B$B%", 5,
                                "ends in an unfinished character"},
                    InvalidCase{"Iso2022JpEndsInAnEscapeSequence", kIso2022Jp, "a\n\x1B$", 2,
                                "ends in an unfinished escape sequence"}),
    [](const testing::TestParamInfo<InvalidCase>& info) { return info.param.Label; });

TEST(CodecUnencodable, NamesTheCharacterAndItsLine) {
  Codec::TEncoding encoding = Codec::Resolve("Shift_JIS");
  try {
    Codec::Encode(u"あ\r\nb😀", encoding);
    FAIL() << "encoded an unmappable character";
  } catch (const Codec::EUnencodable& e) {
    EXPECT_EQ(e.Index, 4u);
    EXPECT_NE(std::string(e.what()).find("U+1F600 (line 2)"), std::string::npos) << e.what();
  }
}

TEST(CodecUnencodable, RejectsAnUnpairedSurrogateInUtf8AndUtf16) {
  const std::u16string text = u"ab\xD800";
  for (const char* name : {"UTF-8", "UTF-16LE"}) {
    const Codec::TEncoding encoding = Codec::Resolve(name);
    EXPECT_THROW(Codec::Encode(text, encoding), Codec::EUnencodable) << name;
  }
}

TEST(CodecResolve, RejectsAnUnknownName) {
  EXPECT_THROW(Codec::Resolve("no-such-encoding"), Codec::EUnknownEncoding);
}

}  // namespace

namespace {

// Random texts from mostly-ASCII to mostly-Japanese, with ASCII gaps short and long, so that
// both the in-place ASCII path and the pieces handed to the platform are exercised.
TEST(CodecUtf8, MatchesAPlainConverterAndTheCoreDecoderOnRandomMixedTexts) {
  ForEachScanForm([] {
    std::mt19937 random(7);
    const std::u16string pieces[] = {u"a", u"line of plain ascii text\n", u"\r\n", u"日本語", u"ｱｲ",
                                     u"é", u"😀", u"x y z 0123456789 abcdefghij",
                                     // The first and last code point of each sequence length.
                                     u"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF"};
    for (int round = 0; round < 400; ++round) {
      std::u16string text;
      const int asciiWeight = random() % 11;  // in tenths; 10 makes pure ASCII
      const int count = random() % 300;
      for (int i = 0; i < count; ++i) {
        const bool ascii = static_cast<int>(random() % 10) < asciiWeight;
        text += ascii ? pieces[(random() % 2) ? 1 : 7] : pieces[random() % std::size(pieces)];
      }
      const std::string bytes = TestText::ToUtf8(text);
      Codec::TEncoding encoding = Codec::Resolve("");
      ASSERT_EQ(Codec::Decode(bytes, encoding), text) << "round " << round;
      // The core's unchecked decoder of checked text gives what the codec gives.
      std::u16string fast(bytes.size(), u'\0');
      fast.resize(Utf8::DecodeWellFormed(bytes, fast.data()));
      ASSERT_EQ(fast, text) << "round " << round;
      ASSERT_EQ(Codec::Encode(text, encoding), bytes) << "round " << round;

      // A stray byte anywhere is reported at its own offset.
      if (bytes.empty()) continue;
      size_t at = random() % bytes.size();
      while (at > 0 && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) --at;
      std::string broken = bytes;
      broken.insert(at, 1, '\xFF');
      Codec::TEncoding again = Codec::Resolve("");
      try {
        Codec::Decode(broken, again);
        FAIL() << "round " << round;
      } catch (const Codec::EInvalidInput& e) {
        ASSERT_EQ(e.Offset, at) << "round " << round;
      }
    }
  });
}

}  // namespace

#include "cli/CodecBackend.h"

namespace {

// Lines of ASCII text with one non-ASCII character in about fifty lines (a unit, a full-width
// digit, a multiplication sign): the text on which a conversion that redoes work for the rest of
// the text at every non-ASCII character shows.
std::u16string MostlyAsciiText(size_t Lines) {
  const std::u16string rare[] = {u"°C", u"５", u"×"};
  std::u16string text;
  for (size_t i = 0; i < Lines; ++i) {
    text += u"line " + std::u16string(i % 7 + 10, u'a' + i % 26) + u" of the log";
    if (i % 50 == 17) text += rare[i % 3];
    text += u"\n";
  }
  return text;
}

// Counts the conversions' work while it lives.
class TCounting {
 public:
  explicit TCounting(Codec::TWork& Work) { Codec::CountWork(&Work); }
  ~TCounting() { Codec::CountWork(nullptr); }
};

// The room made and the converter calls stay proportional to the text: at most a few units of
// room per unit of input and output, and ten times the lines cost at most about ten times the
// work. Counting rather than timing keeps this exact on a busy machine.
TEST(CodecWork, EncodingAndDecodingAreLinearInTheText) {
  for (const char* name : {"UTF-8", "UTF-16LE", "Shift_JIS", "EUC-JP"}) {
    Codec::TWork small[2], large[2];
    for (size_t lines : {2000u, 20000u}) {
      const std::u16string text = MostlyAsciiText(lines);
      Codec::TWork encodeWork, decodeWork;
      Codec::TEncoding encoding = Codec::Resolve(name);
      std::string bytes;
      std::u16string back;
      {
        TCounting counting(encodeWork);
        bytes = Codec::Encode(text, encoding);
      }
      {
        TCounting counting(decodeWork);
        back = Codec::Decode(bytes, encoding);
      }
      ASSERT_EQ(back, text) << name;
      const size_t bound = 4 * (text.size() + bytes.size()) + 256;
      EXPECT_LE(encodeWork.Room, bound) << name << ", " << lines << " lines";
      EXPECT_LE(decodeWork.Room, bound) << name << ", " << lines << " lines";
      EXPECT_LE(encodeWork.Calls + decodeWork.Calls, 8 + text.size() / 16) << name;
      (lines == 2000 ? small : large)[0] = encodeWork;
      (lines == 2000 ? small : large)[1] = decodeWork;
    }
    for (int k = 0; k < 2; ++k) {
      EXPECT_LE(large[k].Room, 11 * small[k].Room + 256) << name << (k ? " decode" : " encode");
      EXPECT_LE(large[k].Calls, 11 * small[k].Calls + 8) << name << (k ? " decode" : " encode");
    }
  }
}

// Texts longer than one converter call are cut into pieces; the cuts fall inside characters
// (multi-byte sequences, surrogate pairs) and must neither change the result nor move the
// position an error is reported at.
TEST(CodecPieces, PiecesGiveTheSameBytesAndErrorPositionsAsOneCall) {
  std::mt19937 random(11);
  const std::u16string pieces[] = {u"a", u"\r\n", u"日本語", u"ｱ", u"１２", u"abc def", u"😀"};
  for (size_t piece : {4u, 5u, 7u, 64u}) {
    Codec::Backend::SetPieceSize(piece);
    for (int round = 0; round < 60; ++round) {
      std::u16string text;
      for (int i = random() % 80; i > 0; --i) text += pieces[random() % std::size(pieces)];
      for (const char* name : {"UTF-8", "Shift_JIS", "EUC-JP"}) {
        std::u16string sample = text;
        if (std::string(name) != "UTF-8")  // no supplementary characters there
          std::erase(sample, u'\xD83D'), std::erase(sample, u'\xDE00');
        Codec::TEncoding encoding = Codec::Resolve(name);
        const std::string bytes = Codec::Encode(sample, encoding);
        ASSERT_EQ(Codec::Decode(bytes, encoding), sample) << name << " piece " << piece;
        // An invalid byte after the text is found where it is.
        Codec::TEncoding again = Codec::Resolve(name);
        try {
          Codec::Decode(bytes + "\xFF", again);
          ADD_FAILURE() << name << " decoded 0xFF";
        } catch (const Codec::EInvalidInput& e) {
          EXPECT_EQ(e.Offset, bytes.size()) << name << " piece " << piece;
        }
      }
    }
  }
  Codec::Backend::SetPieceSize(0);
}

// The check of valid UTF-8 passes over ASCII a block at a time: an ill-formed sequence right
// after any length of ASCII, and a sequence cut by the end, are found at their first byte.
TEST(CodecUtf8, FindsTheFirstIllFormedSequenceAfterAnyRunOfAscii) {
  ForEachScanForm([] {
    const char* const broken[] = {"\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                  "\xFF", "\xE3\x81"};
    for (size_t ascii = 0; ascii < 70; ++ascii) {
      const std::string before(ascii, 'a');
      EXPECT_EQ(Utf8::FirstInvalid(before), std::string_view::npos);
      EXPECT_EQ(Utf8::FirstInvalid(before + "\xE3\x81\x82" + before), std::string_view::npos);
      for (const char* bad : broken) {
        EXPECT_EQ(Utf8::FirstInvalid(before + bad + before), ascii) << ascii;
        EXPECT_EQ(Utf8::FirstInvalid("\xC3\xA9" + before + bad), ascii + 2) << ascii;
        EXPECT_EQ(Utf8::FirstInvalid("\xE3\x81\x82" + before + "\xE3\x81\x82" + bad), ascii + 6)
            << ascii;
      }
    }
  });
}

}  // namespace
