// The operations with -k, -t and the folds against the plain references: split each line's field
// and fold it, then
// the list's comparator sort of the keys or the line-by-line duplicate scans. The tool's path
// on UTF-8 bytes, its common path and the keyed sort's fallback (the list) all give their bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cli/Codec.h"
#include "cli/CodecUnicode.h"
#include "cli/KeyedLines.h"
#include "cli/Marking.h"
#include "cli/Operations.h"
#include "commands/DuplicationLineTable.h"
#include "platform/Win32.h"
#include "reference/DuplicationReference.h"
#include "reference/PlainSort.h"
#include "sorting/LineTies.h"
#include "strings/StringUnit.h"
#include "strings/Utf8.h"
#include "support/PinnedCollation.h"
#include "support/RunSort.h"
#ifndef _WIN32
#include "platform/linux/Nls.h"
#endif

namespace {

using LineKey::TKeyRule;

// Field N of Body split the plain way: at every Separator (its one or two code units), or into
// the words between blanks.
std::u16string PlainField(std::u16string_view Body, const TKeyRule& Rule) {
  std::u16string Separator;
  if (Rule.Separator && *Rule.Separator > 0xFFFF) {
    const char32_t Above = *Rule.Separator - 0x10000;
    Separator = {static_cast<char16_t>(0xD800 + (Above >> 10)),
                 static_cast<char16_t>(0xDC00 + (Above & 0x3FF))};
  } else if (Rule.Separator) {
    Separator = static_cast<char16_t>(*Rule.Separator);
  }
  std::vector<std::u16string> Fields(1);
  for (size_t I = 0; I < Body.size(); ++I) {
    const bool Splits =
        Rule.Separator ? Body.substr(I).starts_with(Separator) : LineKey::IsBlank(Body[I]);
    if (!Splits) {
      Fields.back() += Body[I];
    } else if (Rule.Separator || !Fields.back().empty()) {
      Fields.emplace_back();
      I += Separator.size() - (Rule.Separator ? 1 : 0);
    }
  }
  if (!Rule.Separator && Fields.back().empty()) Fields.pop_back();
  return Rule.Field <= Fields.size() ? Fields[Rule.Field - 1] : std::u16string();
}

// Lines of a few fields from a small pool (numbers, kana, half-width katakana with and without
// voiced marks, full-width letters, mixed case, pairs with a lowercase, empty fields, names with
// numbers), joined by commas or runs of blanks, with all three breaks and often no final break,
// so that keys repeat and lines with equal keys differ.
std::u16string RandomText(std::mt19937& Rng, size_t MostLines = 12) {
  static const std::u16string Values[] = {
      u"", u"a", u"B", u"10", u"9", u"-3", u"あ", u"ア", u"ｱ", u"Ａ", u"x y", u"第2章", u"A", u"ｶﾞ",
      u"ガ", u"が", u"ｂ", u"１０", u"x\\Ey", u"Hello", u"hELLO", u"ＨｅＬｌｏ", u"ﾊﾟﾝ", u"パン",
      u"ぱん", u"ｳﾞ", u"ﾞ", u"か\x3099", u"𐐀", u"𐐨", u"ÀÉ", u"àé", u"\x2603", u"😀", u"x😀😀y", u"😁",
      u"file2", u"file02", u"file10", u"第10章", u"img3.png", u"img12.png",
      // Keys longer than the room first asked for them, where digits compare as numbers.
      u"㍿㍿㍿㍿㍿㍿㍿㍿㍿㍿10", u"㍿㍿㍿㍿㍿㍿㍿㍿㍿㍿9"};
  static const std::u16string Joins[] = {u",", u" ", u"  ", u"\t", u"\x3000", u", ", u"😀"};
  static const std::u16string Breaks[] = {u"\n", u"\r\n", u"\r", u"\n"};
  std::u16string Text;
  for (size_t Lines = Rng() % MostLines; Lines > 0; --Lines) {
    if (Rng() % 4 == 0) Text += Joins[Rng() % std::size(Joins)];
    for (size_t Fields = Rng() % 4; Fields > 0; --Fields) {
      Text += Values[Rng() % std::size(Values)];
      if (Fields > 1) Text += Joins[Rng() % std::size(Joins)];
    }
    Text += Breaks[Rng() % std::size(Breaks)];
  }
  if (Rng() % 3 == 0) Text += Values[1 + Rng() % (std::size(Values) - 1)];
  return Text;
}

// Every key gets the same hash: the duplicate commands then tell keys apart by their bytes alone.
uint32_t SameHash(const void*, size_t) { return 0x9E3779B9; }

std::string Utf8(const std::u16string& Text) {
  std::string Bytes;
  Codec::Unicode::EncodeUtf8(Text, Bytes);
  return Bytes;
}

// dedupe (plain, --only-unique, --only-repeated) and count with Choices' key on Text, on the
// bytes of UTF-8 and on UTF-16 as other encodings are run, against Reference.
void ExpectDuplicateCommands(const std::u16string& Text, Operations::TChoices Choices,
                             const DuplicationReference::TKeyedReference& Reference) {
  const Codec::TEncoding Encoding = Codec::Resolve("");
  const Operations::TOperation& Dedupe = *Operations::FindByName("dedupe");
  for (const char* Only : {static_cast<const char*>(nullptr), "once", "repeated"}) {
    Choices.Only.reset();
    if (Only != nullptr) {
      Choices.Only = std::string(Only) == "once" ? Tarnwick::ocOnce : Tarnwick::ocRepeated;
    }
    ASSERT_EQ(Operations::RunOnFile(Dedupe, Encoding, Utf8(Text), nullptr, Choices),
              Utf8(Reference.Dedupe(Only)));
    ASSERT_TRUE(Operations::Run(Dedupe, std::u16string(Text), Choices) == Reference.Dedupe(Only));
  }
  Choices.Only.reset();
  const Operations::TOperation& Count = *Operations::FindByName("count");
  ASSERT_EQ(Operations::RunOnFile(Count, Encoding, Utf8(Text), nullptr, Choices),
            Utf8(Reference.Count()));
  ASSERT_TRUE(Operations::Run(Count, std::u16string(Text), Choices) == Reference.Count());
}

TEST(KeyedOperations, GiveThePlainReferencesBytesOnEveryPath) {
  const TPinnedCollation Pinned("ja");
  std::mt19937 Rng(721);
  const Codec::TEncoding Encoding = Codec::Resolve("");
  for (int Round = 0; Round < 1500; ++Round) {
    // A round in eight of many lines, whose keys tie in long runs.
    const std::u16string Text = RandomText(Rng, Round % 8 == 0 ? 90 : 12);
    Operations::TChoices Choices;
    Choices.Key.Field = 1 + Rng() % 3;
    // A comma, or a separator beyond U+FFFF (😁 shares its high half).
    if (Rng() % 2 == 0) Choices.Key.Separator = Rng() % 3 == 0 ? U'\U0001F600' : U',';
    // Half the rounds fold, some of them the whole line.
    if (Rng() % 2 == 0) Choices.Key.Fold = 1 + Rng() % 7;
    if (Choices.Key.Fold != 0 && Rng() % 3 == 0) Choices.Key.Field = 0;
    // Lines of equal keys: mostly by their whole lines, else in input order (--stable), now and
    // then where the quicksort leaves them (the sorts' own tie order, which the tool does not use
    // with a key). A round in three compares digits as numbers (--natural), some of them
    // without a key.
    const uint32_t Tie = Rng() % 8;
    Choices.Ties = Tie < 5   ? LineTies::tiWholeLine
                   : Tie < 7 ? LineTies::tiInputOrder
                             : LineTies::tiAsSorted;
    const bool Natural = Round % 3 == 0;
    if (Natural && Rng() % 4 == 0 && Choices.Ties != LineTies::tiAsSorted) Choices.Key = {};
    StringUnit::SetCollationFlags(Natural ? SORT_DIGITSASNUMBERS : 0);
    const TKeyRule& Rule = Choices.Key;
    const auto KeyOf = [&Rule](std::u16string_view Body) {
      std::u16string Key;
      LineKey::FoldedPlainly(Rule.Field == 0 ? std::u16string(Body) : PlainField(Body, Rule),
                             Rule.Fold, Key);
      return Key;
    };
    SCOPED_TRACE(testing::Message()
                 << "round " << Round << " -k " << Rule.Field << " -t "
                 << (Rule.Separator ? uint32_t{*Rule.Separator} : 0u) << " fold " << Rule.Fold
                 << " ties " << static_cast<int>(Choices.Ties) << (Natural ? " --natural" : ""));
    // The length sorts measure the field before it is folded.
    const auto FieldOf = [&Rule](std::u16string_view Body) {
      return Rule.Field == 0 ? std::u16string(Body) : PlainField(Body, Rule);
    };
#ifndef _WIN32
    // A round in four where the platform gives no collation key for a key with a snowman: the
    // keyed sorts then leave the text to the list.
    standin::FailSortKeysOn(Round % 4 == 0 ? u'\x2603' : 0);
#endif
    for (uint8_t Id = 1; Id <= 8; ++Id) {
      const std::u16string Expected = PlainSort::SortByKeys(Text, Id, KeyOf, FieldOf, Choices.Ties);
      const Operations::TOperation& Operation = *Operations::FindById(Id);
      ASSERT_EQ(Operations::RunOnFile(Operation, Encoding, Utf8(Text), nullptr, Choices),
                Utf8(Expected))
          << Operation.Name;
      ASSERT_EQ(Operations::Run(Operation, std::u16string(Text), Choices), Expected)
          << Operation.Name;
      ASSERT_TRUE(KeyedLines::SortWithList(Text, *Tarnwick::SortCommandOf(Id), Rule,
                                           Choices.Ties) == Expected)
          << Operation.Name;
    }
#ifndef _WIN32
    standin::FailSortKeysOn(0);
#endif
    StringUnit::SetCollationFlags(0);
    // The duplicate operations have no ties to order, and no --natural.
    if (!Rule.Active()) continue;
    const DuplicationReference::TKeyedReference Reference(Text, KeyOf);
    // A round in five with every key's hash the same.
    DuplicationLineTable::SetHashForTests(Round % 5 == 0 ? SameHash : nullptr);
    ASSERT_NO_FATAL_FAILURE(ExpectDuplicateCommands(Text, Choices, Reference));
    const Operations::TOperation& Dedupe = *Operations::FindByName("dedupe");
    const Operations::TOperation& Count = *Operations::FindByName("count");
    ASSERT_EQ(KeyedLines::Marked(Text, Rule), Reference.Marked());
    // highlight --mark through the tool's operation marks the reference's lines.
    const Operations::TMarks Marks{"* ", "", "  "};
    ASSERT_EQ(Operations::RunOnFile(*Operations::FindByName("highlight"), Encoding, Utf8(Text),
                                    &Marks, Choices),
              Utf8(Marking::MarkText(Text, Reference.Marked(), u"* ", u"", u"  ")));
    ASSERT_EQ(Operations::RunOnFile(*Operations::FindByName("highlight"), Encoding, Utf8(Text),
                                    nullptr, Choices),
              Utf8(Reference.Pattern()) + "\n");
    DuplicationLineTable::SetHashForTests(nullptr);
    // Bytes that are not well-formed UTF-8 anywhere in the text are left untouched to the
    // common path, which names the fault.
    static const std::string Malformed[] = {
        "\xFF",         "\x80",         "\xC0\xAF",         "\xE3\x81",
        "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3"};
    std::vector<std::string> Bad{Utf8(Text)};
    Bad[0].insert(Rng() % (Bad[0].size() + 1), Malformed[Rng() % std::size(Malformed)]);
    // Where the whole line is the key, its ASCII is keyed eight bytes at a time: a malformed
    // sequence at every offset of those words in a long run, from the line's start and after
    // a character beyond ASCII (ア), in turn.
    if (Rule.Field == 0) {
      for (size_t At = 0; At < 16; ++At) {
        std::string Line = "Cafe au lait, please, and a croissant\n";
        Line.insert(At, Malformed[Rng() % std::size(Malformed)]);
        Bad.push_back((Round % 2 == 0 ? "" : "\xE3\x82\xA2") + Line + Utf8(Text));
      }
    }
    for (const std::string& Bytes : Bad) {
      if (Utf8::FirstInvalid(Bytes) == std::string::npos) continue;
      for (const Operations::TOperation* Operation : {&Dedupe, &Count}) {
        std::string Run = Bytes;
        ASSERT_FALSE(Operations::RunOnBytes(*Operation, Encoding, Run, nullptr, Choices))
            << Operation->Name << " on " << testing::PrintToString(Bytes);
        ASSERT_EQ(Run, Bytes);
      }
    }
  }
}

// The sorts past the buffer with -k, -t and the folds: runs of UTF-8 merged in levels give the
// stable sort of the keys, and the in-memory sort's bytes where no two different lines tie;
// with ties broken by the whole lines or by input order, the in-memory sort's bytes always.
TEST(KeyedOperations, SortedInRunsGiveTheStableSortOfTheKeys) {
  const TPinnedCollation Pinned("ja");
  std::mt19937 Rng(303);
  class TUtf8Lines final : public KeyedSort::TLineDecoder {
   public:
    std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const override {
      return Utf8::DecodeWellFormed(Line, Scratch);
    }
  } Utf8Lines;
  int Merged = 0;
  for (int Round = 0; Round < 150; ++Round) {
    std::u16string Text;
    for (int Part = 0; Part < 6; ++Part) Text += RandomText(Rng);
    TKeyRule Rule;
    Rule.Field = Rng() % 3;
    if (Rule.Field != 0 && Rng() % 2 == 0) Rule.Separator = u',';
    if (Rng() % 2 == 0 || Rule.Field == 0) Rule.Fold = 1 + Rng() % 7;
    const auto KeyOf = [&Rule](std::u16string_view Body) {
      std::u16string Key;
      LineKey::FoldedPlainly(Rule.Field == 0 ? std::u16string(Body) : PlainField(Body, Rule),
                             Rule.Fold, Key);
      return Key;
    };
    const auto FieldOf = [&Rule](std::u16string_view Body) {
      return Rule.Field == 0 ? std::u16string(Body) : PlainField(Body, Rule);
    };
    const KeyedLines::TKeyedDecoder Keyed(Utf8Lines, Rule);
    for (uint8_t Id = 1; Id <= 8; ++Id) {
      const Tarnwick::TSortCommand Command = *Tarnwick::SortCommandOf(Id);
      const RunMerge::TLineOrder Order(Keyed, Command.Kind, Command.Order);
      bool Ties;
      const std::u16string Stable = PlainSort::StableSortByKeys(Text, Id, KeyOf, Ties, FieldOf);
      int Levels = 0;
      ASSERT_EQ(RunSort::SortInRuns(Utf8(Text), RunMerge::TUnits::unBytes, Order, 24 + Rng() % 64,
                                    2 + Rng() % 2, Levels),
                Utf8(Stable))
          << "round " << Round << ", command " << int{Id} << ", -k " << Rule.Field << " fold "
          << Rule.Fold;
      Merged += Levels;
      Operations::TChoices Choices;
      Choices.Key = Rule;
      if (!Ties) {
        ASSERT_EQ(Operations::Run(*Operations::FindById(Id), std::u16string(Text), Choices),
                  Stable);
      }
      // With the whole lines or the input order breaking ties (the tool's own options, or
      // --stable), the in-memory sort's bytes always.
      for (const LineTies::TTies TieRule : {LineTies::tiWholeLine, LineTies::tiInputOrder}) {
        Choices.Ties = TieRule;
        const RunMerge::TLineOrder Tied(Keyed, Command.Kind, Command.Order, TieRule);
        ASSERT_EQ(RunSort::SortInRuns(Utf8(Text), RunMerge::TUnits::unBytes, Tied, 24 + Rng() % 64,
                                      2 + Rng() % 2, Levels),
                  Utf8(Operations::Run(*Operations::FindById(Id), std::u16string(Text), Choices)))
            << "round " << Round << ", command " << int{Id} << ", ties "
            << int{static_cast<uint8_t>(TieRule)};
      }
    }
  }
  EXPECT_GT(Merged, 100);
}

// More distinct keys than the line table starts with room for, so that it grows and hashes its
// keys again, on UTF-8 and on UTF-16.
TEST(KeyedOperations, GiveThePlainReferencesBytesPastTheTablesFirstSize) {
  std::u16string Text;
  for (int K = 0; K < 3000; ++K) {
    Text += K % 2 == 0 ? u"Line " : u"ｌｉｎｅ ";
    for (const char C : std::to_string(K % 2000)) Text += static_cast<char16_t>(C);
    Text += u'\n';
  }
  Operations::TChoices Choices;
  Choices.Key.Fold = LineKey::fdCase | LineKey::fdWidth;
  const DuplicationReference::TKeyedReference Reference(Text, [&](std::u16string_view Body) {
    std::u16string Key;
    LineKey::FoldedPlainly(Body, Choices.Key.Fold, Key);
    return Key;
  });
  ASSERT_NO_FATAL_FAILURE(ExpectDuplicateCommands(Text, Choices, Reference));
}

// The one-pass fold against the fold of the whole text, on random text of the units the folds
// change, those that join the unit before them and those the platform refuses to compose:
// every fold, many texts.
TEST(Folding, InOnePassGivesTheWholeTextsFold) {
  static const std::u16string_view Pieces[] = {
      u"a",      u"Z",      u" ",      u"~",     u"\\",    u"Ａ",     u"ｚ",     u"\x3000",
      u"あ",     u"ア",     u"ヴ",     u"ヽ",    u"ゝ",    u"ヷ",     u"ㇰ",     u"ｱ",
      u"ｶ",      u"ﾊ",      u"ｳ",      u"ﾜ",     u"ｦ",     u"ﾞ",      u"ﾟ",      u"\x3099",
      u"\x309A", u"゛",     u"゜",     u"ー",    u"｡",     u"￥",     u"ﾡ",      u"漢",
      u"\xF900", u"É",      u"e",      u"\x301", u"\x323", u"ß",      u"Ω",      u"\x2126",
      u"İ",      u"\x212A", u"\x345",  u"𐐀",     u"𐐨",     u"\xD800", u"\xDC00", u"\xFDD0",
      u"\xFFFF", u"\x1100", u"\x1161", u"\t",    u"1",     u"１"};
  std::mt19937 Rng(97);
  std::u16string Expected;
  for (int Round = 0; Round < 5000; ++Round) {
    std::u16string Text;
    for (size_t N = Rng() % 12; N > 0; --N) Text += Pieces[Rng() % std::size(Pieces)];
    const uint32_t Fold = 1 + Round % 7;
    LineKey::FoldedPlainly(Text, Fold, Expected);
    ASSERT_TRUE(LineKey::Folded(Text, Fold) == Expected)
        << "fold " << Fold << ": " << Utf8(Text) << " gave " << Utf8(LineKey::Folded(Text, Fold));
  }
}

// The folds' forms, the same on every platform (Linux, and Windows or Wine, whose
// NormalizeString composes).
TEST(Folding, GivesTheSameFormsOnEveryPlatform) {
  using LineKey::fdCase;
  using LineKey::fdKana;
  using LineKey::fdWidth;
  const struct {
    std::u16string_view Text;
    uint32_t Fold;
    std::u16string_view Folded;
  } Cases[] = {
      // Half-width katakana and signs to full-width; a mark that joins nothing is spacing.
      {u"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ", fdWidth,
       u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘ"
       u"ホマミムメモヤユヨラリルレロワン゛゜"},
      {u"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞﾜﾞｦﾞヽﾞゝﾞかﾞ", fdWidth,
       u"ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポヴヷヺヾゞが"},
      {u"ｱﾞﾞ ｶﾟ ﾊﾞﾟ", fdWidth, u"ア゛゛ カ゜ バ゜"},
      // Wide forms to ASCII and the other narrow ones; the rest of the narrow forms to wide.
      {u"Ｈｅｌｌｏ，\x3000Ｗｏｒｌｄ！\x3000１２３\x3000～＼", fdWidth, u"Hello, World! 123 ~\\"},
      {u"￠￡￢￣￤￥￦｟｠", fdWidth, u"¢£¬¯¦¥₩⦅⦆"},
      {u"\xFFA0ﾡￜ￨￩￪￫￬￭￮", fdWidth, u"\x3164ㄱㅣ│←↑→↓■○"},
      // Canonically equivalent texts alike, also where the fold makes them so.
      {u"カ\x3099 ｶ\x3099 e\x301 Ａ\x301 \xF900 \x2126", fdWidth, u"ガ ガ é Á 豈 Ω"},
      {u"カ\x3099 ヷ", fdKana, u"が わ\x3099"},
      {u"カタカナとひらがなヴヽヾヵヶ", fdKana, u"かたかなとひらがなゔゝゞゕゖ"},
      {u"ヷヸヹヺㇰㇿヿｱ", fdKana, u"わ\x3099ゐ\x3099ゑ\x3099を\x3099ㇰㇿヿｱ"},
      {u"ｶﾀｶﾅ ﾜﾞ", fdWidth | fdKana, u"かたかな わ\x3099"},
      // Capitals of the simple case folding, beyond ASCII too.
      {u"abc ABC ａｂｃ àé ωβ ǆǅ ſ", fdCase, u"ABC ABC ＡＢＣ ÀÉ ΩΒ ǄǄ S"},
      {u"k\x212A \x2126ω ß\x1E9E İıi 𐐨", fdCase, u"KK ΩΩ ßß İıI 𐐀"},
      {u"abc ｱ ア あ\x3000", fdWidth | fdKana | fdCase, u"ABC あ あ あ "},
  };
  for (const auto& Case : Cases) {
    EXPECT_TRUE(LineKey::Folded(Case.Text, Case.Fold) == Case.Folded)
        << Utf8(std::u16string(Case.Text)) << " gave "
        << Utf8(LineKey::Folded(Case.Text, Case.Fold));
  }
  // Every katakana with a hiragana letter.
  for (char16_t Katakana = 0x30A1; Katakana <= 0x30F6; ++Katakana) {
    EXPECT_TRUE(LineKey::Folded(std::u16string(1, Katakana), fdKana) ==
                std::u16string(1, static_cast<char16_t>(Katakana - 0x60)))
        << std::hex << +Katakana;
  }
}

}  // namespace
