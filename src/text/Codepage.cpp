// Lossless GB18030 <-> Unicode conversion. The tables are filled once from glibc's iconv; the
// per-character work is then table lookups, fast enough for whole pages on every regex call.

#include "text/Text.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>

namespace gleaner {
namespace {

constexpr char32_t kEscapeBase = 0x10FF80; // U+10FF80..U+10FFFF stand for the raw bytes 0x80..0xFF
constexpr std::uint32_t kTwoByteCount = 126 * 191; // lead 0x81..0xFE, trail 0x40..0xFE
constexpr std::uint32_t kFourByteBmpCount = 39420; // 0x81308130 .. 0x8431A439
constexpr std::uint32_t kSupplementaryStart = 189000; // linear index of 0x90308130

struct Tables {
    std::vector<char32_t> two;       // [lead][trail] -> code point, 0 when invalid
    std::vector<char32_t> fourBmp;   // linear four-byte index -> code point, 0 when invalid
    std::vector<std::uint32_t> bmp;  // code point -> packed bytes (len in top byte), 0 when unmapped
    // (lead << 8 | trail) -> the UTF-8 bytes of that two-byte code in memory order, their count in
    // the fourth byte; 0 when the pair is no two-byte character. Makes ToUtf8 one lookup a character.
    std::vector<std::uint32_t> twoUtf8;
};

std::uint32_t FourByteIndex(unsigned b1, unsigned b2, unsigned b3, unsigned b4) {
    return (b1 - 0x81) * 12600 + (b2 - 0x30) * 1260 + (b3 - 0x81) * 10 + (b4 - 0x30);
}

char32_t DecodeWithIconv(iconv_t cd, const unsigned char* in, std::size_t n) {
    char32_t out[2] = {0, 0};
    char* ip = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
    char* op = reinterpret_cast<char*>(out);
    std::size_t il = n, ol = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0 || ol != sizeof(char32_t))
        return 0;
    return out[0];
}

inline __attribute__((always_inline)) char* WriteUtf8(char32_t cp, char* o) {
    if (cp < 0x80) {
        *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *o++ = static_cast<char>(0xC0 | (cp >> 6));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (cp >> 12));
        *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (cp >> 18));
        *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return o;
}

