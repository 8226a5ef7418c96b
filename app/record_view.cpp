#include "app/record_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/finger_map.h"
#include "app/record_table_model.h"
#include "qt/qt_bitmap.h"
#include "qt/qt_text.h"

namespace app {

namespace {

constexpr int kCodeColumnWidth = 64;
constexpr int kValueColumnWidth = 200;
constexpr int kDescriptionColumnWidth = 220;

// A read-only table as tall as its rows: the list scrolls, not the table.
QTableWidget* buildTable(const std::vector<RecordRow>& rows, QWidget* parent)
{
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 3, parent);
    table->setHorizontalHeaderLabels({QStringLiteral("Code"), QStringLiteral("Value"), QStringLiteral("Description")});
    table->verticalHeader()->hide();
    // Compact rows: a tab may list dozens of records.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    table->setItemDelegate(new RecordCellDelegate(table));
    table->setWordWrap(false);
    table->setColumnWidth(0, kCodeColumnWidth);
    table->setColumnWidth(1, kValueColumnWidth);
    table->setColumnWidth(2, kDescriptionColumnWidth);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const RecordRow& row = rows[static_cast<std::size_t>(r)];
        table->setItem(r, 0, new QTableWidgetItem(fromSystemText(row.code)));
        table->setItem(r, 1, new QTableWidgetItem(fromFieldBytes(row.value)));
        table->setItem(r, 2, new QTableWidgetItem(fromSystemText(row.description)));
    }
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + table->verticalHeader()->length() +
                          2 * table->frameWidth());
    return table;
}

}  // namespace

QSize fittedPictureSize(double aspect, int longest)
{
    if (!(aspect > 0))
        aspect = 1.0;
    if (aspect > 1)
        return QSize(longest, std::max(1, static_cast<int>(std::trunc(longest / aspect))));
    return QSize(std::max(1, static_cast<int>(std::trunc(longest * aspect))), longest);
}

RecordListView::RecordListView(const RecordPage& page, const std::vector<nist::NistRecord>& records,
                               const RecordImageActions& actions, QWidget* parent)
    : QScrollArea(parent), recordType_(page.recordType)
{
    setObjectName(QStringLiteral("RecordList%1").arg(page.recordType));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    for (const RecordEntry& entry : page.records)
        layout->addWidget(buildRecord(entry, records.at(entry.recordIndex), actions));
    layout->addStretch(1);
    setWidget(content);
}

QWidget* RecordListView::buildRecord(const RecordEntry& entry, const nist::NistRecord& record,
                                     const RecordImageActions& actions)
{
    auto* box = new QGroupBox(fromSystemText(entry.heading));
    auto* row = new QHBoxLayout(box);
    Parts parts;
    parts.table = buildTable(entry.rows, box);
    row->addWidget(parts.table, 1, Qt::AlignTop);
    const int index = static_cast<int>(entry.recordIndex);
    if (entry.hasImage && entry.imageNote.empty()) {
        const platform::Bitmap& bitmap = record.image.bitmap;
        auto* picture = new FingerprintThumbnail(index, box);
        picture->setObjectName(QStringLiteral("RecordImage%1").arg(index));
        picture->setFixedSize(fittedPictureSize(static_cast<double>(bitmap.width()) / bitmap.height(),
                                                kRecordPictureSize));
        picture->setPicture(toQImage(bitmap));
        picture->setToolTip(QStringLiteral("%1 x %2").arg(bitmap.width()).arg(bitmap.height()));
        picture->onMouseDown = actions.press;
        picture->onClick = actions.click;
        picture->onContextMenu = actions.contextMenu;
        parts.picture = picture;
        row->addWidget(picture, 0, Qt::AlignTop);
    } else if (entry.hasImage) {
        auto* note = new QLabel(fromSystemText(entry.imageNote), box);
        note->setObjectName(QStringLiteral("RecordImageNote%1").arg(index));
        note->setWordWrap(true);
        note->setFixedWidth(kRecordPictureSize);
        note->setFrameShape(QFrame::StyledPanel);
        note->setAlignment(Qt::AlignCenter);
        note->setMinimumHeight(kRecordPictureSize / 2);
        parts.note = note;
        row->addWidget(note, 0, Qt::AlignTop);
    }
    parts_[entry.recordIndex] = parts;
    return box;
}

QTableWidget* RecordListView::table(std::size_t recordIndex) const
{
    const auto it = parts_.find(recordIndex);
    return it == parts_.end() ? nullptr : it->second.table;
}

FingerprintThumbnail* RecordListView::picture(std::size_t recordIndex) const
{
    const auto it = parts_.find(recordIndex);
    return it == parts_.end() ? nullptr : it->second.picture;
}

QLabel* RecordListView::imageNote(std::size_t recordIndex) const
{
    const auto it = parts_.find(recordIndex);
    return it == parts_.end() ? nullptr : it->second.note;
}

}  // namespace app
