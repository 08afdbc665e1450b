#include "strings/transcoder.h"

#include <atomic>
#include <cstring>

#include "core/result_helpers.h"

// On x86 the ASCII runs of byte text are widened and counted sixteen bytes at
// a time with SSE2 where the processor has it; elsewhere, and on processors
// without it, eight at a time in plain integer code.
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#define RYL_TRANSCODER_SSE2 1
#include <cpuid.h>
#include <emmintrin.h>
#else
#define RYL_TRANSCODER_SSE2 0
#endif

namespace ryl::strings {
namespace {

constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

enum class Step : uint8_t { kCodePoint, kSkip, kMalformed };

inline uint32_t Load32(const uint8_t* p) noexcept {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

inline void Store32(uint8_t* p, uint32_t value) noexcept { std::memcpy(p, &value, sizeof value); }

// --- Decoders ------------------------------------------------------------------
// Next() consumes one sequence; the caller guarantees p != end and that the
// length passed ValidLength().

struct Latin1Decoder {
  // Bytes below 0x80 are their own code points; the ASCII fast path uses it.
  static constexpr bool kAsciiBytes = true;
  static constexpr bool kAsciiUnitsLe = false;
  static bool ValidLength(uint32_t) noexcept { return true; }
  static Step Next(const uint8_t*& p, const uint8_t*, uint32_t& codePoint) noexcept {
    codePoint = *p++;
    return Step::kCodePoint;
  }
};

struct Utf8Decoder {
  static constexpr bool kAsciiBytes = true;
  static constexpr bool kAsciiUnitsLe = false;
  static bool ValidLength(uint32_t) noexcept { return true; }
  static bool Continues(uint32_t byte) noexcept { return (byte & 0xC0) == 0x80; }
  static Step Next(const uint8_t*& p, const uint8_t* end, uint32_t& codePoint) noexcept {
    const uint32_t lead = *p;
    if (lead < 0x80) {
      ++p;
      codePoint = lead;
      return Step::kCodePoint;
    }
    // A continuation byte where a sequence should start is dropped, so text
    // cut in the middle of a character still converts.
    if (lead < 0xC0) {
      ++p;
      return Step::kSkip;
    }
    // A sequence cut off by the end of the text and one whose continuation
    // bytes are wrong are malformed alike. Overlong forms are malformed too:
    // they would let one character hide behind several spellings.
    const ptrdiff_t left = end - p;
    uint32_t value;
    if (lead < 0xE0) {
      if (left < 2 || !Continues(p[1])) return Step::kMalformed;
      value = ((lead & 0x1F) << 6) | (p[1] & 0x3F);
      if (value < 0x80) return Step::kMalformed;
      p += 2;
    } else if (lead < 0xF0) {
      if (left < 3 || !Continues(p[1]) || !Continues(p[2])) return Step::kMalformed;
      value = ((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
      if (value < 0x800) return Step::kMalformed;
      p += 3;
    } else if (lead < 0xF8) {
      if (left < 4 || !Continues(p[1]) || !Continues(p[2]) || !Continues(p[3])) return Step::kMalformed;
      value = ((lead & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
      if (value < 0x10000) return Step::kMalformed;
      p += 4;
    } else {
      return Step::kMalformed;
    }
    codePoint = value;
    return Step::kCodePoint;
  }
};

template <bool kBigEndian>
struct Utf16Decoder {
  static constexpr bool kAsciiBytes = false;
  static constexpr bool kAsciiUnitsLe = !kBigEndian && kLittleEndianHost;
  static bool ValidLength(uint32_t length) noexcept { return length % 2 == 0; }
  static uint32_t Unit(const uint8_t* p) noexcept {
    return kBigEndian ? (uint32_t{p[0]} << 8) | p[1] : p[0] | (uint32_t{p[1]} << 8);
  }
  static Step Next(const uint8_t*& p, const uint8_t* end, uint32_t& codePoint) noexcept {
    const uint32_t unit = Unit(p);
    p += 2;
    if (unit < 0xD800 || unit > 0xDFFF) {
      codePoint = unit;
      return Step::kCodePoint;
    }
    if (unit >= 0xDC00 || end - p < 2) return Step::kMalformed;
    const uint32_t low = Unit(p);
    if (low < 0xDC00 || low > 0xDFFF) return Step::kMalformed;
    p += 2;
    codePoint = 0x10000 + (((unit & 0x3FF) << 10) | (low & 0x3FF));
    return Step::kCodePoint;
  }
};

template <bool kBigEndian>
struct Utf32Decoder {
  static constexpr bool kAsciiBytes = false;
  static constexpr bool kAsciiUnitsLe = false;
  static bool ValidLength(uint32_t length) noexcept { return length % 4 == 0; }
  static Step Next(const uint8_t*& p, const uint8_t*, uint32_t& codePoint) noexcept {
    codePoint = kBigEndian ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
                           : p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    p += 4;
    return Step::kCodePoint;
  }
};

// --- Sixteen ASCII bytes at a time ---------------------------------------------

std::atomic<bool> g_vectorAllowed{true};

#if RYL_TRANSCODER_SSE2
bool HasSse2() noexcept {
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) != 0 && (d & bit_SSE2) != 0;
  }();
  return has && g_vectorAllowed.load(std::memory_order_relaxed);
}

// How many leading bytes of [p, p + length) are below 0x80, looking at whole
// groups of sixteen only.
__attribute__((target("sse2"))) uint32_t CountAsciiSse2(const uint8_t* p, uint32_t length) noexcept {
  uint32_t done = 0;
  while (length - done >= 16) {
    const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(group));
    if (high != 0) return done + static_cast<uint32_t>(std::countr_zero(high));
    done += 16;
  }
  return done;
}

// Widens the leading bytes below 0x80 into little-endian UTF-16 units at out,
// which has room for roomBytes; returns how many were widened. A group that
// holds another byte is still stored whole (the units after the ASCII ones
// are overwritten by what follows, or lie past the end of the result), so
// every store needs room for the whole group.
__attribute__((target("sse2"))) uint32_t WidenAsciiSse2(const uint8_t* p, uint32_t length, uint8_t* out,
                                                        uint32_t roomBytes) noexcept {
  const __m128i zero = _mm_setzero_si128();
  uint32_t done = 0;
  while (length - done >= 16 && roomBytes / 2 - done >= 16) {
    const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * done), _mm_unpacklo_epi8(group, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * done + 16), _mm_unpackhi_epi8(group, zero));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(group));
    if (high != 0) return done + static_cast<uint32_t>(std::countr_zero(high));
    done += 16;
  }
  return done;
}
#endif

// --- Encoders ------------------------------------------------------------------
// Writers append to [out, limit) and fail with RYL_E_OUT_OF_RANGE when the
// whole code point does not fit. Counters add up bytes in 64 bits.
// PutAsciiBytes8 / PutAsciiUnits8 take eight code points below 0x80 at once
// (from eight bytes, or from eight little-endian UTF-16 units), and
// PutAsciiPrefix fewer than eight bytes; they answer false, having written
// nothing, when the code points do not fit.

inline uint32_t Utf8Length(uint32_t codePoint) noexcept {
  return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

struct Writer {
  uint8_t* out;
  uint8_t* limit;
  bool Room(uint32_t bytes) const noexcept { return static_cast<uint32_t>(limit - out) >= bytes; }
};

// Latin-1 and UTF-8 both write a code point below 0x80 as that one byte.
struct SingleByteAsciiWriter : Writer {
  bool PutAsciiBytes8(const uint8_t* source) noexcept {
    if (!Room(8)) return false;
    std::memcpy(out, source, 8);
    out += 8;
    return true;
  }
  bool PutAsciiPrefix(const uint8_t* source, unsigned count) noexcept {
    if (!Room(count)) return false;
    std::memcpy(out, source, count);
    out += count;
    return true;
  }
  bool PutAsciiUnits8(const uint8_t* source) noexcept {
    if (!Room(8)) return false;
    for (int i = 0; i < 8; ++i) out[i] = source[2 * i];
    out += 8;
    return true;
  }
};

struct Latin1Writer : SingleByteAsciiWriter {
  ResultCode Put(uint32_t codePoint) noexcept {
    if (!Room(1)) return RYL_E_OUT_OF_RANGE;
    *out++ = static_cast<uint8_t>(codePoint < 0x100 ? codePoint : '?');
    return RYL_OK;
  }
};

struct Utf8Writer : SingleByteAsciiWriter {
  ResultCode Put(uint32_t codePoint) noexcept {
    if (codePoint > 0x10FFFF) return RYL_E_BAD_FORMAT;
    const uint32_t length = Utf8Length(codePoint);
    if (!Room(length)) return RYL_E_OUT_OF_RANGE;
    switch (length) {
      case 1:
        out[0] = static_cast<uint8_t>(codePoint);
        break;
      case 2:
        out[0] = static_cast<uint8_t>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        break;
      case 3:
        out[0] = static_cast<uint8_t>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        break;
      default:
        out[0] = static_cast<uint8_t>(0xF0 | (codePoint >> 18));
        out[1] = static_cast<uint8_t>(0x80 | ((codePoint >> 12) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
        out[3] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        break;
    }
    out += length;
    return RYL_OK;
  }
};

template <bool kBigEndian>
struct Utf16Writer : Writer {
  void Unit(uint32_t unit) noexcept {
    out[kBigEndian ? 1 : 0] = static_cast<uint8_t>(unit);
    out[kBigEndian ? 0 : 1] = static_cast<uint8_t>(unit >> 8);
    out += 2;
  }
  ResultCode Put(uint32_t codePoint) noexcept {
    if (codePoint <= 0xFFFF) {
      if (!Room(2)) return RYL_E_OUT_OF_RANGE;
      Unit(codePoint);
      return RYL_OK;
    }
    if (!Room(4)) return RYL_E_OUT_OF_RANGE;
    // No range check: the pair carries the low 20 bits of what lies above
    // the basic plane.
    const uint32_t above = codePoint - 0x10000;
    Unit(0xD800 | ((above >> 10) & 0x3FF));
    Unit(0xDC00 | (above & 0x3FF));
    return RYL_OK;
  }
  bool PutAsciiBytes8(const uint8_t* source) noexcept {
    if (!Room(16)) return false;
    if constexpr (!kBigEndian && kLittleEndianHost) {
      // Widen four bytes into two words of two units each.
      for (int half = 0; half < 2; ++half) {
        const uint32_t bytes = Load32(source + 4 * half);
        Store32(out + 8 * half, (bytes & 0xFF) | ((bytes & 0xFF00) << 8));
        Store32(out + 8 * half + 4, ((bytes >> 16) & 0xFF) | ((bytes >> 8) & 0xFF0000));
      }
      out += 16;
    } else {
      for (int i = 0; i < 8; ++i) Unit(source[i]);
    }
    return true;
  }
  bool PutAsciiPrefix(const uint8_t* source, unsigned count) noexcept {
    if (!Room(2 * count)) return false;
    for (unsigned i = 0; i < count; ++i) Unit(source[i]);
    return true;
  }
#if RYL_TRANSCODER_SSE2
  // Widens the leading ASCII bytes of the source; returns how many.
  uint32_t SkimAsciiSse2(const uint8_t* source, uint32_t length) noexcept {
    if constexpr (kBigEndian || !kLittleEndianHost) {
      return 0;
    } else {
      const uint32_t done = WidenAsciiSse2(source, length, out, static_cast<uint32_t>(limit - out));
      out += 2 * done;
      return done;
    }
  }
#endif
};

template <bool kBigEndian>
struct Utf32Writer : Writer {
  ResultCode Put(uint32_t codePoint) noexcept {
    if (!Room(4)) return RYL_E_OUT_OF_RANGE;
    for (int i = 0; i < 4; ++i) {
      const int shift = kBigEndian ? 24 - 8 * i : 8 * i;
      out[i] = static_cast<uint8_t>(codePoint >> shift);
    }
    out += 4;
    return RYL_OK;
  }
};

struct Latin1Counter {
  uint64_t bytes = 0;
  ResultCode Put(uint32_t) noexcept {
    bytes += 1;
    return RYL_OK;
  }
  bool PutAsciiPrefix(const uint8_t*, unsigned count) noexcept {
    bytes += count;
    return true;
  }
  bool PutAsciiBytes8(const uint8_t*) noexcept {
    bytes += 8;
    return true;
  }
  bool PutAsciiUnits8(const uint8_t*) noexcept {
    bytes += 8;
    return true;
  }
};

struct Utf8Counter {
  uint64_t bytes = 0;
  ResultCode Put(uint32_t codePoint) noexcept {
    if (codePoint > 0x10FFFF) return RYL_E_BAD_FORMAT;
    bytes += Utf8Length(codePoint);
    return RYL_OK;
  }
  bool PutAsciiPrefix(const uint8_t*, unsigned count) noexcept {
    bytes += count;
    return true;
  }
  bool PutAsciiBytes8(const uint8_t*) noexcept {
    bytes += 8;
    return true;
  }
  bool PutAsciiUnits8(const uint8_t*) noexcept {
    bytes += 8;
    return true;
  }
};

struct Utf16Counter {
  uint64_t bytes = 0;
#if RYL_TRANSCODER_SSE2
  uint32_t SkimAsciiSse2(const uint8_t* source, uint32_t length) noexcept {
    const uint32_t done = CountAsciiSse2(source, length);
    bytes += 2 * uint64_t{done};
    return done;
  }
#endif
  ResultCode Put(uint32_t codePoint) noexcept {
    bytes += codePoint > 0xFFFF ? 4 : 2;
    return RYL_OK;
  }
  bool PutAsciiPrefix(const uint8_t*, unsigned count) noexcept {
    bytes += 2 * count;
    return true;
  }
  bool PutAsciiBytes8(const uint8_t*) noexcept {
    bytes += 16;
    return true;
  }
};

struct Utf32Counter {
  uint64_t bytes = 0;
  ResultCode Put(uint32_t) noexcept {
    bytes += 4;
    return RYL_OK;
  }
};

// --- The conversion loop ----------------------------------------------------

template <class Encoder>
concept TakesAsciiBytes = requires(Encoder& encoder, const uint8_t* source) {
  encoder.PutAsciiBytes8(source);
  encoder.PutAsciiPrefix(source, 1u);
};
template <class Encoder>
concept TakesAsciiUnits = requires(Encoder& encoder, const uint8_t* source) { encoder.PutAsciiUnits8(source); };

// Index of the first byte with its top bit set among the eight loaded as
// (first, second); masks hold only top bits and are not both zero.
inline unsigned FirstHighByte(uint32_t first, uint32_t second) noexcept {
  if constexpr (kLittleEndianHost) {
    return first != 0 ? std::countr_zero(first) / 8 : 4 + std::countr_zero(second) / 8;
  } else {
    return first != 0 ? std::countl_zero(first) / 8 : 4 + std::countl_zero(second) / 8;
  }
}

// Mostly-ASCII text is the common case: eight code points per step while
// they last, then the bytes before the first other one singly. Returns
// where the general decoder must take over.
template <class Encoder>
const uint8_t* SkimAsciiBytes(const uint8_t* p, const uint8_t* end, Encoder& encoder) noexcept {
  while (end - p >= 8) {
    const uint32_t first = Load32(p) & 0x80808080u;
    const uint32_t second = Load32(p + 4) & 0x80808080u;
    if ((first | second) == 0) {
      if (!encoder.PutAsciiBytes8(p)) return p;
      p += 8;
      continue;
    }
    // The bytes before the first other one go in one step; where they do
    // not fit, the general path fills what room is left and reports it.
    const unsigned ascii = FirstHighByte(first, second);
    if (ascii != 0 && !encoder.PutAsciiPrefix(p, ascii)) return p;
    return p + ascii;
  }
  return p;
}

template <class Encoder>
const uint8_t* SkimAsciiUnitsLe(const uint8_t* p, const uint8_t* end, Encoder& encoder) noexcept {
  while (end - p >= 16) {
    const uint32_t high = (Load32(p) | Load32(p + 4) | Load32(p + 8) | Load32(p + 12)) & 0xFF80FF80u;
    if (high == 0) {
      if (!encoder.PutAsciiUnits8(p)) return p;
      p += 16;
      continue;
    }
    for (int i = 0; i < 8; ++i, p += 2) {
      const uint32_t unit = p[0] | (uint32_t{p[1]} << 8);
      if (unit >= 0x80 || encoder.Put(unit) < 0) return p;
    }
  }
  return p;
}

template <class Encoder>
concept SkimsAsciiWithSse2 = requires(Encoder& encoder, const uint8_t* source) {
  encoder.SkimAsciiSse2(source, 1u);
};

template <class Decoder, class Encoder>
ResultCode Run(const uint8_t* p, const uint8_t* end, Encoder& encoder) noexcept {
#if RYL_TRANSCODER_SSE2
  if constexpr (Decoder::kAsciiBytes && SkimsAsciiWithSse2<Encoder>) {
    if (HasSse2()) {
      while (p != end) {
        p += encoder.SkimAsciiSse2(p, static_cast<uint32_t>(end - p));
        if (p == end) break;
        uint32_t codePoint;
        const Step step = Decoder::Next(p, end, codePoint);
        if (step == Step::kCodePoint) {
          RYL_RETURN_IF_FAILED(encoder.Put(codePoint));
        } else if (step == Step::kMalformed) {
          return RYL_E_BAD_FORMAT;
        }
      }
      return RYL_OK;
    }
  }
#endif
  while (p != end) {
    if constexpr (Decoder::kAsciiBytes && TakesAsciiBytes<Encoder>) {
      p = SkimAsciiBytes(p, end, encoder);
      if (p == end) break;
    } else if constexpr (Decoder::kAsciiUnitsLe && TakesAsciiUnits<Encoder>) {
      p = SkimAsciiUnitsLe(p, end, encoder);
      if (p == end) break;
    }
    uint32_t codePoint;
    const Step step = Decoder::Next(p, end, codePoint);
    if (step == Step::kCodePoint) {
      RYL_RETURN_IF_FAILED(encoder.Put(codePoint));
    } else if (step == Step::kMalformed) {
      return RYL_E_BAD_FORMAT;
    }
  }
  return RYL_OK;
}

template <class Decoder, class Counter>
ResultCode Count(const uint8_t* source, uint32_t length, uint32_t* outBytes) noexcept {
  if (!Decoder::ValidLength(length)) return RYL_E_BAD_FORMAT;
  Counter counter;
  RYL_RETURN_IF_FAILED((Run<Decoder>(source, source + length, counter)));
  if (counter.bytes > UINT32_MAX) return RYL_E_OUT_OF_RANGE;
  *outBytes = static_cast<uint32_t>(counter.bytes);
  return RYL_OK;
}

template <class Decoder, class EncoderWriter>
ResultCode Write(const uint8_t* source, uint32_t length, uint8_t* destination, uint32_t capacity,
                 uint32_t* outProduced) noexcept {
  if (!Decoder::ValidLength(length)) return RYL_E_BAD_FORMAT;
  EncoderWriter writer;
  writer.out = destination;
  writer.limit = destination + capacity;
  RYL_RETURN_IF_FAILED((Run<Decoder>(source, source + length, writer)));
  *outProduced = static_cast<uint32_t>(writer.out - destination);
  return RYL_OK;
}

template <class Decoder>
ResultCode MeasureFrom(TextForm to, const uint8_t* source, uint32_t length, uint32_t* outBytes) noexcept {
  switch (to) {
    case TextForm::kLatin1: return Count<Decoder, Latin1Counter>(source, length, outBytes);
    case TextForm::kUtf8: return Count<Decoder, Utf8Counter>(source, length, outBytes);
    case TextForm::kUtf16Le:
    case TextForm::kUtf16Be: return Count<Decoder, Utf16Counter>(source, length, outBytes);
    case TextForm::kUtf32Le:
    case TextForm::kUtf32Be: return Count<Decoder, Utf32Counter>(source, length, outBytes);
  }
  return RYL_E_NOT_IMPLEMENTED;
}

template <class Decoder>
ResultCode WriteFrom(TextForm to, const uint8_t* source, uint32_t length, uint8_t* destination, uint32_t capacity,
                     uint32_t* outProduced) noexcept {
  switch (to) {
    case TextForm::kLatin1: return Write<Decoder, Latin1Writer>(source, length, destination, capacity, outProduced);
    case TextForm::kUtf8: return Write<Decoder, Utf8Writer>(source, length, destination, capacity, outProduced);
    case TextForm::kUtf16Le:
      return Write<Decoder, Utf16Writer<false>>(source, length, destination, capacity, outProduced);
    case TextForm::kUtf16Be:
      return Write<Decoder, Utf16Writer<true>>(source, length, destination, capacity, outProduced);
    case TextForm::kUtf32Le:
      return Write<Decoder, Utf32Writer<false>>(source, length, destination, capacity, outProduced);
    case TextForm::kUtf32Be:
      return Write<Decoder, Utf32Writer<true>>(source, length, destination, capacity, outProduced);
  }
  return RYL_E_NOT_IMPLEMENTED;
}

}  // namespace

ResultCode MeasureTranscoded(TextForm from, TextForm to, const uint8_t* source, uint32_t length,
                             uint32_t* outBytes) noexcept {
  if (outBytes == nullptr || (source == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  if (from == to) {
    *outBytes = length;
    return RYL_OK;
  }
  switch (from) {
    case TextForm::kLatin1: return MeasureFrom<Latin1Decoder>(to, source, length, outBytes);
    case TextForm::kUtf8: return MeasureFrom<Utf8Decoder>(to, source, length, outBytes);
    case TextForm::kUtf16Le: return MeasureFrom<Utf16Decoder<false>>(to, source, length, outBytes);
    case TextForm::kUtf16Be: return MeasureFrom<Utf16Decoder<true>>(to, source, length, outBytes);
    case TextForm::kUtf32Le: return MeasureFrom<Utf32Decoder<false>>(to, source, length, outBytes);
    case TextForm::kUtf32Be: return MeasureFrom<Utf32Decoder<true>>(to, source, length, outBytes);
  }
  return RYL_E_NOT_IMPLEMENTED;
}

ResultCode Transcode(TextForm from, TextForm to, const uint8_t* source, uint32_t length, uint8_t* destination,
                     uint32_t capacity, uint32_t* outProduced) noexcept {
  if (outProduced == nullptr || (source == nullptr && length != 0) || (destination == nullptr && capacity != 0)) {
    return RYL_E_INVALID_ARG;
  }
  if (from == to) {
    if (capacity < length) return RYL_E_OUT_OF_RANGE;
    if (length != 0) std::memmove(destination, source, length);
    *outProduced = length;
    return RYL_OK;
  }
  switch (from) {
    case TextForm::kLatin1: return WriteFrom<Latin1Decoder>(to, source, length, destination, capacity, outProduced);
    case TextForm::kUtf8: return WriteFrom<Utf8Decoder>(to, source, length, destination, capacity, outProduced);
    case TextForm::kUtf16Le:
      return WriteFrom<Utf16Decoder<false>>(to, source, length, destination, capacity, outProduced);
    case TextForm::kUtf16Be:
      return WriteFrom<Utf16Decoder<true>>(to, source, length, destination, capacity, outProduced);
    case TextForm::kUtf32Le:
      return WriteFrom<Utf32Decoder<false>>(to, source, length, destination, capacity, outProduced);
    case TextForm::kUtf32Be:
      return WriteFrom<Utf32Decoder<true>>(to, source, length, destination, capacity, outProduced);
  }
  return RYL_E_NOT_IMPLEMENTED;
}

void AllowVectorInstructionsForTesting(bool allowed) noexcept {
  g_vectorAllowed.store(allowed, std::memory_order_relaxed);
}

}  // namespace ryl::strings
