#pragma once
// What the NIST viewer window shows of the records beyond Type-1, Type-2 and
// Type-4, worked out without Qt: which records go on which tab, the rows of
// each record's table, what stands in place of an image that could not be
// decoded, the Type-13/14 prints that go on the finger map, and which tab
// Ctrl+Tab moves to.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "nist/nist_record.h"
#include "nist/records.h"
#include "platform/bitmap.h"

namespace app {

// The record types with a tab of their own, 1 to 16; types above 16 get
// tabs of their own while a file holds them.
inline constexpr int kFixedRecordTabs = 16;

struct RecordRow {
    std::string code;         // the field's mnemonic, or its tag when it has none
    std::string value;
    std::string description;  // empty when the field has no known name
    bool operator==(const RecordRow&) const = default;
};

// One record on its type's tab.
struct RecordEntry {
    std::size_t recordIndex = 0;  // into TransactionReader::records()
    std::string heading;          // "Record 14.3"
    std::vector<RecordRow> rows;
    bool hasImage = false;
    // Shown in place of the picture when it has no bitmap; empty when it has one.
    std::string imageNote;
};

struct RecordPage {
    int recordType = 0;
    std::string caption;
    std::vector<RecordEntry> records;  // in file order
};

// Pages for every record type present but 1, 2 and 4 (they have their own
// tables and the finger map), in ascending type order.
std::vector<RecordPage> recordPages(const std::vector<nist::NistRecord>& records);

// The table of one record: every field in file order, the image field left out.
std::vector<RecordRow> recordRows(const nist::NistRecord& record);

// Why a record's image has no picture: the decode's reason, or that it was
// not decoded; empty when there is a picture (or the record has no image).
std::string imageNote(const nist::NistRecord& record);

// Whether a record's image bytes are a WSQ stream that can be saved unchanged.
bool holdsWsqImage(const nist::NistRecord& record);

// A Type-13 or Type-14 print that goes on the finger map.
struct MapPrint {
    int position = 0;             // finger position 1 to 14
    std::size_t recordIndex = 0;  // into records()
    std::string label;            // finger position, impression type and size on three lines
    double aspect = 1.0;          // width over height for the thumbnail
    bool operator==(const MapPrint&) const = default;
};

// Positions 1 to 14 (index 0 unused) that a decoded Type-4 print holds.
std::array<bool, 15> positionsHeldByType4(const std::vector<nist::T_T4>& type4Records,
                                          const std::vector<platform::Bitmap>& bitmaps);

// The decoded Type-13/14 prints of positions 1 to 14 that no Type-4 print
// holds; of several at one position the last in the file.
std::vector<MapPrint> mapPrints(const std::vector<nist::NistRecord>& records, const std::array<bool, 15>& heldByType4);

// The tab Ctrl+Tab (step +1) or Ctrl+Shift+Tab (step -1) moves to from
// current: the next visible one, wrapping around; current when no other is
// visible.
int nextVisibleTab(const std::vector<bool>& visible, int current, int step);

}  // namespace app
