#pragma once
// The records of one type on their tab: for each record a Code / Value /
// Description table and, beside it, the record's image (or why it has none).
// The window decides what a press, a click and the context menu of an image do.
#include <QScrollArea>
#include <cstddef>
#include <functional>
#include <map>
#include <vector>

#include "app/record_pages.h"
#include "nist/nist_record.h"

class QLabel;
class QTableWidget;

namespace app {

class FingerprintThumbnail;

// The longest side of a record's picture beside its table.
inline constexpr int kRecordPictureSize = 220;

struct RecordImageActions {
    std::function<void(int recordIndex)> press;  // any button
    std::function<void(int recordIndex)> click;  // left button released over it
    std::function<void(int recordIndex, QPoint globalPos)> contextMenu;
};

class RecordListView : public QScrollArea {
public:
    RecordListView(const RecordPage& page, const std::vector<nist::NistRecord>& records,
                   const RecordImageActions& actions, QWidget* parent = nullptr);

    int recordType() const { return recordType_; }
    // The parts shown for records()[recordIndex]; null when it has none.
    QTableWidget* table(std::size_t recordIndex) const;
    FingerprintThumbnail* picture(std::size_t recordIndex) const;
    QLabel* imageNote(std::size_t recordIndex) const;

private:
    struct Parts {
        QTableWidget* table = nullptr;
        FingerprintThumbnail* picture = nullptr;
        QLabel* note = nullptr;
    };
    QWidget* buildRecord(const RecordEntry& entry, const nist::NistRecord& record, const RecordImageActions& actions);

    int recordType_;
    std::map<std::size_t, Parts> parts_;
};

// Picture size for a width-over-height aspect: the longer side longest.
QSize fittedPictureSize(double aspect, int longest);

}  // namespace app
