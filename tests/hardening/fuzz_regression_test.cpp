// Every input a fuzz target found a fault with (tests/data/fuzz/, each listed
// in tests/data/README.md with what it triggered) goes through the entry point
// it was found with and must end in a result, never a sanitizer report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "alloc_hooks.h"
#include "imagelib/image_library.h"
#include "imagelib/limits.h"
#include "imagelib/tiff.h"
#include "imagelib/wsq_file.h"
#include "nist/transaction_reader.h"
#include "pictures/picture_io.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "wsq/wsq.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> regressionInputs()
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(NV_TEST_DATA_DIR) / "fuzz"))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(FuzzRegression, EveryKeptInputEndsInAResult)
{
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    // The picture limit the WSQ fuzz target runs with.
    imagelib::ImageLimits fuzzing;
    fuzzing.maxImageBytes = std::uint64_t{4} << 20;
    imagelib::ScopedImageLimits limits(fuzzing);
    const std::vector<fs::path> files = regressionInputs();
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const std::string ext = file.extension().string();
        SCOPED_TRACE(file.filename().string());
        if (ext == ".nist") {
            nist::TransactionReader reader;
            try {
                reader.loadNistFile(file);
            } catch (const std::runtime_error&) {
                // a conversion error ends the load, as the front end shows it
            }
            EXPECT_EQ(reader.fingerprintBitmaps().size(), reader.fingerprintInfo().size());
        } else if (ext == ".wsqstream") {
            const platform::FileContents bytes = platform::readWholeFile(file);
            std::vector<unsigned char> out;
            int w = -1, h = -1, d = -1, ppi = -1, lossy = -1;
            const int rc = wsq_decode_mem(&out, &w, &h, &d, &ppi, &lossy, bytes.bytes.data(), bytes.bytes.size());
            EXPECT_EQ(rc == 0, !out.empty());
        } else if (ext == ".wmf" || ext == ".emf") {
            std::size_t largest = 0;
            {
                allochooks::Armed counting(0);
                const pictures::OpenResult result = pictures::openPicture(file.string());
                EXPECT_EQ(result.error.empty(), !result.picture.bitmap.empty());
                largest = allochooks::largestRequest();
            }
            // The player's own buffers included (C allocations are counted
            // outside AddressSanitizer builds): the largest is the object
            // table the header asks for, 48 bytes a slot, at most 65535 slots.
            EXPECT_LE(largest, std::size_t{48} * 65535);
        } else {
            imagelib::WsqImageInfo wsq;
            imagelib::TiffOptions tiff;
            void* info = ext == ".wsq" ? static_cast<void*>(&wsq) : ext == ".tif" ? static_cast<void*>(&tiff) : nullptr;
            std::size_t largest = 0;
            {
                allochooks::Armed counting(0);
                const auto bitmap = imagelib::LoadImageToBitmap(file.string(), info, 0);
                EXPECT_EQ(bitmap != nullptr, imagelib::GetLastImageError() == 0);
                largest = allochooks::largestRequest();
            }
            // None of these pictures holds more than a few kilobytes of pixels.
            EXPECT_LT(largest, std::size_t{1} << 20);
        }
    }
}

// A 2.5 KB stream whose frame is 128 x 65297 pixels but whose blocks carry
// only 917 indices: it decodes to the same pixels as before the decoder
// stopped materialising the indices a stream does not carry, flat gray below
// what those indices reach.
TEST(FuzzRegression, StreamCarryingFewIndicesOfAHugeFrame)
{
    const platform::FileContents bytes =
        platform::readWholeFile(fs::path(NV_TEST_DATA_DIR) / "fuzz" / "slow_decode.wsqstream");
    ASSERT_EQ(bytes.status, platform::ReadStatus::Ok);
    std::vector<unsigned char> out;
    int w = -1, h = -1, d = -1, ppi = -1, lossy = -1;
    ASSERT_EQ(wsq_decode_mem(&out, &w, &h, &d, &ppi, &lossy, bytes.bytes.data(), bytes.bytes.size()), 0);
    ASSERT_EQ(w, 128);
    ASSERT_EQ(h, 65297);
    std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
    for (unsigned char b : out)
        hash = (hash ^ b) * 0x100000001b3ULL;
    EXPECT_EQ(hash, 0x3d942fa75d1d2eecULL);
    const auto flat = std::find_if(out.begin() + 7386 * 128, out.end(), [](unsigned char b) { return b != 182; });
    EXPECT_TRUE(flat == out.end());
}

// A 741-byte WSQ file of 63327 x 96 pixels: decoded under the default
// limits, refused as too large for memory under a smaller picture limit,
// before the codec allocates for the frame.
TEST(FuzzRegression, WsqFrameWithinThePictureLimit)
{
    const std::string file = (fs::path(NV_TEST_DATA_DIR) / "fuzz" / "wide_frame.wsq").string();
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    imagelib::WsqImageInfo info;
    const auto bitmap = imagelib::LoadImageToBitmap(file, &info, 0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width(), 63327);
    imagelib::ImageLimits small;
    small.maxImageBytes = 3 * 63327 * 96 - 1;
    imagelib::ScopedImageLimits limits(small);
    std::size_t largest = 0;
    {
        allochooks::Armed counting(0);
        EXPECT_FALSE(imagelib::LoadImageToBitmap(file, &info, 0));
        largest = allochooks::largestRequest();
    }
    EXPECT_EQ(imagelib::GetLastImageError(), imagelib::kImageNoMemory);
    EXPECT_LT(largest, std::size_t{1} << 20);
}

}  // namespace
