// RegexObject over PCRE2: UTF mode with the ECMAScript-like options, JIT, and limits that stop a
// runaway pattern. Matching runs on the UTF-8 form of the subject; every span is turned back into a
// byte offset of the original subject at once, so the match set is a flat table of offsets.

#include "page/RegexObject.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace gleaner {
namespace {

// Patterns come from users' rules files: bound the work and memory one page may cost.
constexpr std::uint32_t kMatchLimit = 10'000'000;
constexpr std::uint32_t kDepthLimit = 10'000'000;
constexpr std::uint32_t kHeapLimitKiB = 256 * 1024;
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 32 * 1024 * 1024; // reserved address space, filled on demand
// Offsets are kept in 32 bits; downloads are cut far below this anyway.
constexpr std::size_t kMaxSubject = std::size_t{1} << 30;
constexpr std::uint32_t kUnset = 0xFFFFFFFFu;
constexpr std::size_t kKeptBuffer = 16 * 1024 * 1024;

struct CodeDeleter {
    void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct JitStackDeleter {
    void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};

std::string ErrorMessage(int code) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof(buffer)) < 0)
        return "error " + std::to_string(code);
    return reinterpret_cast<const char*>(buffer);
}

// Characters (not bytes) of the UTF-8 text before byteOffset, for an error position a user can count.
std::size_t CharactersBefore(std::string_view utf8, std::size_t byteOffset) {
    byteOffset = std::min(byteOffset, utf8.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < byteOffset; ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
            ++n;
    return n;
}

Text ReplaceQuoteMarkers(const Text& pattern) {
    static const Text marker = "#引号"_t;
    Text out;
    out.reserve(pattern.size());
    std::size_t from = 0;
    for (std::size_t at; (at = pattern.find(marker, from)) != Text::npos; from = at + marker.size()) {
        out.append(pattern, from, at - from);
        out.push_back('"');
    }
    out.append(pattern, from, Text::npos);
    return out;
}

} // namespace

struct RegexObject::Engine {
    Text pattern; // as the engine was given it, quote markers already replaced
    bool global = true;
    std::unique_ptr<pcre2_code, CodeDeleter> code; // null when the pattern was rejected
    Text error;
};

struct RegexObject::MatchSet {
    int count = 0;
    int groups = 0;                   // capture groups of the pattern
    std::vector<std::uint32_t> spans; // per match, groups + 1 pairs (begin, end) of subject offsets

    // Begin and end of group m (0 = whole match) of match n (both 0-based); begin == kUnset when
    // the group did not take part.
    std::pair<std::uint32_t, std::uint32_t> Span(int n, int m) const {
        const std::size_t at = (static_cast<std::size_t>(n) * (groups + 1) + m) * 2;
        return {spans[at], spans[at + 1]};
    }
};

namespace {

// The UTF-8 form of the subject, what maps its offsets back, and the spans while they are found,
// kept per thread: a collection run converts page after page, and the buffers of the last one fit
// the next.
struct Converted {
    std::string utf8;
    std::vector<std::uint32_t> checkpoints;
    std::vector<std::uint32_t> exact;
    std::vector<std::uint32_t> spans;
};

// Turns byte offsets of the UTF-8 form back into offsets of the subject: the conversion's checkpoint
// for the offset's block, plus a count over the bytes before it in the block (an ASCII byte
// stands for one subject byte, a lead byte for a two-byte character). Blocks with other characters
// carry their exact map.
class OffsetMap {
public:
    explicit OffsetMap(const Converted& c)
        : utf8_(c.utf8.data()), checkpoints_(c.checkpoints.data()), exact_(c.exact.data()) {
        // Counting reads whole blocks: the last, partial one is read from a padded copy.
        const std::size_t whole = c.utf8.size() - c.utf8.size() % kStep;
        lastBlock_ = whole;
        std::memcpy(tail_, c.utf8.data() + whole, c.utf8.size() - whole);
    }

