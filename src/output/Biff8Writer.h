#pragma once
// The record layer of an Excel 97-2003 (BIFF8) workbook with one sheet of text cells. Every cell is
// a LABELSST pointing into the shared string table, so equal texts are stored once. The stream is
// built in memory and handed out in pieces; the OLE2 container around it is written elsewhere.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gleaner::biff8 {

constexpr std::size_t kMaxRecordData = 8224; // longest record body; longer data goes on in CONTINUE
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr std::size_t kMaxCellChars = 32767; // UTF-16 code units
constexpr std::size_t kMaxSheetNameChars = 31;

/// Cuts a text to the cell limit, never between the halves of a surrogate pair. True when cut.
bool CutToCellLimit(std::u16string& text);

/// True when Excel accepts the text as a sheet name: 1 to 31 characters, none of : \ / ? * [ ],
/// no control characters, not starting or ending with an apostrophe.
bool IsValidSheetName(std::u16string_view name);

/// Receives the stream in pieces; false stops the writing.
using StreamSink = std::function<bool(std::string_view bytes)>;

/// One workbook with one worksheet of `columnCount` columns. Cells are added row by row, left to
/// right; an empty text leaves its cell blank.
class Workbook {
public:
    Workbook(std::u16string_view sheetName, int columnCount);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    /// Adds the next cell. Texts over kMaxCellChars are cut (true is returned then). The caller
    /// keeps within kMaxRows rows.
    bool AddCell(std::u16string_view text);
    /// Rows begun so far (a row counts once its first cell is added).
    int RowCount() const;
    /// True when the strings no longer fit the format's 32-bit stream offsets; Write then fails.
    bool TooLarge() const { return tooLarge_; }

    /// Finishes the workbook globals and writes the whole "Workbook" stream to the sink. Call once.
    bool Write(const StreamSink& sink);

private:
    class StringTable;

    void BeginGlobals(std::u16string_view sheetName);

    int columnCount_;
    std::string globals_;           // workbook globals up to and including the SST
    std::size_t boundSheetPos_ = 0; // where the BOUNDSHEET's stream offset is patched in
    std::unique_ptr<StringTable> strings_;
    std::vector<std::uint32_t> cells_; // string index per cell, row-major; kBlank when empty
    bool tooLarge_ = false;
    bool written_ = false;
};

} // namespace gleaner::biff8
