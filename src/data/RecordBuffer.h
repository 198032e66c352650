#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ws {

enum class TBookmarkFlag : std::uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

// One memo value cached with the row it was read from.
struct TBlobCacheEntry {
    bool Cached = false;
    bool IsNull = true;
    std::string Text;
};

// One slot of a data set's row window. The window moves rows by exchanging pointers to these
// buffers, never by copying their contents.
struct TRecordBuffer {
    // The engine's image of the row (the cursor's record size).
    std::vector<std::uint8_t> Record;
    // Calculated fields in field order: a flag byte (1 = has a value), then the value bytes.
    std::vector<std::uint8_t> CalcArea;
    // One entry per blob field.
    std::vector<TBlobCacheEntry> BlobCache;
    std::int32_t RecordNumber = -1;
    std::uint8_t UpdateStatus = 0;
    TBookmarkFlag BookmarkFlag = TBookmarkFlag::bfInserted;
    std::vector<std::uint8_t> Bookmark;

    void ClearCalcFields() { std::fill(CalcArea.begin(), CalcArea.end(), std::uint8_t{0}); }
    void ClearBlobCache() {
        for (TBlobCacheEntry& entry : BlobCache)
            entry = {};
    }
};

} // namespace ws