    // u must lie on a character boundary of the UTF-8 form.
    std::uint32_t Map(std::size_t u) const {
        const std::uint32_t entry = checkpoints_[u / kStep];
        const std::size_t r = u % kStep;
        if (entry & kUtf8CheckpointExact) [[unlikely]]
            return exact_[(entry & ~kUtf8CheckpointExact) * kStep + r];
        const std::size_t from = u - r;
        return entry + CountBefore(from == lastBlock_ ? tail_ : utf8_ + from, r);
    }

private:
    static constexpr std::size_t kStep = kUtf8CheckpointStep;
    static_assert(kStep % 16 == 0 && kStep <= 128);

    // Subject bytes that the first r bytes of a block stand for: 1 per ASCII byte, 2 per
    // lead byte (0xC0..), none for a continuation byte.
    static std::uint32_t CountBefore(const char* block, std::size_t r) {
#if defined(__SSE2__)
        alignas(16) static constexpr std::array<signed char, 2 * kStep> kPrefix = [] {
            std::array<signed char, 2 * kStep> a{};
            for (std::size_t i = 0; i < kStep; ++i)
                a[i] = -1;
            return a;
        }();
        const __m128i zero = _mm_setzero_si128();
        const __m128i one = _mm_set1_epi8(1);
        const __m128i lastContinuation = _mm_set1_epi8(-64); // 0xC0 as signed: bytes below it continue
        __m128i sum = zero;
        for (std::size_t q = 0; q < kStep / 16; ++q) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * q));
            const __m128i high = _mm_cmpgt_epi8(zero, v);
            const __m128i continuation = _mm_cmpgt_epi8(lastContinuation, v);
            const __m128i count = _mm_add_epi8(_mm_sub_epi8(one, high), _mm_add_epi8(continuation, continuation));
            const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPrefix.data() + kStep - r + 16 * q));
            sum = _mm_add_epi8(sum, _mm_and_si128(count, keep));
        }
        const __m128i halves = _mm_sad_epu8(sum, zero);
        return static_cast<std::uint32_t>(_mm_cvtsi128_si32(halves) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(halves, halves)));
#else
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < r; ++i) {
            const auto b = static_cast<unsigned char>(block[i]);
            n += b < 0x80 ? 1 : b >= 0xC0 ? 2 : 0;
        }
        return n;
#endif
    }

    const char* utf8_;
    const std::uint32_t* checkpoints_;
    const std::uint32_t* exact_;
    std::size_t lastBlock_;
    char tail_[kStep] = {};
};