const Tables& GetTables() {
    static std::once_flag once;
    static std::unique_ptr<Tables> tables;
    std::call_once(once, [] {
        auto t = std::make_unique<Tables>();
        t->two.assign(kTwoByteCount, 0);
        t->fourBmp.assign(kFourByteBmpCount, 0);
        t->bmp.assign(0x10000, 0);
        std::vector<std::uint32_t> spareTwo; // two-byte codes without a BMP character
        iconv_t cd = iconv_open("UTF-32LE", "GB18030");
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
                for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                    if (trail == 0x7F)
                        continue;
                    const unsigned char in[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
                    char32_t cp = DecodeWithIconv(cd, in, 2);
                    if (cp >= 0x10000)
                        spareTwo.push_back((lead - 0x81) * 191 + (trail - 0x40));
                    if (cp == 0 || cp >= 0x10000 || (cp >= 0xD800 && cp <= 0xDFFF))
                        continue;
                    t->two[(lead - 0x81) * 191 + (trail - 0x40)] = cp;
                    if (t->bmp[cp] == 0)
                        t->bmp[cp] = (2u << 24) | (lead << 8) | trail;
                }
            }
            for (std::uint32_t idx = 0; idx < kFourByteBmpCount; ++idx) {
                unsigned b4 = 0x30 + idx % 10, b3 = 0x81 + (idx / 10) % 126, b2 = 0x30 + (idx / 1260) % 10,
                         b1 = 0x81 + idx / 12600;
                const unsigned char in[4] = {static_cast<unsigned char>(b1), static_cast<unsigned char>(b2),
                                             static_cast<unsigned char>(b3), static_cast<unsigned char>(b4)};
                char32_t cp = DecodeWithIconv(cd, in, 4);
                if (cp == 0 || cp >= 0x10000 || (cp >= 0xD800 && cp <= 0xDFFF))
                    continue;
                t->fourBmp[idx] = cp;
                if (t->bmp[cp] == 0)
                    t->bmp[cp] = (4u << 24) | idx; // the index is re-expanded on encoding
            }
            iconv_close(cd);
            // glibc follows the 2005 edition, which moved a few characters from private-use code
            // points to standard ones: those private-use points then have no bytes, and the
            // four-byte codes of the moved characters decode to nothing. Pair them up (in order,
            // as the 2022 edition does) so that no code point turns into "?".
            // The few left over take the two-byte codes that glibc decodes to supplementary
            // characters (those stay reachable through their own four-byte codes).
            std::uint32_t freeIdx = 0;
            std::size_t nextSpare = 0;
            for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
                if (t->bmp[cp] != 0 || (cp >= 0xD800 && cp <= 0xDFFF))
                    continue;
                while (freeIdx < kFourByteBmpCount && t->fourBmp[freeIdx] != 0)
                    ++freeIdx;
                if (freeIdx < kFourByteBmpCount) {
                    t->fourBmp[freeIdx] = cp;
                    t->bmp[cp] = (4u << 24) | freeIdx;
                } else if (nextSpare < spareTwo.size()) {
                    const std::uint32_t k = spareTwo[nextSpare++];
                    t->two[k] = cp;
                    t->bmp[cp] = (2u << 24) | ((0x81 + k / 191) << 8) | (0x40 + k % 191);
                }
            }
        }
        for (unsigned c = 0; c < 0x80; ++c)
            t->bmp[c] = (1u << 24) | c;
        t->twoUtf8.assign(0x10000, 0);
        for (std::uint32_t k = 0; k < kTwoByteCount; ++k) {
            const char32_t cp = t->two[k];
            if (cp == 0)
                continue;
            char bytes[4] = {0, 0, 0, 0};
            bytes[3] = static_cast<char>(WriteUtf8(cp, bytes) - bytes);
            std::memcpy(&t->twoUtf8[((0x81 + k / 191) << 8) | (0x40 + k % 191)], bytes, 4);
        }
        tables = std::move(t);
    });
    return *tables;
}

// Decodes one character at s[i]; sets len to the bytes taken. Invalid bytes and sequences that
// would decode into the escape range give the escape of the single byte at i.
char32_t DecodeOne(const Tables& t, std::string_view s, std::size_t i, std::size_t& len) {
    const auto b1 = static_cast<unsigned char>(s[i]);
    if (b1 < 0x80) {
        len = 1;
        return b1;
    }
    const std::size_t rest = s.size() - i;
    if (b1 >= 0x81 && b1 <= 0xFE && rest >= 2) {
        const auto b2 = static_cast<unsigned char>(s[i + 1]);
        if (b2 >= 0x40 && b2 <= 0xFE && b2 != 0x7F) {
            char32_t cp = t.two[(b1 - 0x81) * 191 + (b2 - 0x40)];
            if (cp != 0) {
                len = 2;
                return cp;
            }
        } else if (b2 >= 0x30 && b2 <= 0x39 && rest >= 4) {
            const auto b3 = static_cast<unsigned char>(s[i + 2]);
            const auto b4 = static_cast<unsigned char>(s[i + 3]);
            if (b3 >= 0x81 && b3 <= 0xFE && b4 >= 0x30 && b4 <= 0x39) {
                std::uint32_t idx = FourByteIndex(b1, b2, b3, b4);
                char32_t cp = 0;
                if (idx < kFourByteBmpCount)
                    cp = t.fourBmp[idx];
                else if (idx >= kSupplementaryStart && idx - kSupplementaryStart <= 0xFFFFF)
                    cp = 0x10000 + (idx - kSupplementaryStart);
                if (cp != 0 && !(cp >= kEscapeBase && cp <= 0x10FFFF)) {
                    len = 4;
                    return cp;
                }
            }
        }
    }
    len = 1;
    return kEscapeBase + (b1 - 0x80);
}

