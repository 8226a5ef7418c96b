// Every reader of a user's file, fed a good small file cut at every offset and
// with single bytes damaged: the transaction reader for each record type it
// knows, and each picture class of the registry. Each input ends in a result
// (a picture, a recorded problem) or the reader's own error, and no single
// allocation exceeds what such a small file could justify (the sanitizer
// build watches the reads and leaks). Offsets are sampled in large files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "alloc_hooks.h"
#include "imagelib/memory_codecs.h"
#include "nist/transaction_reader.h"
#include "pictures/registry.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/every_record_type.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The largest single allocation any of the small inputs below may cost: far
// more than any of them holds, far less than a picture size read from a
// damaged header could ask for.
constexpr std::size_t kMostForOneRequest = std::size_t{64} << 20;

// Every offset of a file up to budget bytes; of a larger one the first
// budget / 2 (its headers) and budget / 2 spread over the rest.
std::vector<std::size_t> offsetsOf(std::size_t from, std::size_t to, std::size_t budget)
{
    std::vector<std::size_t> offsets;
    const std::size_t span = to - from;
    const std::size_t head = span <= budget ? span : budget / 2;
    for (std::size_t at = from; at < from + head; ++at)
        offsets.push_back(at);
    if (head < span) {
        const std::size_t step = std::max<std::size_t>(1, (span - head) / (budget - head));
        for (std::size_t at = from + head; at < to; at += step)
            offsets.push_back(at);
        if (offsets.back() != to - 1)
            offsets.push_back(to - 1);
    }
    return offsets;
}

// A single input that takes longer than this has hung.
constexpr double kMostSecondsForOneInput = 5.0;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The three damages of one byte.
std::vector<Bytes> damagedAt(const Bytes& good, std::size_t at)
{
    std::vector<Bytes> files(3, good);
    files[0][at] = 0;
    files[1][at] = 0xFF;
    files[2][at] ^= 0x80;
    return files;
}

// ---- transactions ----------------------------------------------------------

struct ReadOutcome {
    bool ok = true;
    std::string broken;
    bool complete = false;
};

ReadOutcome readTransaction(nist::TransactionReader& reader, const Bytes& bytes)
{
    ReadOutcome outcome;
    std::size_t largest = 0;
    const auto started = std::chrono::steady_clock::now();
    {
        allochooks::Armed counting(0);
        try {
            reader.loadNistBytes(bytes);
        } catch (const std::runtime_error&) {
            // a malformed number ends the load with its recorded error
        } catch (const std::logic_error&) {
            // a Type-2 field without a table row (GridIndexError), recorded
        }
        largest = allochooks::largestRequest();
    }
    if (largest > kMostForOneRequest) {
        outcome.ok = false;
        outcome.broken = "an allocation of " + std::to_string(largest) + " bytes";
    }
    if (const double took = secondsSince(started); took > kMostSecondsForOneInput) {
        outcome.ok = false;
        outcome.broken = "the read took " + std::to_string(took) + " s";
    }
    const std::size_t type4 = reader.type4Records().size();
    if (reader.fingerprintBitmaps().size() != type4 || reader.fingerprintInfo().size() != type4) {
        outcome.ok = false;
        outcome.broken = "Type-4 records, bitmaps and decode results disagree";
    }
    for (const nist::NistRecord& r : reader.records())
        if (r.offset < 0 || r.offset > static_cast<std::int64_t>(bytes.size())) {
            outcome.ok = false;
            outcome.broken = "a record outside the file";
        }
    outcome.complete = reader.completeness() == nist::Completeness::Complete;
    return outcome;
}