// Finds the matches of code in utf8 the way ECMAScript's global search does: after an empty match
// the search goes on one character further. Spans are stored as offsets into the original text.
// False when the engine gave up (match, depth or heap limit, JIT stack, memory); error says why.
// spans is the scratch the offsets gather in; the match set gets a copy of just the right size.
bool CollectMatches(const pcre2_code* code, bool global, std::string_view utf8, const OffsetMap& map,
                    std::vector<std::uint32_t>& spans, RegexObject::MatchSet& out, Text& error) {
    std::uint32_t groups = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
    out.groups = static_cast<int>(groups);

    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(pcre2_match_data_create_from_pattern(code, nullptr));
    std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(pcre2_match_context_create(nullptr));
    if (!data || !context) {
        error = "out of memory";
        return false;
    }
    pcre2_set_match_limit(context.get(), kMatchLimit);
    pcre2_set_depth_limit(context.get(), kDepthLimit);
    pcre2_set_heap_limit(context.get(), kHeapLimitKiB);
    // The default JIT stack (32 KiB on the machine stack) is too small for lazy groups over a page.
    std::unique_ptr<pcre2_jit_stack, JitStackDeleter> jitStack(
        pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
    if (jitStack)
        pcre2_jit_stack_assign(context.get(), nullptr, jitStack.get());

    const auto* subject = reinterpret_cast<PCRE2_SPTR>(utf8.data());
    const PCRE2_SIZE length = utf8.size();
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    spans.clear();
    // The conversion writes well-formed UTF-8 whatever the bytes, so PCRE2's check (a pass over the whole
    // page, as long as the search itself) is skipped.
    const std::uint32_t options = PCRE2_NO_UTF_CHECK;
    // With JIT code, its own entry skips the checks pcre2_match repeats on each of thousands of calls.
    std::size_t jitSize = 0;
    const bool jit = pcre2_pattern_info(code, PCRE2_INFO_JITSIZE, &jitSize) == 0 && jitSize != 0;
    for (PCRE2_SIZE start = 0; start <= length;) {
        int rc = jit ? pcre2_jit_match(code, subject, length, start, 0, data.get(), context.get())
                     : pcre2_match(code, subject, length, start, options, data.get(), context.get());
        // The interpreter keeps its backtracking on the heap (bounded by the heap limit), so it can
        // finish what the JIT's fixed stack cannot.
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
            rc = pcre2_match(code, subject, length, start, options | PCRE2_NO_JIT, data.get(), context.get());
        if (rc == PCRE2_ERROR_NOMATCH)
            break;
        if (rc < 0) {
            error = ErrorMessage(rc);
            return false;
        }
        for (std::uint32_t g = 0; g <= groups; ++g) {
            const PCRE2_SIZE b = ovector[2 * g], e = ovector[2 * g + 1];
            if (static_cast<int>(g) >= rc || b == PCRE2_UNSET || e == PCRE2_UNSET || b > length || e > length) {
                spans.push_back(kUnset);
                spans.push_back(kUnset);
            } else {
                spans.push_back(map.Map(b));
                spans.push_back(map.Map(std::max(b, e)));
            }
        }
        ++out.count;
        if (!global)
            break;
        const PCRE2_SIZE end = ovector[1];
        if (end > ovector[0]) {
            start = end;
        } else {
            start = end + 1;
            while (start < length && (static_cast<unsigned char>(utf8[start]) & 0xC0) == 0x80)
                ++start;
        }
    }
    out.spans.assign(spans.begin(), spans.end());
    return true;
}

} // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other) = default;
RegexObject& RegexObject::operator=(const RegexObject& other) = default;

bool RegexObject::FindAll(const Text& pattern, const Text& subject, bool caseSensitive, bool multiLine, bool global,
                          bool quoteMarker) {
    matches_.reset();
    engine_.reset();
    subject_ = subject;

    auto engine = std::make_shared<Engine>();
    engine->pattern = quoteMarker ? ReplaceQuoteMarkers(pattern) : pattern;
    engine->global = global;

    // ECMAScript flavour: \uXXXX, [^] and [], unset back-references match empty, unknown escapes
    // stand for the character itself, $ without multi-line only at the very end.
    std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                            PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_BACKSLASH_C;
    if (!caseSensitive)
        options |= PCRE2_CASELESS;
    if (multiLine)
        options |= PCRE2_MULTILINE;
    std::unique_ptr<pcre2_compile_context, CompileContextDeleter> compileContext(pcre2_compile_context_create(nullptr));
    if (!compileContext) {
        engine->error = "out of memory";
        engine_ = std::move(engine);
        return false;
    }
    pcre2_set_newline(compileContext.get(), PCRE2_NEWLINE_LF);
    pcre2_set_compile_extra_options(compileContext.get(), PCRE2_EXTRA_BAD_ESCAPE_IS_LITERAL);

    const std::string utf8Pattern = ToUtf8(engine->pattern);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    engine->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8Pattern.data()), utf8Pattern.size(), options,
                                     &errorCode, &errorOffset, compileContext.get()));
    if (!engine->code) {
        engine->error =
            ErrorMessage(errorCode) + " at character " + std::to_string(CharactersBefore(utf8Pattern, errorOffset) + 1);
        engine_ = std::move(engine);
        return false;
    }
    // Without JIT (unsupported platform, no executable memory) pcre2_match interprets instead.
    pcre2_jit_compile(engine->code.get(), PCRE2_JIT_COMPLETE);

    if (subject.size() > kMaxSubject) {
        engine->error = "subject too long";
        engine_ = std::move(engine);
        return false;
    }
    thread_local Converted converted;
    ToUtf8WithCheckpoints(subject, converted.utf8, converted.checkpoints, converted.exact);
    auto matches = std::make_shared<MatchSet>();
    const bool complete =
        CollectMatches(engine->code.get(), global, converted.utf8, OffsetMap(converted), converted.spans, *matches,
                       engine->error);
    // One huge page should not hold its memory for good.
    if (converted.utf8.capacity() > kKeptBuffer || converted.spans.capacity() * sizeof(std::uint32_t) > kKeptBuffer)
        converted = Converted();
    engine_ = std::move(engine);
    if (!complete)
        return false; // a runaway pattern: no match on this page
    matches_ = std::move(matches);
    return true;
}

