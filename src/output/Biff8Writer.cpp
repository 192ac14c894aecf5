// BIFF8 records for a one-sheet workbook of text cells.

#include "output/Biff8Writer.h"

#include <algorithm>
#include <functional>

namespace gleaner::biff8 {
namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kLabelSst = 0x00FD;

constexpr std::uint32_t kBlank = 0xFFFFFFFFu;
constexpr std::uint16_t kCellXf = 15; // the default cell XF, after the 15 style XFs
// Record offsets are 32-bit; stop well before the globals could pass them.
constexpr std::size_t kMaxGlobalsBytes = 0x7F000000u;

void PutU8(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
}
void PutU16(std::string& out, unsigned v) {
    PutU8(out, v);
    PutU8(out, v >> 8);
}
void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
void PatchU16(std::string& out, std::size_t pos, unsigned v) {
    out[pos] = static_cast<char>(v & 0xFF);
    out[pos + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void PatchU32(std::string& out, std::size_t pos, std::uint32_t v) {
    PatchU16(out, pos, v & 0xFFFF);
    PatchU16(out, pos + 2, v >> 16);
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsWide(std::u16string_view s) {
    return std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
}

void PutChars(std::string& out, std::u16string_view s, bool wide) {
    const std::size_t at = out.size();
    out.resize(at + s.size() * (wide ? 2 : 1));
    char* p = out.data() + at;
    if (wide) {
        for (char16_t c : s) {
            *p++ = static_cast<char>(c & 0xFF);
            *p++ = static_cast<char>(c >> 8);
        }
    } else {
        for (char16_t c : s)
            *p++ = static_cast<char>(c);
    }
}

// A short record written whole: type, length, body.
class Record {
public:
    Record(std::string& out, std::uint16_t type) : out_(out), start_(out.size()) {
        PutU16(out_, type);
        PutU16(out_, 0);
    }
    ~Record() { PatchU16(out_, start_ + 2, static_cast<unsigned>(out_.size() - start_ - 4)); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

private:
    std::string& out_;
    std::size_t start_;
};

void PutBof(std::string& out, unsigned substream) {
    Record r(out, kBof);
    PutU16(out, 0x0600); // BIFF8
    PutU16(out, substream);
    PutU16(out, 0x0DBB);     // build
    PutU16(out, 0x07CC);     // year
    PutU32(out, 0x00000041); // file history: last edited on a 97-era build
    PutU32(out, 0x00000006); // lowest version that can read it: BIFF8
}

void PutEof(std::string& out) {
    Record r(out, kEof);
}

void PutFont(std::string& out) {
    Record r(out, kFont);
    PutU16(out, 200);    // 10 pt, in twips
    PutU16(out, 0);      // plain
    PutU16(out, 0x7FFF); // automatic colour
    PutU16(out, 400);    // normal weight
    PutU16(out, 0);      // no super/subscript
    PutU8(out, 0);       // no underline
    PutU8(out, 0);       // family
    PutU8(out, 0);       // character set
    PutU8(out, 0);
    const std::u16string_view name = u"Arial";
    PutU8(out, static_cast<unsigned>(name.size()));
    PutU8(out, 0); // 8-bit characters
    PutChars(out, name, false);
}

// usedAttributes flags the attribute groups (bits 2-7: number, font, alignment, border, pattern,
// protection); 0xF4 flags all but the font, as Excel writes its built-in style XFs.
void PutXf(std::string& out, unsigned font, bool style, unsigned usedAttributes) {
    Record r(out, kXf);
    PutU16(out, font);
    PutU16(out, 0);                       // format "General"
    PutU16(out, style ? 0xFFF5 : 0x0001); // locked; style XFs have no parent, cells inherit XF 0
    PutU8(out, 0x20);                     // general alignment, bottom
    PutU8(out, 0);                        // no rotation
    PutU8(out, 0);                        // no indent
    PutU8(out, usedAttributes);
    PutU32(out, 0); // no borders
    PutU32(out, 0);
    PutU16(out, 0x20C0); // pattern colours: system foreground / background
}

} // namespace

bool CutToCellLimit(std::u16string& text) {
    if (text.size() <= kMaxCellChars)
        return false;
    std::size_t n = kMaxCellChars;
    // Do not leave a high surrogate without its low half.
    if (IsHighSurrogate(text[n - 1]))
        --n;
    text.resize(n);
    return true;
}

bool IsValidSheetName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxSheetNameChars)
        return false;
    if (name.front() == u'\'' || name.back() == u'\'')
        return false;
    return std::none_of(name.begin(), name.end(), [](char16_t c) {
        return c < 0x20 || c == u':' || c == u'\\' || c == u'/' || c == u'?' || c == u'*' || c == u'[' || c == u']';
    });
}

// The SST with its CONTINUE records, written straight into the globals buffer, and the EXTSST
// index after it. Equal strings share one entry; their characters live in an arena so the index
// can key on views of them.
class Workbook::StringTable {
public:
    explicit StringTable(std::string& out) : out_(out) {
        sstStart_ = out_.size();
        BeginRecord(kSst);
        PutU32(out_, 0); // total cells referring to the table, patched at the end
        PutU32(out_, 0); // unique strings, patched at the end
    }

    // The string's index, or kBlank when the globals would grow past the format's offsets.
    std::uint32_t Add(std::u16string_view s) {
        const auto hash = static_cast<std::uint32_t>(std::hash<std::u16string_view>{}(s));
        std::size_t slot = Find(s, hash);
        if (slots_[slot].id != kBlank) {
            ++total_;
            return slots_[slot].id;
        }
        if (out_.size() + s.size() * 2 + (s.size() / kMaxRecordData + 2) * 8 > kMaxGlobalsBytes)
            return kBlank;
        const auto id = static_cast<std::uint32_t>(strings_.size());
        strings_.push_back(Keep(s));
        slots_[slot] = {hash, id};
        if (strings_.size() * 2 > slots_.size())
            Grow();
        ++total_;
        WriteString(s, id);
        return id;
    }

    void Finish() {
        EndRecord();
        PatchU32(out_, sstStart_ + 4, total_);
        PatchU32(out_, sstStart_ + 8, static_cast<std::uint32_t>(strings_.size()));
        // EXTSST: one bucket per `perBucket` strings, at most 128 buckets, as Excel writes it.
        const std::size_t unique = strings_.size();
        std::size_t perBucket = 8;
        while ((unique + perBucket - 1) / perBucket > 128)
            perBucket += 8;
        Record r(out_, kExtSst);
        PutU16(out_, static_cast<unsigned>(perBucket));
        for (std::size_t k = 0; k < marks_.size(); k += perBucket / 8) {
            PutU32(out_, marks_[k].streamPos);
            PutU16(out_, marks_[k].recordOffset);
            PutU16(out_, 0);
        }
    }

private:
    struct Mark {
        std::uint32_t streamPos;    // the string's first byte in the stream
        std::uint16_t recordOffset; // its offset from the start of its record, header included
    };

    // An open-addressing index (linear probing, at most half full) over the kept strings: far
    // fewer cache misses than a node-based map when every cell is a new string.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t id = kBlank;
    };

    // The slot holding `s`, or the empty slot where it belongs.
    std::size_t Find(std::u16string_view s, std::uint32_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.id == kBlank || (slot.hash == hash && strings_[slot.id] == s))
                return i;
        }
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.id == kBlank)
                continue;
            std::size_t i = slot.hash & mask;
            while (slots_[i].id != kBlank)
                i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    void BeginRecord(std::uint16_t type) {
        recordStart_ = out_.size();
        PutU16(out_, type);
        PutU16(out_, 0);
    }
    void EndRecord() { PatchU16(out_, recordStart_ + 2, static_cast<unsigned>(out_.size() - recordStart_ - 4)); }
    std::size_t Room() const { return kMaxRecordData - (out_.size() - recordStart_ - 4); }
    void NextRecord() {
        EndRecord();
        BeginRecord(kContinue);
    }

    void WriteString(std::u16string_view s, std::uint32_t id) {
        const bool wide = IsWide(s);
        const std::size_t unit = wide ? 2 : 1;
        // The count and flags stay together with at least the first character.
        const std::size_t first = s.empty() ? 0 : (s.size() >= 2 && IsHighSurrogate(s[0]) ? 2 : 1);
        if (Room() < 3 + first * unit)
            NextRecord();
        if (id % 8 == 0)
            marks_.push_back(
                {static_cast<std::uint32_t>(out_.size()), static_cast<std::uint16_t>(out_.size() - recordStart_)});
        PutU16(out_, static_cast<unsigned>(s.size()));
        PutU8(out_, wide ? 1 : 0);
        while (!s.empty()) {
            std::size_t k = std::min(Room() / unit, s.size());
            // A surrogate pair stays in one record, so each part decodes on its own.
            if (k > 0 && k < s.size() && IsHighSurrogate(s[k - 1]))
                --k;
            if (k == 0) {
                // The rest goes on in a CONTINUE that starts with its own flags byte.
                NextRecord();
                PutU8(out_, wide ? 1 : 0);
                continue;
            }
            PutChars(out_, s.substr(0, k), wide);
            s.remove_prefix(k);
        }
    }

    std::u16string_view Keep(std::u16string_view s) {
        constexpr std::size_t kChunk = 1 << 20;
        if (chunks_.empty() || chunkFree_ < s.size()) {
            const std::size_t size = std::max(kChunk, s.size());
            chunks_.push_back(std::make_unique<char16_t[]>(size));
            chunkFree_ = size;
            chunkUsed_ = 0;
        }
        char16_t* at = chunks_.back().get() + chunkUsed_;
        std::copy(s.begin(), s.end(), at);
        chunkUsed_ += s.size();
        chunkFree_ -= s.size();
        return {at, s.size()};
    }

    std::string& out_;
    std::size_t sstStart_ = 0;
    std::size_t recordStart_ = 0;
    std::uint32_t total_ = 0;
    std::vector<Slot> slots_ = std::vector<Slot>(1024);
    std::vector<std::u16string_view> strings_; // by index, viewing the arena
    std::vector<std::unique_ptr<char16_t[]>> chunks_;
    std::size_t chunkUsed_ = 0, chunkFree_ = 0;
    std::vector<Mark> marks_; // every eighth string
};

