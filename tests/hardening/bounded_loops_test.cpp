// Loops whose progress depends on values in the file: runs that produce
// nothing, chunks of size 0, record walks that consume nothing. Each input is
// read in a child process with an alarm, so a loop that spins fails the test
// instead of hanging the suite.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "nist/transaction_reader.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/nist_fixtures.h"
#include "test_support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kSecondsAllowed = 30;

// Runs body in a child process; the child's exit status is body's result.
// -1 when the child was killed (the alarm, a crash).
int inChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(kSecondsAllowed);
        ::_exit(body() & 0x7F);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void le16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void le32(Bytes& b, unsigned v) { le16(b, v & 0xFFFF); le16(b, v >> 16); }
void be16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)}); }
void be32(Bytes& b, unsigned v) { be16(b, v >> 16); be16(b, v & 0xFFFF); }
Bytes repeat(const Bytes& unit, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

// 8-bit run-length PCX of 4 x 1 whose data is nothing but runs of length 0.
Bytes pcxOfEmptyRuns()
{
    Bytes pcx(128, 0);
    pcx[0] = 10;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[8] = 3;
    pcx[65] = 1;
    pcx[66] = 4;
    const Bytes runs = repeat({0xC0, 0x11}, 4000);
    pcx.insert(pcx.end(), runs.begin(), runs.end());
    return pcx;
}

// Gray run-length PSD of 4 x 2 whose rows are PackBits repeats longer than a row.
Bytes psdOfLongRuns()
{
    Bytes psd = {'8', 'B', 'P', 'S'};
    be16(psd, 1);
    psd.insert(psd.end(), 6, 0);
    be16(psd, 1);  // channels
    be32(psd, 2);  // rows
    be32(psd, 4);  // columns
    be16(psd, 8);
    be16(psd, 1);  // grayscale
    be32(psd, 0);
    be32(psd, 0);
    be32(psd, 0);
    be16(psd, 1);  // run-length
    be16(psd, 2);
    be16(psd, 2);
    psd.insert(psd.end(), {0x81, 7, 0x81, 7});
    return psd;
}

// IFF whose FORM claims 4 GB and whose chunks all have size 0.
Bytes iffOfEmptyChunks()
{
    Bytes iff = {'F', 'O', 'R', 'M'};
    be32(iff, 0xFFFFFFF0u);
    iff.insert(iff.end(), {'I', 'L', 'B', 'M'});
    Bytes chunk = {'C', 'A', 'M', 'G', 0, 0, 0, 0};
    const Bytes chunks = repeat(chunk, 3000);
    iff.insert(iff.end(), chunks.begin(), chunks.end());
    return iff;
}

// Animator Pro file of 4 x 2 whose frames are empty, until the file ends.
Bytes flicOfEmptyFrames()
{
    Bytes f;
    le32(f, 0);
    le16(f, 0xAF12);
    le16(f, 1);
    le16(f, 4);
    le16(f, 2);
    le16(f, 8);
    f.resize(128, 0);
    Bytes frame;
    le32(frame, 16);
    le16(frame, 0xF1FA);
    le16(frame, 0);
    frame.resize(16, 0);
    const Bytes frames = repeat(frame, 3000);
    f.insert(f.end(), frames.begin(), frames.end());
    return f;
}

// GIF with a comment extension whose sub-blocks run to the end of the file.
Bytes gifOfEndlessSubBlocks()
{
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x21, 0xFE};
    const Bytes blocks = repeat({1, 'x'}, 5000);
    gif.insert(gif.end(), blocks.begin(), blocks.end());
    return gif;
}

// Run-length SGI image of 4 x 2 x 1 whose row tables point every row at one
// end-of-row byte.
Bytes sgiOfEmptyRows()
{
    Bytes sgi(512, 0);
    sgi[0] = 0x01;
    sgi[1] = 0xDA;
    sgi[2] = 1;  // run-length
    sgi[3] = 1;
    sgi[5] = 2;
    sgi[7] = 4;
    sgi[9] = 2;
    sgi[11] = 1;
    Bytes tables;
    be32(tables, 520);
    be32(tables, 520);
    be32(tables, 1);
    be32(tables, 1);
    sgi.insert(sgi.end(), tables.begin(), tables.end());
    sgi.resize(520, 0);
    sgi.push_back(0);
    return sgi;
}

struct PictureCase {
    const char* file;
    Bytes bytes;
};

TEST(BoundedLoops, PictureReadersEndOnRunsAndChunksThatMakeNoProgress)
{
    TempDir dir;
    const PictureCase cases[] = {
        {"empty_runs.pcx", pcxOfEmptyRuns()},   {"long_runs.psd", psdOfLongRuns()},
        {"empty_chunks.iff", iffOfEmptyChunks()}, {"empty_frames.cel", flicOfEmptyFrames()},
        {"endless_blocks.gif", gifOfEndlessSubBlocks()}, {"empty_rows.rgb", sgiOfEmptyRows()},
    };
    for (const PictureCase& c : cases) {
        const auto path = (dir.path() / c.file).string();
        ASSERT_TRUE(platform::writeWholeFile(path, c.bytes.data(), c.bytes.size()));
        const int code = inChild([&] {
            imagelib::ImageRecord record;
            return imagelib::LoadImageByExtension(path, &record, nullptr);
        });
        EXPECT_GT(code, 0) << c.file << ": " << (code < 0 ? "did not end" : "loaded");
    }
}

TEST(BoundedLoops, TransactionWalkEndsWhenARoundConsumesNothing)
{
    using fixtures::type1With;
    const std::string tail(300, 'x');  // bytes the walk could take as further records
    const std::string transactions[] = {
        type1With("1\x1F" "1\x1E" "17\x1F" "00") + tail,   // the invalid last entry, split again and again
        type1With("1\x1F" "1\x1E" "1\x1F" "00") + tail,    // a Type-1 entry consumes no bytes
        type1With("1\x1F" "1\x1E" "0\x1F" "00\x1E") + tail,  // ends with RS
    };
    for (const std::string& t : transactions) {
        const int result = inChild([&] {
            platform::RecordingPrompter prompter;
            platform::ScopedPrompter scope(prompter);
            nist::TransactionReader reader;
            reader.loadNistBytes(fixtures::bytes(t));
            return prompter.entries.size() < 10 ? 0 : 1;  // not one message per spin
        });
        EXPECT_EQ(result, 0) << fixtures::bytes(t).size() << (result < 0 ? ": did not end" : ": repeated messages");
    }
}

}  // namespace