TEST(DamageSweep, TransactionReaderEveryRecordType)
{
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    nist::TransactionReader reader;
    reader.decodeImages = true;
    reader.showMessages = false;
    for (int type : fixtures::everyRecordType()) {
        const auto started = std::chrono::steady_clock::now();
        const fixtures::SingleRecordTransaction t = fixtures::transactionWithRecord(type);
        SCOPED_TRACE("Type-" + std::to_string(type) + " record, " + std::to_string(t.bytes.size()) + " bytes");
        ASSERT_TRUE(readTransaction(reader, t.bytes).complete);
        ASSERT_EQ(reader.records().size(), 2u);
        EXPECT_EQ(reader.records()[1].type, type);
        // The Type-1 record is the same in every file: cut and damaged in the
        // first one only.
        const std::size_t from = type == fixtures::everyRecordType().front() ? 0 : t.recordStart;
        int failures = 0;
        for (std::size_t at : offsetsOf(from, t.bytes.size(), 300)) {
            const ReadOutcome cut = readTransaction(reader, Bytes(t.bytes.begin(), t.bytes.begin() + at));
            if (!cut.ok && ++failures <= 3)
                ADD_FAILURE() << "cut at " << at << ": " << cut.broken;
            if (cut.complete && ++failures <= 3)
                ADD_FAILURE() << "cut at " << at << " read as complete";
            for (const Bytes& file : damagedAt(t.bytes, at)) {
                const ReadOutcome damaged = readTransaction(reader, file);
                if (!damaged.ok && ++failures <= 3)
                    ADD_FAILURE() << "byte " << at << " damaged: " << damaged.broken;
            }
        }
        EXPECT_EQ(failures, 0);
        std::printf("  Type-%d: %zu bytes, %.2f s\n", type, t.bytes.size(), secondsSince(started));
    }
}

// ---- pictures --------------------------------------------------------------

std::string dataFile(const std::string& name) { return std::string(NV_TEST_DATA_DIR) + "/" + name; }

Bytes fileBytes(const std::string& path)
{
    platform::FileContents contents = platform::readWholeFile(path);
    EXPECT_EQ(contents.status, platform::ReadStatus::Ok) << path;
    return contents.bytes;
}

// A Photo-CD image pack: its base image 768 x 512 in 256 row pairs of
// luma and both chroma lines, mid gray.
Bytes photoCd()
{
    constexpr std::size_t kBase = 0x30000;
    Bytes f(kBase + 2304 * 256, 0);
    std::memcpy(f.data() + 0x800, "PCD_IPI", 7);
    for (int pair = 0; pair < 256; ++pair) {
        std::uint8_t* p = f.data() + kBase + 2304 * pair;
        std::memset(p, 100 + pair % 50, 1536);
        std::memset(p + 1536, 156, 384);
        std::memset(p + 1920, 137, 384);
    }
    return f;
}

std::string ppmFile()
{
    std::string f = "P6\n# made by hand\n3 2\n255\n";
    for (int i = 0; i < 18; ++i)
        f += static_cast<char>(i * 14);
    return f;
}

// A JPEG 2000 file (JP2 boxes around the codestream) of 16 x 12 gray pixels.
Bytes jpeg2000File()
{
    return imagelib::encodeJpeg2000Bytes(fixtures::pattern(16, 12, 1, 2).data(), 16, 12, 1, true);
}

struct PictureFixture {
    const char* className;
    std::string path;   // the fixture, or the name it is loaded under (a companion file lies beside it)
    Bytes bytes;
    std::size_t budget = 600;  // offsets cut and damaged (see offsetsOf)
};

std::vector<PictureFixture> pictureFixtures()
{
    const std::string corpus = dataFile("../../fuzz/corpus/");
    auto file = [](const char* cls, const std::string& path, std::size_t budget = 600) {
        return PictureFixture{cls, path, fileBytes(path), budget};
    };
    const std::string ppm = ppmFile();
    return {
        file("TBitmap", dataFile("bmp/v5_rle8.bmp")),
        file("TIcon", dataFile("ico_platform/pal.ico")),
        file("TMetafile", dataFile("sweep/shapes.wmf")),
        file("TMetafile", dataFile("sweep/bitmap.emf")),
        file("TJPEGImage", dataFile("jpeg/rgb.jpg")),
        file("TTargaGraphic", dataFile("tga/cmap_rle.tga")),
        file("TTIFFGraphic", dataFile("tiff/rgb_lzw_pred.tif")),
        file("TEPSGraphic", dataFile("sweep/preview.eps")),
        file("TPCXGraphic", dataFile("pcx/packed16.pcx")),
        file("TRLAGraphic", dataFile("sweep/rgb_matte.rla")),
        file("TSGIGraphic", dataFile("sgi/rgb_rle.rgb")),
        file("TPSDGraphic", dataFile("psd/gray_rle.psd")),
        PictureFixture{"TPPMGraphic", "", Bytes(ppm.begin(), ppm.end())},
        file("TAutodeskGraphic", corpus + "image_cel/animator.cel"),
        // Only its header is parsed; every byte of the samples is a valid one.
        PictureFixture{"TPCDGraphic", "", photoCd(), 40},
        file("TCUTGraphic", dataFile("sweep/scan.cut")),
        file("TPSPGraphic", dataFile("sweep/rgb_layer_rle.psp")),
        file("TPNGGraphic", dataFile("png/palette_trns3.png")),
        file("TWSQImage", corpus + "image_wsq/small.wsq", 300),
        file("TTIFFImage", dataFile("tiff/g4_miniswhite.tif")),
        file("TPNGImage", dataFile("png/rgb_interlaced.png")),
        file("TGIFImage", dataFile("gif/colors16.gif")),
        file("TTGAImage", dataFile("tga/rle24_topleft.tga")),
        file("TCELImage", corpus + "image_cel/animator_pro.cel"),
        file("TRGBImage", dataFile("sgi/rgba_rle.rgb")),
        file("TPCXImage", dataFile("pcx/colors256.pcx")),
        file("TIFFImage", corpus + "image_iff/pbm.iff"),
        PictureFixture{"TJPEG2000Graphic", "", jpeg2000File()},
    };
}

