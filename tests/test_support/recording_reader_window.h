#pragma once
// A reader window that writes down every effect the reader asks for, in
// order, as short texts: "show 2", "hide 5", "activate 4", "place 1 #3"
// (finger position, record number), "clear", "repaint", "busy", "idle".
#include <string>
#include <vector>

#include "nist/reader_window.h"

class RecordingReaderWindow : public nist::ReaderWindow {
public:
    void setRecordTabVisible(int recordType, bool visible) override
    {
        events.push_back((visible ? "show " : "hide ") + std::to_string(recordType));
    }
    void activateType4Page() override { events.push_back("activate 4"); }
    void placeFingerprint(const platform::Bitmap& bitmap, const nist::T_T4& record, int number) override
    {
        events.push_back("place " + record.FGP + " #" + std::to_string(number));
        placed.push_back(bitmap);
    }
    void clearFingerprints() override { events.push_back("clear"); }
    void repaint() override { events.push_back("repaint"); }
    void setBusyCursor(bool busy) override { events.push_back(busy ? "busy" : "idle"); }

    // The events other than the reset's own hide/clear/repaint burst.
    std::vector<std::string> afterReset() const
    {
        std::vector<std::string> out;
        bool resetSeen = false;
        for (const std::string& e : events) {
            if (e == "repaint") {
                resetSeen = true;
                out.clear();
                continue;
            }
            if (resetSeen)
                out.push_back(e);
        }
        return out;
    }

    std::vector<std::string> events;
    std::vector<platform::Bitmap> placed;
};
