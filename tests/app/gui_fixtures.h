#pragma once
// Shared pieces of the desktop program's tests: a fixture that records every
// message box, and builders of pictures, WSQ streams and transactions.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "nist/transaction_writer.h"
#include "platform/bitmap.h"
#include "platform/prompter.h"
#include "test_support/temp_dir.h"

class QDialog;

// Points the program's settings file ($NISTVIEWER_INI) at a file of its own
// for the lifetime of the object, and back afterwards.
class ScopedSettingsFile {
public:
    explicit ScopedSettingsFile(std::filesystem::path path);
    ~ScopedSettingsFile();
    ScopedSettingsFile(const ScopedSettingsFile&) = delete;
    ScopedSettingsFile& operator=(const ScopedSettingsFile&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string contents() const;

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Every message box recorded, and a settings file of the test's own, so that
// what one test's windows remember (sizes, recent files) never reaches the next.
class GuiTest : public ::testing::Test {
protected:
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter prompterScope{prompter};
    TempDir settingsDir;
    ScopedSettingsFile settings{settingsDir.path() / "nistviewer.ini"};
};

// width x height gray bytes (top row first) with ridge-like stripes; seed
// shifts the pattern so two prints differ.
std::vector<std::uint8_t> grayPattern(int width, int height, int seed);
// A 24-bit fingerprint bitmap of that pattern (blue = green = red = gray).
platform::Bitmap grayBitmap(int width, int height, int seed);
// The pattern compressed as WSQ at 0.75 bits per pixel, 500 ppi.
std::vector<std::uint8_t> wsqStream(int width, int height, int seed);

// A Type-4 image for the transaction writer with a real WSQ stream.
nist::Type4Image type4Image(int fingerPosition, int impression, int width, int height, int seed);

// Writes bytes to a file; fails the test when it cannot.
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

// One fingerprint of a test transaction.
struct PrintSpec {
    int position;
    int impression;
    int width;
    int height;
};
// A transaction with one Type-2 record holding type2Fields and one Type-4
// record per print, in the given order, written to path.
void writeTransaction(const std::filesystem::path& path, const std::vector<PrintSpec>& prints,
                      const std::vector<nist::TaggedField>& type2Fields);

// Answers the next modal dialog the code under test opens: action runs on it
// once it is shown (and should close it).
void answerNextModalDialog(std::function<void(QDialog&)> action);
