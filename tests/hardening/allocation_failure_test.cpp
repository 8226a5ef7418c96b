// Every allocation of an operation made to fail in turn, first, second, ...
// until the operation runs through without needing the failing one: each run
// must end in the operation's own failure code with its outputs untouched, and
// (under AddressSanitizer) leak nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "alloc_hooks.h"
#include "imagelib/image_library.h"
#include "imagelib/wsq_file.h"
#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/every_record_type.h"
#include "test_support/temp_dir.h"
#include "tools/synthetic_fingerprint.h"
#include "wsq/wsq.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Enough for every operation below on its small fixture; a loop that gets here
// has stopped testing anything new.
constexpr long kMaxFailurePoint = 20000;

// One operation under test: setup runs before each try, outside the count;
// run calls the operation and says whether its result kept the contract
// (broken says how not); untouched, when given, tolerates an escaping
// bad_alloc as long as the outputs show nothing of the failed call.
struct Operation {
    std::function<void()> setup = [] {};
    std::function<bool(std::string& broken)> run;
    std::function<bool()> untouched;
    bool cAllocations = true;  // fail C allocations too (where they are counted)
};

// Runs the operation with allocation 1, 2, ... failing until it needs fewer
// allocations than the failure point.
void failEachAllocation(const std::string& what, const Operation& op)
{
    long point = 1;
    int failures = 0;
    std::string broken;
    broken.reserve(200);
    for (; point <= kMaxFailurePoint; ++point) {
        broken.clear();
        op.setup();
        bool ok = false;
        bool hit = false;
        bool escaped = false;
        {
            allochooks::Armed armed(point, op.cAllocations);
            try {
                ok = op.run(broken);
            } catch (const std::bad_alloc&) {
                escaped = true;
            }
            hit = allochooks::failureHappened();
        }
        if (escaped) {
            ok = op.untouched && op.untouched();
            broken = op.untouched ? "std::bad_alloc escaped and the outputs changed" : "std::bad_alloc escaped";
        }
        if (!ok && ++failures <= 3)
            ADD_FAILURE() << what << ": allocation " << point << " failing: " << broken;
        if (!hit)
            break;
    }
    EXPECT_EQ(failures, 0) << what << ": runs that broke the contract, of " << point;
    EXPECT_LE(point, kMaxFailurePoint) << what << " still allocating";
}

Bytes smallWsq()
{
    const Bytes pixels = tools::makeSyntheticFingerprint(96, 96, 5);
    Bytes stream;
    EXPECT_EQ(wsq_encode_1(&stream, 0.75f, pixels.data(), 96, 96, 8, 500, std::string_view("NIST_COM 1\nX 1")), 0);
    return stream;
}

std::string dataFile(const std::string& name) { return std::string(NV_TEST_DATA_DIR) + "/" + name; }

// Decoding and encoding keep their outputs as they were when an allocation
// fails, and give the failure back as the operation's code (the second test
// of each) rather than as std::bad_alloc.
struct WsqDecodeRun {
    Bytes stream = smallWsq();
    std::vector<unsigned char> out;
    int w = 0, h = 0, d = 0, ppi = 0, lossy = 0;

    bool untouched() const { return out.empty() && w == -7 && h == -7 && d == -7 && ppi == -7 && lossy == -7; }
    Operation operation(bool tolerateEscape)
    {
        Operation op;
        op.setup = [this] {
            out.clear();
            out.shrink_to_fit();
            w = h = d = ppi = lossy = -7;
        };
        op.run = [this](std::string& broken) {
            const int rc = wsq_decode_mem(&out, &w, &h, &d, &ppi, &lossy, stream.data(), stream.size());
            if (rc == 0)
                return w == 96 && h == 96 && out.size() == 96u * 96u;
            if (rc > 0 || !untouched()) {
                broken = "out-parameters written";
                return false;
            }
            return true;
        };
        if (tolerateEscape)
            op.untouched = [this] { return untouched(); };
        return op;
    }
};