void EncodeOne(const Tables& t, char32_t cp, Text& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    if (cp >= kEscapeBase && cp <= 0x10FFFF) {
        out.push_back(static_cast<char>(0x80 + (cp - kEscapeBase)));
        return;
    }
    std::uint32_t idx;
    if (cp < 0x10000) {
        std::uint32_t packed = t.bmp[cp];
        if (packed == 0) {
            out.push_back('?');
            return;
        }
        if ((packed >> 24) == 2) {
            out.push_back(static_cast<char>((packed >> 8) & 0xFF));
            out.push_back(static_cast<char>(packed & 0xFF));
            return;
        }
        idx = packed & 0xFFFFFF;
    } else if (cp <= 0x10FFFF) {
        idx = kSupplementaryStart + (cp - 0x10000);
    } else {
        out.push_back('?');
        return;
    }
    out.push_back(static_cast<char>(0x81 + idx / 12600));
    out.push_back(static_cast<char>(0x30 + (idx / 1260) % 10));
    out.push_back(static_cast<char>(0x81 + (idx / 10) % 126));
    out.push_back(static_cast<char>(0x30 + idx % 10));
}

// Next code point of UTF-8 input; malformed input gives U+FFFD and advances one byte.
char32_t NextUtf8(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    int n = b >= 0xF5 ? -1 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
    if (n < 0 || i + n >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = b & (0x3F >> n);
    for (int k = 1; k <= n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += n + 1;
    return cp;
}

// The ASCII and two-byte characters of ToUtf8WithCheckpoints from in[i] on, up to blockEnd or the
// first other character. A function of its own that calls nothing, so that its state stays in
// registers (the caller's rare cases call out).
__attribute__((noinline)) void ConvertCommonRun(const unsigned char* const in, const std::size_t size,
                                                const std::size_t blockEnd, const std::uint32_t* const twoUtf8,
                                                std::size_t& iRef, char*& oRef, const char*& markRef,
                                                std::uint32_t*& cRef) {
    constexpr std::size_t kStep = kUtf8CheckpointStep;
    std::size_t i = iRef;
    char* o = oRef;
    const char* mark = markRef;
    std::uint32_t* c = cRef;
    while (i < blockEnd) {
        const unsigned b1 = in[i];
        if (b1 < 0x80) {
            std::size_t n = 1;
#if defined(__SSE2__)
            if (i + 16 <= size) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
                const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
                n = high == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(high));
            } else
#endif
            if (i + 8 <= size) {
                std::uint64_t word;
                std::memcpy(&word, in + i, 8);
                std::memcpy(o, &word, 8);
                const std::uint64_t high = word & 0x8080808080808080ull;
                n = 8;
                if (high != 0) {
                    if constexpr (std::endian::native == std::endian::little)
                        n = static_cast<std::size_t>(std::countr_zero(high)) / 8;
                    else
                        n = static_cast<std::size_t>(std::countl_zero(high)) / 8;
                }
            } else {
                *o = static_cast<char>(b1);
            }
            o += n;
            i += n;
            // Written on every step and kept only once the mark is reached: a branch here
            // would guess wrong at nearly every mark. ASCII maps byte for byte.
            const bool reached = o >= mark;
            *c = static_cast<std::uint32_t>(i - static_cast<std::size_t>(o - mark));
            c += reached;
            mark += reached ? kStep : 0;
            continue;
        }
        if (i + 1 >= size)
            break;
        const std::uint32_t packed = twoUtf8[(b1 << 8) | in[i + 1]];
        if (packed == 0)
            break;
        std::memcpy(o, &packed, 4);
        o += std::endian::native == std::endian::little ? packed >> 24 : packed & 0xFF; // the count byte
        i += 2;
        // The character ends at or covers the mark: the next one counts.
        const bool reached = o >= mark;
        *c = static_cast<std::uint32_t>(i);
        c += reached;
        mark += reached ? kStep : 0;
    }
    iRef = i;
    oRef = o;
    markRef = mark;
    cRef = c;
}

} // namespace