void RegexObject::Noop() {}

Text RegexObject::GetPattern() const {
    return engine_ ? engine_->pattern : Text();
}

Text RegexObject::ReplaceMatches(const Text& replacement) const {
    if (!engine_ || !matches_)
        return Text();
    const MatchSet& set = *matches_;
    const auto group = [&](int n, int m, Text& out) {
        const auto [b, e] = set.Span(n, m);
        if (b != kUnset)
            out.append(subject_, b, e - b);
    };
    // ECMAScript's replacement patterns: $$, $&, $`, $', $n and $nn (two digits win when that group
    // exists); anything else stays as written. '$' and ASCII digits are never part of a two-byte
    // character, so the replacement can be read byte by byte.
    Text out;
    out.reserve(subject_.size() + replacement.size());
    std::size_t last = 0;
    for (int n = 0; n < set.count; ++n) {
        const auto [begin, end] = set.Span(n, 0);
        out.append(subject_, last, begin - last);
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            const char c = replacement[i];
            const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
            if (c != '$' || next == '\0') {
                out.push_back(c);
            } else if (next == '$') {
                out.push_back('$');
                ++i;
            } else if (next == '&') {
                group(n, 0, out);
                ++i;
            } else if (next == '`') {
                out.append(subject_, 0, begin);
                ++i;
            } else if (next == '\'') {
                out.append(subject_, end, Text::npos);
                ++i;
            } else if (next >= '0' && next <= '9') {
                const int one = next - '0';
                const char after = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
                const int two = (after >= '0' && after <= '9') ? one * 10 + (after - '0') : 0;
                if (two >= 1 && two <= set.groups) {
                    group(n, two, out);
                    i += 2;
                } else if (one >= 1 && one <= set.groups) {
                    group(n, one, out);
                    ++i;
                } else {
                    out.push_back('$');
                }
            } else {
                out.push_back('$');
            }
        }
        last = end;
    }
    out.append(subject_, last, Text::npos);
    return out;
}

int RegexObject::MatchCount() const {
    return matches_ ? matches_->count : 0;
}

Text RegexObject::GetMatch(int n) const {
    if (!matches_ || n < 1 || n > matches_->count)
        return Text();
    const auto [b, e] = matches_->Span(n - 1, 0);
    return subject_.substr(b, e - b);
}

Text RegexObject::GetSubMatch(int n, int m) const {
    if (!matches_ || n < 1 || n > matches_->count || m < 1 || m > matches_->groups)
        return Text();
    const auto [b, e] = matches_->Span(n - 1, m);
    if (b == kUnset)
        return Text();
    return subject_.substr(b, e - b);
}

int RegexObject::SubMatchCount() const {
    return matches_ && matches_->count > 0 ? matches_->groups : 0;
}

Text RegexObject::ErrorText() const {
    return engine_ ? engine_->error : Text();
}

} // namespace gleaner