// Loads and reads the properties of one input; empty when both kept the
// contract (a picture or PictureFormatError), else what went wrong.
std::string loadDamaged(const pictures::PictureClass& cls, const Bytes& file, const std::string& source)
{
    const pictures::Bytes bytes(file.data(), file.size());
    std::string broken;
    std::size_t largest = 0;
    const auto started = std::chrono::steady_clock::now();
    {
        allochooks::Armed counting(0);
        try {
            if (cls.load(bytes, source).bitmap.empty())
                broken = "an empty picture without an error";
        } catch (const pictures::PictureFormatError&) {
        } catch (const std::exception& e) {
            broken = std::string("load raised ") + e.what();
        }
        try {
            (void)cls.readProperties(bytes);
        } catch (const pictures::PictureFormatError&) {
        } catch (const std::exception& e) {
            broken = std::string("readProperties raised ") + e.what();
        }
        largest = allochooks::largestRequest();
    }
    if (largest > kMostForOneRequest)
        broken = "an allocation of " + std::to_string(largest) + " bytes";
    if (const double took = secondsSince(started); took > kMostSecondsForOneInput)
        broken = "the load took " + std::to_string(took) + " s";
    return broken;
}

TEST(DamageSweep, EveryPictureClassOfTheRegistry)
{
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    std::map<std::string, pictures::PictureClassFactory> classes;
    for (const pictures::PictureFormat& f : pictures::pictureRegistry().formats())
        classes.emplace(f.className, f.create);
    const std::vector<PictureFixture> fixtures = pictureFixtures();
    std::set<std::string> covered;
    for (const PictureFixture& f : fixtures)
        covered.insert(f.className);
    for (const auto& [name, create] : classes)
        EXPECT_TRUE(covered.count(name)) << name << " has no fixture here";

    for (const PictureFixture& f : fixtures) {
        SCOPED_TRACE(std::string(f.className) + " " + (f.path.empty() ? "(made here)" : f.path));
        ASSERT_TRUE(classes.count(f.className));
        const auto started = std::chrono::steady_clock::now();
        const std::unique_ptr<pictures::PictureClass> cls = classes[f.className]();
        ASSERT_FALSE(cls->load(pictures::Bytes(f.bytes.data(), f.bytes.size()), f.path).bitmap.empty());
        int failures = 0;
        for (std::size_t at : offsetsOf(0, f.bytes.size(), f.budget)) {
            const std::string cut = loadDamaged(*cls, Bytes(f.bytes.begin(), f.bytes.begin() + at), f.path);
            if (!cut.empty() && ++failures <= 3)
                ADD_FAILURE() << "cut at " << at << ": " << cut;
            for (const Bytes& file : damagedAt(f.bytes, at)) {
                const std::string damaged = loadDamaged(*cls, file, f.path);
                if (!damaged.empty() && ++failures <= 3)
                    ADD_FAILURE() << "byte " << at << " damaged: " << damaged;
            }
        }
        EXPECT_EQ(failures, 0);
        std::printf("  %s: %zu bytes, %.2f s\n", f.className, f.bytes.size(), secondsSince(started));
    }
}

}  // namespace