std::string ToUtf8(std::string_view text) {
    // Whole pages go through here before every regex search: ASCII is copied eight bytes at a time
    // (up to the first byte >= 0x80), a two-byte character is one table lookup, and the output is
    // written through a pointer into room made per block (one input byte gives at most four).
    const Tables& t = GetTables();
    constexpr std::size_t kBlock = 4096;
    constexpr std::size_t kSlack = 16; // whole-word writes may run a little past the last character
    std::string out;
    out.reserve(text.size() + text.size() / 2 + kBlock * 4 + kSlack);
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t blockEnd = std::min(text.size(), i + kBlock);
        out.resize(written + (blockEnd - i) * 4 + kSlack);
        char* o = out.data() + written;
        while (i < blockEnd) {
            const auto b1 = static_cast<unsigned char>(text[i]);
            if (b1 < 0x80) {
                if (i + 8 <= text.size()) {
                    std::uint64_t word;
                    std::memcpy(&word, text.data() + i, 8);
                    std::memcpy(o, &word, 8);
                    const std::uint64_t high = word & 0x8080808080808080ull;
                    std::size_t n = 8;
                    if (high != 0) {
                        if constexpr (std::endian::native == std::endian::little)
                            n = static_cast<std::size_t>(std::countr_zero(high)) / 8;
                        else
                            n = static_cast<std::size_t>(std::countl_zero(high)) / 8;
                    }
                    o += n;
                    i += n;
                } else {
                    *o++ = static_cast<char>(b1);
                    ++i;
                }
                continue;
            }
            if (i + 1 < text.size()) { // the common two-byte character
                const std::uint32_t packed = t.twoUtf8[(b1 << 8) | static_cast<unsigned char>(text[i + 1])];
                if (packed != 0) {
                    std::memcpy(o, &packed, 4); // the count byte is written over next
                    o += static_cast<unsigned char>(o[3]);
                    i += 2;
                    continue;
                }
            }
            std::size_t len;
            o = WriteUtf8(DecodeOne(t, text, i, len), o);
            i += len; // a character may end past blockEnd: the slack allows for it
        }
        written = static_cast<std::size_t>(o - out.data());
    }
    out.resize(written);
    return out;
}

std::string ToUtf8Mapped(std::string_view text, std::vector<std::uint32_t>& positions) {
    // Same block scheme as ToUtf8; every output byte also gets the position of its character.
    const Tables& t = GetTables();
    constexpr std::size_t kBlock = 4096;
    std::string out;
    out.reserve(text.size() + text.size() / 2 + kBlock * 4 + 16);
    positions.clear();
    positions.reserve(text.size() + text.size() / 2 + kBlock * 4 + 16);
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t blockEnd = std::min(text.size(), i + kBlock);
        const std::size_t room = written + (blockEnd - i) * 4 + 4;
        out.resize(room);
        positions.resize(room);
        char* const base = out.data();
        char* o = base + written;
        std::uint32_t* const pos = positions.data();
        while (i < blockEnd) {
            if (i + 8 <= blockEnd) {
                std::uint64_t word;
                std::memcpy(&word, text.data() + i, 8);
                if ((word & 0x8080808080808080ull) == 0) {
                    std::memcpy(o, &word, 8);
                    std::uint32_t* q = pos + (o - base);
                    for (int k = 0; k < 8; ++k)
                        q[k] = static_cast<std::uint32_t>(i + k);
                    o += 8;
                    i += 8;
                    continue;
                }
            }
            const auto b1 = static_cast<unsigned char>(text[i]);
            char* const start = o;
            std::size_t len = 1;
            if (b1 < 0x80) {
                *o++ = static_cast<char>(b1);
            } else {
                char32_t cp = 0;
                if (b1 >= 0x81 && b1 != 0xFF && i + 1 < text.size()) {
                    const auto b2 = static_cast<unsigned char>(text[i + 1]);
                    if (b2 >= 0x40 && b2 != 0x7F && b2 != 0xFF)
                        cp = t.two[(b1 - 0x81) * 191 + (b2 - 0x40)];
                    len = 2;
                }
                if (cp == 0)
                    cp = DecodeOne(t, text, i, len);
                o = WriteUtf8(cp, o);
            }
            for (char* c = start; c < o; ++c)
                pos[c - base] = static_cast<std::uint32_t>(i);
            i += len;
        }
        written = static_cast<std::size_t>(o - base);
    }
    out.resize(written);
    positions.resize(written);
    positions.push_back(static_cast<std::uint32_t>(text.size()));
    return out;
}