Workbook::Workbook(std::u16string_view sheetName, int columnCount)
    : columnCount_(std::clamp(columnCount, 1, kMaxColumns)) {
    BeginGlobals(sheetName);
    strings_ = std::make_unique<StringTable>(globals_);
}

Workbook::~Workbook() = default;

void Workbook::BeginGlobals(std::u16string_view sheetName) {
    std::string& out = globals_;
    PutBof(out, 0x0005);
    {
        Record r(out, kCodePage);
        PutU16(out, 1200); // UTF-16
    }
    {
        Record r(out, kWindow1);
        PutU16(out, 0);
        PutU16(out, 0);
        PutU16(out, 0x3A98); // window width and height, in twips
        PutU16(out, 0x2328);
        PutU16(out, 0x0038); // scroll bars and sheet tabs shown
        PutU16(out, 0);      // active sheet
        PutU16(out, 0);      // first tab shown
        PutU16(out, 1);      // sheets selected
        PutU16(out, 600);    // tab bar width ratio, per mille
    }
    // Font index 4 does not exist in BIFF, so four records cover the indices the XFs use.
    for (int i = 0; i < 4; ++i)
        PutFont(out);
    // The 15 style XFs Excel expects before the first cell XF.
    PutXf(out, 0, true, 0x00);
    for (int i = 1; i < 15; ++i)
        PutXf(out, i <= 2 ? 1 : (i <= 4 ? 2 : 0), true, 0xF4);
    PutXf(out, 0, false, 0x00); // XF 15: every cell
    {
        Record r(out, kStyle);
        PutU16(out, 0x8000); // built-in style on XF 0
        PutU8(out, 0);       // "Normal"
        PutU8(out, 0xFF);
    }
    {
        Record r(out, kBoundSheet);
        boundSheetPos_ = out.size();
        PutU32(out, 0); // the sheet's BOF offset, patched once the globals are complete
        PutU8(out, 0);  // visible
        PutU8(out, 0);  // worksheet
        const std::u16string_view name = sheetName.substr(0, kMaxSheetNameChars);
        const bool wide = IsWide(name);
        PutU8(out, static_cast<unsigned>(name.size()));
        PutU8(out, wide ? 1 : 0);
        PutChars(out, name, wide);
    }
}