TEST(AllocationFailure, WsqDecodeWritesNothingWhenMemoryRunsOut)
{
    WsqDecodeRun run;
    failEachAllocation("wsq_decode_mem", run.operation(true));
}

TEST(AllocationFailure, WsqDecodeReportsMemoryFailuresAsCodes)
{
    WsqDecodeRun run;
    failEachAllocation("wsq_decode_mem", run.operation(false));
}

struct WsqEncodeRun {
    Bytes pixels = tools::makeSyntheticFingerprint(96, 96, 6);
    const std::vector<unsigned char> before{1, 2, 3};
    std::vector<unsigned char> out;

    Operation operation(bool tolerateEscape)
    {
        Operation op;
        op.setup = [this] { out = before; };
        op.run = [this](std::string& broken) {
            const int rc = wsq_encode_1(&out, 0.75f, pixels.data(), 96, 96, 8, 500, std::string_view("a comment"));
            if (rc == 0)
                return out.size() > 100;
            if (rc > 0 || out != before) {
                broken = "the output changed";
                return false;
            }
            return true;
        };
        if (tolerateEscape)
            op.untouched = [this] { return out == before; };
        return op;
    }
};

TEST(AllocationFailure, WsqEncodeLeavesTheOutputAloneWhenMemoryRunsOut)
{
    WsqEncodeRun run;
    failEachAllocation("wsq_encode_1", run.operation(true));
}

TEST(AllocationFailure, WsqEncodeReportsMemoryFailuresAsCodes)
{
    WsqEncodeRun run;
    failEachAllocation("wsq_encode_1", run.operation(false));
}

// One transaction read with allocation 1, 2, ... failing: the file is
// either refused whole with its message (nothing of it kept), or read with
// every record, each with its decode result. A record is never half kept.
struct TransactionRun {
    TempDir dir;
    std::filesystem::path path = dir.path() / "small.nist";
    std::size_t type4Count = 0;
    std::size_t recordCount = 0;
    platform::RecordingPrompter prompter;
    std::unique_ptr<nist::TransactionReader> reader;

    explicit TransactionRun(const Bytes& bytes)
    {
        EXPECT_TRUE(platform::writeWholeFile(path, bytes.data(), bytes.size()));
        nist::TransactionReader whole;
        platform::ScopedPrompter quiet(prompter);
        EXPECT_TRUE(whole.loadNistFile(path));
        type4Count = whole.type4Records().size();
        recordCount = whole.records().size();
        prompter.entries.reserve(100);
    }
    bool consistent() const
    {
        return reader->fingerprintBitmaps().size() == reader->fingerprintInfo().size() &&
               reader->fingerprintBitmaps().size() == reader->type4Records().size();
    }
    Operation operation()
    {
        Operation op;
        op.setup = [this] {
            reader = std::make_unique<nist::TransactionReader>();
            prompter.clear();
        };
        op.run = [this](std::string& broken) {
            const bool loaded = reader->loadNistFile(path);
            if (!loaded) {
                if (reader->records().empty() && reader->type4Records().empty() && reader->type1().LEN == 0 &&
                    reader->fingerprintBitmaps().empty())
                    return true;  // the whole file was refused with its message
                broken = "a refused file left records behind";
                return false;
            }
            if (reader->type4Records().size() != type4Count || reader->records().size() != recordCount ||
                !consistent()) {
                broken = "records and bitmaps disagree";
                return false;
            }
            return true;
        };
        return op;
    }
};

Bytes smallType4Transaction()
{
    nist::TransactionWriter writer;
    writer.addType2Record({{18, "DOE,JOHN"}});
    nist::Type4Image image;
    image.idc = 2;
    image.fgp[0] = 1;
    image.hll = 96;
    image.vll = 96;
    image.data = smallWsq();
    writer.addType4Record(image);
    return writer.build();
}

