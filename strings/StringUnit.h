// Line-level string utilities: the linguistic comparison, line-break handling and the byte
// measure used by the length sort.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace StringUnit {

enum class TCompareResult : uint8_t { crEqual = 0, crLess = 1, crGreater = 2 };
using enum TCompareResult;

enum class TLineBreakKind : uint8_t { lbCRLF = 0, lbCR = 1, lbLF = 2, lbNone = 3 };
using enum TLineBreakKind;

// Flags every comparison and collation key of the dictionary order adds (SORT_DIGITSASNUMBERS
// for the tool's --natural); none unless set, as in the plug-in. Set before sorting.
void SetCollationFlags(uint32_t Flags);
uint32_t CollationFlags();

// Compares the whole of S1 with the whole of S2 with CompareStringW in the user's locale
// (case-sensitive, every code unit counted). Throws SysUtils::Exception on a platform failure.
TCompareResult LocaleCompare(std::u16string_view S1, std::u16string_view S2);
// The same with Flags in place of the flags set by SetCollationFlags (0: none).
TCompareResult LocaleCompare(std::u16string_view S1, std::u16string_view S2, uint32_t Flags);
// LocaleCompare through a platform call that takes at most Limit (>= 2) code units a text
// (LocaleCompare: INT_MAX). Longer texts are compared without the beginning they share, and,
// where that is not enough, piece by piece; see the implementation for the one approximation.
TCompareResult LocaleCompareWithin(std::u16string_view S1, std::u16string_view S2, size_t Limit);

// Replaces Out with the platform's collation key of S (LCMapStringW with LCMAP_SORTKEY and
// Flags): keys compared byte by byte order as LocaleCompare with Flags orders the texts. False,
// Out unspecified, when the platform gives none.
bool CollationKey(std::u16string_view S, uint32_t Flags, std::string& Out);

// The break that ends S: CR LF, else a final LF, else a final CR, else none.
TLineBreakKind GetLineBreakKind(std::u16string_view S);
// The kind of S when S is exactly one line break; lbNone otherwise.
TLineBreakKind BareLineBreakKind(std::u16string_view S);
// CR LF, CR, LF or the empty string.
std::u16string_view LineBreakText(TLineBreakKind Kind);
// Removes the one line break that ends S, if any.
void RemoveLineBreak(std::u16string& S);
// S without the one line break that ends it.
std::u16string WithoutLineBreak(std::u16string_view S);
// The length of S's body: S's length minus that of its terminating line break.
size_t BodyLength(std::u16string_view S);

// S without the longest trailing run of characters that all occur in Chars.
std::u16string TrimRightChars(std::u16string_view S, std::u16string_view Chars);

// The code units of S in reverse order.
std::u16string ReverseString(std::u16string_view S);

// Whether C is a decimal digit (Unicode category Nd: ASCII, full-width and the other scripts'
// 0 to 9).
bool IsDecimalDigit(char32_t C);
// Whether C is a decimal digit that the platform's numeric comparison (SORT_DIGITSASNUMBERS)
// reads as a number: every one with ICU; under Wine not those of some scripts, such as NKo or
// those beyond U+FFFF other than the mathematical double-struck, sans-serif and monospace ones.
bool IsCountedDigit(char32_t C);
// Turns S into the text the orders read from the end compare: its code units in reverse order,
// except that where Flags compare digits as numbers (SORT_DIGITSASNUMBERS) each run of digits
// the comparison counts (IsCountedDigit) keeps its own order, so that "img12" reads "12gmi" and
// its number still counts.
void ReadFromEnd(std::u16string& S, uint32_t Flags = CollationFlags());

// False for the one-byte characters (U+0020..U+007F, U+203E, U+FF61..U+FF9F), True otherwise.
constexpr bool IsDoubleByteChar(char16_t Ch) {
  return !((Ch >= 0x20 && Ch <= 0x7F) || Ch == 0x203E || (Ch >= 0xFF61 && Ch <= 0xFF9F));
}
// The sum over S's code units of 1 or 2 (see IsDoubleByteChar).
int32_t ByteLength(std::u16string_view S);

}  // namespace StringUnit
