// UTF-8 and UTF-16 conversion common to both platforms. ASCII is widened and narrowed here,
// eight bytes at a time, because that beats a converter call; everything else in UTF-8 goes to
// the platform's bulk converter.
#include "cli/CodecUnicode.h"

#include <cstdint>
#include <cstring>

#include "base/Simd.h"

#if TARNWICK_SSE2
#include <emmintrin.h>
#endif

#include "cli/CodecBackend.h"

namespace Codec::Unicode {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;   // eight UTF-8 bytes >= 0x80
constexpr uint64_t kHighUnits = 0xFF80FF80FF80FF80ull;  // four UTF-16 units >= 0x80

// The end of the piece starting at the non-ASCII unit In[i] that goes to the backend: it runs
// on over ASCII gaps shorter than 16 units, so that mixed text takes few backend calls, and
// stops before a longer ASCII run or the end. It ends at an ASCII unit or the end, which is
// always a character boundary.
template <typename Unit>
size_t BackendPieceEnd(const Unit* In, size_t i, size_t n) {
  constexpr size_t kGap = 16;
  size_t end = i;
  for (;;) {
    while (end < n && In[end] >= 0x80) ++end;
    size_t ascii = end;
    while (ascii < n && ascii - end < kGap && In[ascii] < 0x80) ++ascii;
    if (ascii == n || ascii - end >= kGap) return end;
    end = ascii;
  }
}

// True when at most one in 16 eight-byte blocks holds a unit >= 0x80: then the ASCII runs are
// long and worth converting here; otherwise one backend call over everything is faster.
bool MostlyAscii(const void* Data, size_t Size, uint64_t HighMask) {
  const auto* p = static_cast<const unsigned char*>(Data);
  size_t blocks = Size / 8, mixed = 0;
  for (size_t b = 0; b < blocks; ++b) {
    uint64_t word;
    std::memcpy(&word, p + 8 * b, 8);
    mixed += (word & HighMask) != 0;
  }
  return mixed * 16 <= blocks;
}

#if TARNWICK_SSE2
TARNWICK_SSE2_FORM void WidenAsciiSse2(const uint8_t* In, size_t N, size_t& I, char16_t* Out,
                                       size_t& O) {
  const __m128i zero = _mm_setzero_si128();
  for (; I + 16 <= N; I += 16, O += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(In + I));
    if (_mm_movemask_epi8(v) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + O), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + O + 8), _mm_unpackhi_epi8(v, zero));
  }
}
#endif

// Sixteen units at a time where the processor has SSE2, while they are all ASCII: In[I..]
// widened to Out[O..], I and O moved on. The eight-unit loops of the callers finish the run.
inline void WidenAscii(const uint8_t* In, size_t N, size_t& I, char16_t* Out, size_t& O) {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) WidenAsciiSse2(In, N, I, Out, O);
#else
  (void)In, (void)N, (void)I, (void)Out, (void)O;
#endif
}

// The end of the run of ASCII units starting at In[I]: eight units at a time, then one by one.
size_t AsciiRunEnd(const char16_t* In, size_t I, size_t N) {
  for (uint64_t a, b; I + 8 <= N; I += 8) {
    std::memcpy(&a, In + I, 8);
    std::memcpy(&b, In + I + 4, 8);
    if (((a | b) & kHighUnits) != 0) break;
  }
  while (I < N && In[I] < 0x80) ++I;
  return I;
}

}  // namespace

// Decodes the UTF-16 in All after its first Base bytes (the mark).
std::u16string DecodeUtf16(std::string_view All, size_t Base, bool BigEndian,
                           const std::string& Name) {
  const std::string_view Bytes = All.substr(Base);
  if (Bytes.size() % 2 != 0) ThrowUnfinished(Name, All, All.size() - 1, true);
  std::u16string out;
  Grow(out, Bytes.size() / 2);
  const auto* p = reinterpret_cast<const uint8_t*>(Bytes.data());
  const int hiByte = BigEndian ? 0 : 1;
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(p[2 * i + hiByte] << 8 | p[2 * i + 1 - hiByte]);
  // Surrogates must pair up: a lone one is not text.
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (c < 0xD800 || c > 0xDFFF) continue;
    if (c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    ThrowInvalid(Name, All, Base + 2 * i, 2);
  }
  return out;
}

void EncodeUtf16(std::u16string_view Text, bool BigEndian, const std::string& Name,
                 std::string& Out) {
  char* out = Grow(Out, Text.size() * 2);
  const int hiByte = BigEndian ? 0 : 1;
  for (size_t i = 0; i < Text.size(); ++i) {
    const char16_t c = Text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool paired =
          c <= 0xDBFF ? (i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF)
                      : (i > 0 && Text[i - 1] >= 0xD800 && Text[i - 1] <= 0xDBFF);
      if (!paired) ThrowUnencodable(Name, Text, i);
    }
    out[2 * i + hiByte] = static_cast<char>(c >> 8);
    out[2 * i + 1 - hiByte] = static_cast<char>(c & 0xFF);
  }
}

// UTF-8 to UTF-16 with long ASCII runs widened here, eight bytes at a time, and the rest
// converted by the backend in as few calls as possible.
bool DecodeUtf8(std::string_view Bytes, std::u16string& Out) {
  // One code unit per byte is the most UTF-8 can need; the room is made once.
  Out.clear();
  Grow(Out, Bytes.size());
  const auto* in = reinterpret_cast<const uint8_t*>(Bytes.data());
  char16_t* out = Out.data();
  const size_t n = Bytes.size();
  size_t i = 0, o = 0;
  if (!MostlyAscii(in, n, kHighBits)) {
    if (!Backend::DecodeUtf8(Bytes, out, o)) return false;
    Out.resize(o);
    return true;
  }
  while (i < n) {
    WidenAscii(in, n, i, out, o);
    for (uint64_t word; i + 8 <= n && (std::memcpy(&word, in + i, 8), (word & kHighBits) == 0);
         i += 8, o += 8)
      for (int k = 0; k < 8; ++k) out[o + k] = in[i + k];
    while (i < n && in[i] < 0x80) out[o++] = in[i++];
    if (i == n) break;
    const size_t end = BackendPieceEnd(in, i, n);
    size_t written = 0;
    if (!Backend::DecodeUtf8(Bytes.substr(i, end - i), out + o, written)) return false;
    o += written;
    i = end;
  }
  Out.resize(o);
  return true;
}

// UTF-16 to UTF-8, the mirror of DecodeUtf8: ASCII narrowed here, other runs by the backend.
// Each ASCII run is measured first and given exactly its room, so every output byte is made
// once: room for more (such as the rest of the text) would be zero-filled again for every run.
bool EncodeUtf8(std::u16string_view Text, std::string& Out) {
  const size_t n = Text.size();
  if (!MostlyAscii(Text.data(), n * 2, kHighUnits)) return Backend::EncodeUtf8(Text, Out);
  const char16_t* in = Text.data();
  size_t i = 0;
  while (i < n) {
    const size_t runEnd = AsciiRunEnd(in, i, n);
    char* out = Grow(Out, runEnd - i);
    for (; i < runEnd; ++i) *out++ = static_cast<char>(in[i]);
    if (i == n) break;
    const size_t end = BackendPieceEnd(in, i, n);
    if (!Backend::EncodeUtf8(Text.substr(i, end - i), Out)) return false;
    i = end;
  }
  return true;
}

}  // namespace Codec::Unicode
