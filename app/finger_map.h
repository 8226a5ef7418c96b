#pragma once
// The finger map on the Type-4 tab: two hand drawings with one thumbnail slot
// per finger position 1 to 14, a label per slot and the check box that shows
// or hides the labels. The window decides what a press or a click does.
#include <QImage>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "nist/records.h"
#include "platform/bitmap.h"

class QCheckBox;
class QLabel;
class QMenu;

namespace app {

inline constexpr int kFingerPositions = 14;
inline constexpr int kThumbnailSize = 100;

// A thumbnail: stretches its picture to its own size.
class FingerprintThumbnail : public QWidget {
public:
    FingerprintThumbnail(int position, QWidget* parent);

    int position() const { return position_; }
    void setPicture(QImage picture);
    const QImage& picture() const { return picture_; }

    std::function<void(int position)> onMouseDown;    // any button
    std::function<void(int position)> onClick;        // left button released over it
    std::function<void(int position, QPoint globalPos)> onContextMenu;

    // What a press, a click and a context-menu request do, for the thumbnail
    // and for the label above it alike.
    void press();
    void click();
    void requestContextMenu(QPoint globalPos);

    // The picture as painted: at the thumbnail's size in device pixels.
    const QImage& shownPicture() const { return scaled_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void rescale();

    int position_;
    qreal scaledRatio_ = 1;
    QImage picture_;
    QImage scaled_;  // the picture at the thumbnail's size, made once per change
};

class HandImage;

class FingerMap : public QWidget {
public:
    explicit FingerMap(QWidget* parent = nullptr);

    // Places a decoded fingerprint in the slot of its finger position. Returns
    // the position (1 to 14), or 0 when the record's position has no slot.
    int placeFingerprint(const platform::Bitmap& bitmap, const nist::T_T4& record);
    // Places a print in the slot of a position 1 to 14 with its thumbnail
    // aspect (width over height) and its label text.
    void placePrint(int position, const platform::Bitmap& bitmap, double aspect, const std::string& labelText);
    // Every thumbnail empty and 0 x 0, every label empty and hidden.
    void clear();
    // Shows the labels that have text when the check box is checked, hides them otherwise.
    void ShowFingerprintInfoCheckBoxClick();

    FingerprintThumbnail* thumbnail(int position) const { return thumbnails_[position - 1]; }
    QLabel* label(int position) const { return labels_[position - 1]; }

    HandImage* Image15 = nullptr;  // left hand
    HandImage* Image16 = nullptr;  // right hand
    QCheckBox* ShowFingerprintInfoCheckBox = nullptr;

    // Top-left corner of the thumbnail slot of a finger position, in map coordinates.
    static QPoint thumbnailOrigin(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Sizes a label to its text, lines wrapped to the width of its slot.
    void fitLabel(QLabel& label) const;

    std::array<FingerprintThumbnail*, kFingerPositions> thumbnails_{};
    std::array<QLabel*, kFingerPositions> labels_{};
};

// The widest a label may be: it stays inside its thumbnail's column, clear of
// the neighbouring slots.
inline constexpr int kLabelMaxWidth = kThumbnailSize - 4;

// A picture stretched to size logical pixels at a device pixel ratio: the
// image has size * ratio pixels and carries the ratio.
QImage thumbnailImage(const QImage& picture, QSize size, qreal devicePixelRatio);
// Thumbnail size for a display aspect (width / height): the longer side 100.
QSize thumbnailSize(double aspect);
// The label text of a fingerprint: finger position, impression type and size on three lines.
std::string fingerprintLabelText(const nist::T_T4& record);

}  // namespace app
