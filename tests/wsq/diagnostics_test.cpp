// The codec's message sink: stderr by default, replaceable for the process,
// and overridable per thread so that parallel calls keep their lines apart.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "stream_builder.h"
#include "wsq/diagnostics.h"
#include "wsq/wsq.h"

using namespace wsqtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const char kNoSoi[] = "ERROR : getc_marker_wsq : No SOI marker. {65441}\n";

int decodeEoiOnly()
{
    const unsigned char eoi[] = {0xFF, 0xA1};
    std::vector<unsigned char> pixels;
    int w, h, d, ppi, lossy;
    return wsq_decode_mem(&pixels, &w, &h, &d, &ppi, &lossy, eoi, sizeof eoi);
}

void collect(void* context, std::string_view text)
{
    static_cast<std::string*>(context)->append(text);
}

}  // namespace

TEST(Diagnostics, DefaultSinkWritesTheTextToStderr)
{
    CaptureStderr();
    EXPECT_EQ(decodeEoiOnly(), -88);
    EXPECT_EQ(GetCapturedStderr(), kNoSoi);
}

TEST(Diagnostics, ProcessSinkReplacesStderrUntilReset)
{
    std::string collected;
    wsq::setDiagnosticSink(&collect, &collected);
    CaptureStderr();
    EXPECT_EQ(decodeEoiOnly(), -88);
    // Other threads use the process-wide sink too.
    std::thread([] { decodeEoiOnly(); }).join();
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(collected, std::string(kNoSoi) + kNoSoi);

    wsq::setDiagnosticSink(&wsq::discardDiagnostic, nullptr);
    CaptureStderr();
    EXPECT_EQ(decodeEoiOnly(), -88);
    EXPECT_EQ(GetCapturedStderr(), "");

    wsq::setDiagnosticSink(nullptr, nullptr);
    CaptureStderr();
    decodeEoiOnly();
    EXPECT_EQ(GetCapturedStderr(), kNoSoi);
}

TEST(Diagnostics, ThreadCaptureTakesOnlyItsOwnThreadsLinesAndNests)
{
    std::string outer, inner, other;
    CaptureStderr();
    {
        wsq::ScopedDiagnosticSink scope(&collect, &outer);
        std::thread([&] {
            wsq::DiagnosticCapture capture;
            // A message written in pieces arrives as one line.
            Bytes stream = smallStream().join();
            stream.resize(stream.size() - 2);  // no EOI
            std::vector<unsigned char> pixels;
            int w, h, d, ppi, lossy;
            EXPECT_EQ(wsq_decode_mem(&pixels, &w, &h, &d, &ppi, &lossy, stream.data(), stream.size()), -39);
            other = capture.text();
        }).join();
        {
            wsq::DiagnosticCapture capture;
            decodeEoiOnly();
            inner = capture.text();
        }
        decodeEoiOnly();
    }
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(outer, kNoSoi);
    EXPECT_EQ(inner, kNoSoi);
    EXPECT_EQ(other, "ERROR : getc_byte : premature End Of Buffer\n");
}

TEST(Diagnostics, LongMessagesArriveWhole)
{
    // extractfet_ret names the missing feature; a long name exceeds any small buffer.
    const std::string name(600, 'N');
    wsq::DiagnosticCapture capture;
    FetList fet;
    std::optional<std::string> value;
    EXPECT_EQ(extractfet_ret(&value, name, fet), -2);
    EXPECT_EQ(capture.text(), "ERROR : extractfet_ret : feature " + name + " not found\n");
}