TEST(AllocationFailure, TransactionReaderRefusesTheFileWhenMemoryRunsOut)
{
    TransactionRun run(smallType4Transaction());
    platform::ScopedPrompter scope(run.prompter);
    failEachAllocation("loadNistFile", run.operation());
}

TEST(AllocationFailure, TransactionReaderRefusesLaterEditionsWhenMemoryRunsOut)
{
    TransactionRun run(fixtures::transactionWithEveryRecordType());
    ASSERT_EQ(run.recordCount, 1 + fixtures::everyRecordType().size());
    platform::ScopedPrompter scope(run.prompter);
    Operation op = run.operation();
    // libopenjp2 2.5 dereferences a failed allocation of its own while it
    // decodes the Type-17 iris; the codec libraries' C allocations are failed
    // in the picture test below.
    op.cAllocations = false;
    failEachAllocation("loadNistFile (every record type)", op);
}

struct PictureCase {
    const char* name;
    std::string path;
    // libtiff 4.5 dereferences a failed allocation of its own while it reads
    // a directory; its C allocations are left alone.
    bool cAllocations = true;
};

TEST(AllocationFailure, LoadImageToBitmapGivesNullAndAMemoryOrLibraryCode)
{
    TempDir dir;
    const Bytes stream = smallWsq();
    const auto wsqPath = dir.path() / "print.wsq";
    ASSERT_TRUE(platform::writeWholeFile(wsqPath, stream.data(), stream.size()));
    const std::string corpus = std::string(NV_TEST_DATA_DIR) + "/../../fuzz/corpus/";
    const PictureCase cases[] = {
        {"png palette", dataFile("png/palette_trns3.png")},
        {"png interlaced", dataFile("png/rgb_interlaced.png")},
        {"gif", dataFile("gif/colors16.gif")},
        {"pcx", dataFile("pcx/colors256.pcx")},
        {"psd", dataFile("psd/rgb_rle.psd")},
        {"tiff", dataFile("tiff/rgb_lzw_pred.tif"), false},
        {"jpeg", dataFile("jpeg/rgb.jpg")},
        {"bmp", dataFile("bmp/v5_pal8.bmp")},
        {"tga", dataFile("tga/cmap_rle.tga")},
        {"sgi", dataFile("sgi/rgb_rle.rgb")},
        {"iff", corpus + "image_iff/pbm.iff"},
        {"cel", corpus + "image_cel/animator_pro.cel"},
        {"wsq", wsqPath.string()},
    };
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    for (const PictureCase& c : cases) {
        ASSERT_TRUE(imagelib::LoadImageToBitmap(c.path, nullptr, 0)) << c.name;
        const bool wsq = c.path == wsqPath.string();
        imagelib::WsqImageInfo info;
        Operation op;
        op.cAllocations = c.cAllocations;
        op.setup = [&] { info = imagelib::WsqImageInfo{}; };
        op.run = [&](std::string& broken) {
            const auto bitmap = imagelib::LoadImageToBitmap(c.path, wsq ? &info : nullptr, 0);
            const int code = imagelib::GetLastImageError();
            if (bitmap)
                return code == imagelib::kImageNoError;
            // 3 from the library's own allocations, 1 where a codec library
            // reports its failure through its error recovery (libtiff also shows
            // it); WSQ files give the low byte of the codec's code.
            if (code == imagelib::kImageNoMemory || code == imagelib::kImageCorrupted || (wsq && code != 0))
                return true;
            // The C library could not make the file's stream: the file cannot be
            // opened. No memory for the bitmap: the platform call failed (6).
            if ((code == imagelib::kImageCannotOpen && allochooks::countsCAllocations()) ||
                code == imagelib::kImageSystemError)
                return true;
            broken = "code ";
            broken += char('0' + code / 10);
            broken += char('0' + code % 10);
            return false;
        };
        failEachAllocation(c.name, op);
    }
}

}  // namespace
