#pragma once
// What the transaction reader asks of the window that shows a transaction.
// The desktop window implements it; every call has a do-nothing default, so a
// reader without a window (batch runs, nisttool) needs no implementation.
#include "nist/records.h"
#include "platform/bitmap.h"

namespace nist {

class ReaderWindow {
public:
    virtual ~ReaderWindow() = default;

    // Show or hide the tab of record type 1 to 16.
    virtual void setRecordTabVisible(int /*recordType*/, bool /*visible*/) {}
    // Make the Type-4 tab the active page.
    virtual void activateType4Page() {}
    // A decoded fingerprint: its bitmap, its record and its 1-based number in
    // file order. Both references are only valid during the call; copy what
    // must be kept.
    virtual void placeFingerprint(const platform::Bitmap& /*bitmap*/, const T_T4& /*record*/, int /*number*/) {}
    // Empty every thumbnail (0 x 0) and every label (empty, hidden).
    virtual void clearFingerprints() {}
    virtual void repaint() {}
    // Hourglass while a transaction is exported.
    virtual void setBusyCursor(bool /*busy*/) {}
};

}  // namespace nist
