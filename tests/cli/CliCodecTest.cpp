// The tool's encodings: what goes in comes out byte for byte, and bad bytes or unmappable
// characters are reported with their position.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli/Codec.h"

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

struct InvalidCase {
  const char* Label;
  const char* Name;
  std::string Bytes;
  size_t Offset;
};

class CodecInvalidInput : public testing::TestWithParam<InvalidCase> {};

TEST_P(CodecInvalidInput, NamesTheOffsetOfTheFirstBadByte) {
  const InvalidCase& c = GetParam();
  Codec::TEncoding encoding = Codec::Resolve(c.Name);
  try {
    Codec::Decode(c.Bytes, encoding);
    FAIL() << "decoded invalid input";
  } catch (const Codec::EInvalidInput& e) {
    EXPECT_EQ(e.Offset, c.Offset);
    EXPECT_NE(std::string(e.what()).find("byte offset " + std::to_string(c.Offset)),
              std::string::npos)
        << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CodecInvalidInput,
    testing::Values(InvalidCase{"Utf8StrayByte", "", "abc\xFF\n", 3},
                    InvalidCase{"Utf8Overlong", "", "ab\xC0\x80", 2},
                    InvalidCase{"Utf8Surrogate", "", "a\xED\xA0\x80", 1},
                    InvalidCase{"Utf8Truncated", "", "\xE3\x81\x82\xE3\x81", 3},
                    InvalidCase{"Utf8AfterBomCountsTheBom", "", "\xEF\xBB\xBF\x80", 3},
                    InvalidCase{"Utf16LEOddLength", "UTF-16LE", "a\0b"s, 2},
                    InvalidCase{"Utf16LELoneSurrogate", "",
                                "\xFF\xFE"
                                "a\0\x00\xDC"s,
                                4},
                    InvalidCase{"ShiftJisBadTrailByte", "Shift_JIS", "ok\n\x82\n", 3},
                    InvalidCase{"EucJpBadByte", "EUC-JP", "\xA4\xA2\xFF", 2},
                    InvalidCase{"Windows31jWithoutAWayBack", "windows-31j", "ab\n\xED\x40\n", 3}),
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

// Plain UTF-16 to UTF-8, one code point at a time: the reference for the converter's runs.
std::string ReferenceUtf8(const std::u16string& Text) {
  std::string out;
  for (size_t i = 0; i < Text.size(); ++i) {
    uint32_t cp = Text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) cp = 0x10000 + ((cp - 0xD800) << 10) + (Text[++i] - 0xDC00);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// Random texts from mostly-ASCII to mostly-Japanese, with ASCII gaps short and long, so that
// both the in-place ASCII path and the pieces handed to the platform are exercised.
TEST(CodecUtf8, MatchesAPlainConverterOnRandomMixedTexts) {
  std::mt19937 random(7);
  const std::u16string pieces[] = {
      u"a", u"line of plain ascii text\n", u"\r\n", u"日本語", u"ｱｲ", u"é",
      u"😀", u"x y z 0123456789 abcdefghij"};
  for (int round = 0; round < 400; ++round) {
    std::u16string text;
    const int asciiWeight = random() % 11;  // in tenths; 10 makes pure ASCII
    const int count = random() % 300;
    for (int i = 0; i < count; ++i) {
      const bool ascii = static_cast<int>(random() % 10) < asciiWeight;
      text += ascii ? pieces[(random() % 2) ? 1 : 7] : pieces[random() % std::size(pieces)];
    }
    const std::string bytes = ReferenceUtf8(text);
    Codec::TEncoding encoding = Codec::Resolve("");
    ASSERT_EQ(Codec::Decode(bytes, encoding), text) << "round " << round;
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
}

}  // namespace