void ToUtf8WithCheckpoints(std::string_view text, std::string& out, std::vector<std::uint32_t>& checkpoints,
                           std::vector<std::uint32_t>& exact) {
    // ToUtf8's loop; each step that reaches the next mark of the output (one every kStep bytes)
    // notes where in the text the first character at or after the mark starts. That costs a compare
    // per step, where a separate pass over the result would read it all again.
    const Tables& t = GetTables();
    constexpr std::size_t kBlock = 4096;
    constexpr std::size_t kStep = kUtf8CheckpointStep;
    constexpr std::size_t kSlack = 16 + kStep; // whole-vector writes and the pending mark stay inside
    const auto* const in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    const std::uint32_t* const twoUtf8 = t.twoUtf8.data();
    // out keeps its old bytes until they are written over: growing a string fills the new room with
    // zeros, and for a page like the last one that would be a second pass over the whole output.
    checkpoints.assign(1, 0);
    exact.clear();
    std::vector<std::uint32_t> odd; // blocks where a character that is neither ASCII nor two-byte starts
    std::size_t written = 0, marks = 1;
    for (std::size_t i = 0; i < size;) {
        const std::size_t blockEnd = std::min(size, i + kBlock);
        if (const std::size_t room = written + (blockEnd - i) * 4 + kSlack; out.size() < room)
            out.resize(room);
        // A character may end up to three bytes past blockEnd, and no byte gives more than four.
        if (const std::size_t room = marks + ((blockEnd - i) * 4 + 12) / kStep + 2; checkpoints.size() < room)
            checkpoints.resize(room);
        char* const base = out.data();
        char* o = base + written;
        const char* mark = base + marks * kStep;
        std::uint32_t* c = checkpoints.data() + marks;
        for (;;) {
            ConvertCommonRun(in, size, blockEnd, twoUtf8, i, o, mark, c);
            if (i >= blockEnd)
                break;
            const auto at = static_cast<std::uint32_t>((o - base) / kStep);
            if (odd.empty() || odd.back() != at)
                odd.push_back(at);
            std::size_t len;
            o = WriteUtf8(DecodeOne(t, text, i, len), o);
            i += len;
            if (o >= mark) {
                *c++ = static_cast<std::uint32_t>(i);
                mark += kStep;
            }
        }
        written = static_cast<std::size_t>(o - base);
        marks = static_cast<std::size_t>(c - checkpoints.data());
    }
    out.resize(written);
    checkpoints.resize(marks);

    // The rare blocks with other characters get the exact map, decoded again from the first
    // character of the block before (a character is at most four bytes, so it starts there or later).
    exact.assign(odd.size() * kStep, static_cast<std::uint32_t>(text.size()));
    for (std::size_t j = 0; j < odd.size(); ++j) {
        const std::size_t k = odd[j], from = k * kStep, to = from + kStep;
        std::size_t u = 0, s = 0;
        if (k > 0) {
            u = from - kStep;
            while (u < out.size() && (static_cast<unsigned char>(out[u]) & 0xC0) == 0x80)
                ++u;
            s = checkpoints[k - 1];
        }
        std::uint32_t* const e = exact.data() + j * kStep;
        while (u < to && s < text.size()) {
            std::size_t len;
            char bytes[4];
            const auto n = static_cast<std::size_t>(WriteUtf8(DecodeOne(t, text, s, len), bytes) - bytes);
            for (std::size_t b = std::max(u, from); b < std::min(u + n, to); ++b)
                e[b - from] = static_cast<std::uint32_t>(s);
            u += n;
            s += len;
        }
    }
    for (std::size_t j = 0; j < odd.size(); ++j)
        checkpoints[odd[j]] = kUtf8CheckpointExact | static_cast<std::uint32_t>(j);
}

Text FromUtf8(std::string_view utf8) {
    const Tables& t = GetTables();
    Text out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out.push_back(utf8[i++]);
            continue;
        }
        EncodeOne(t, NextUtf8(utf8, i), out);
    }
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    const Tables& t = GetTables();
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len;
        char32_t cp = DecodeOne(t, text, i, len);
        i += len;
        if (cp < 0x10000) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
    }
    return out;
}

Text FromUtf16(std::u16string_view utf16) {
    const Tables& t = GetTables();
    Text out;
    out.reserve(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        EncodeOne(t, cp, out);
    }
    return out;
}

} // namespace gleaner