bool Workbook::AddCell(std::u16string_view text) {
    if (text.empty()) {
        cells_.push_back(kBlank);
        return false;
    }
    bool cut = false;
    std::uint32_t id;
    if (text.size() > kMaxCellChars) {
        std::u16string copy(text);
        cut = CutToCellLimit(copy);
        id = strings_->Add(copy);
    } else {
        id = strings_->Add(text);
    }
    if (id == kBlank)
        tooLarge_ = true;
    cells_.push_back(id);
    return cut;
}

int Workbook::RowCount() const {
    return static_cast<int>((cells_.size() + columnCount_ - 1) / columnCount_);
}

bool Workbook::Write(const StreamSink& sink) {
    if (written_ || tooLarge_)
        return false;
    written_ = true;
    strings_->Finish();
    strings_.reset(); // the index is no longer needed; free it before the sheet is written
    PutEof(globals_);
    PatchU32(globals_, boundSheetPos_, static_cast<std::uint32_t>(globals_.size()));
    if (!sink(globals_))
        return false;
    std::string().swap(globals_);

    const int rows = RowCount();
    std::string out;
    out.reserve(1 << 16);
    PutBof(out, 0x0010);
    {
        Record r(out, kDimensions);
        PutU32(out, 0);
        PutU32(out, static_cast<std::uint32_t>(rows)); // one past the last row
        PutU16(out, 0);
        PutU16(out, rows > 0 ? static_cast<unsigned>(columnCount_) : 0);
        PutU16(out, 0);
    }
    {
        Record r(out, kWindow2);
        PutU16(out, 0x06B6); // grid, headers, zeros, outline symbols; selected and shown
        PutU16(out, 0);      // top row
        PutU16(out, 0);      // left column
        PutU16(out, 0x40);   // grid line colour: automatic
        PutU16(out, 0);
        PutU16(out, 0); // zoom factors: default
        PutU16(out, 0);
        PutU16(out, 0);
        PutU16(out, 0);
    }
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        if (cells_[i] == kBlank)
            continue;
        PutU16(out, kLabelSst);
        PutU16(out, 10);
        PutU16(out, static_cast<unsigned>(i / columnCount_));
        PutU16(out, static_cast<unsigned>(i % columnCount_));
        PutU16(out, kCellXf);
        PutU32(out, cells_[i]);
        if (out.size() >= (1 << 16) - 16) {
            if (!sink(out))
                return false;
            out.clear();
        }
    }
    PutEof(out);
    return sink(out);
}

} // namespace gleaner::biff8
