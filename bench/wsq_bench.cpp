// WSQ codec speed on an 800 x 750 fingerprint-like image at bit rate 0.75,
// with libjpeg decoding the same picture as a quality-90 grayscale JPEG as a
// yardstick. Prints milliseconds and megapixels per second for each, then
// the codec's times as multiples of the JPEG decode.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <jpeglib.h>

#include "tools/synthetic_fingerprint.h"
#include "wsq/encoder.h"
#include "wsq/wsq.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 750;
constexpr float kBitRate = 0.75f;
constexpr int kJpegQuality = 90;

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

std::vector<unsigned char> encodeJpeg(const std::vector<unsigned char>& gray)
{
    jpeg_compress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buf);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buf, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(gray.data()) + cinfo.next_scanline * kWidth;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> out(buf, buf + size);
    std::free(buf);
    return out;
}

bool decodeJpeg(const std::vector<unsigned char>& jpeg, std::vector<unsigned char>& gray)
{
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    gray.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * cinfo.output_components);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = gray.data() + cinfo.output_scanline * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// The encoder reports its block sizes on stderr after every encode; keep them
// out of the benchmark's output.
class QuietStderr {
public:
    QuietStderr()
    {
        std::fflush(stderr);
        saved_ = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 2);
            close(null);
        }
    }
    ~QuietStderr()
    {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
    }

private:
    int saved_ = -1;
};

struct Fixture {
    std::vector<unsigned char> pixels = tools::makeSyntheticFingerprint(kWidth, kHeight, 42);
    std::vector<unsigned char> wsq;
    std::vector<unsigned char> jpeg;
    Fixture()
    {
        QuietStderr quiet;
        wsq_encode_1(&wsq, kBitRate, pixels.data(), kWidth, kHeight, 8, 500, std::nullopt);
        jpeg = encodeJpeg(pixels);
    }
};

const Fixture& fixture()
{
    static const Fixture f;
    return f;
}

void setCounters(benchmark::State& state, size_t streamBytes)
{
    const double megapixels = kWidth * kHeight / 1e6;
    state.counters["MP/s"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(streamBytes);
}

void BM_WsqDecode(benchmark::State& state)
{
    const Fixture& f = fixture();
    std::vector<unsigned char> out;
    int w, h, d, ppi, lossy;
    for (auto _ : state) {
        if (wsq_decode_mem(&out, &w, &h, &d, &ppi, &lossy, f.wsq.data(), f.wsq.size()) != 0) {
            state.SkipWithError("wsq_decode_mem failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, f.wsq.size());
}

void BM_WsqEncode(benchmark::State& state)
{
    const Fixture& f = fixture();
    std::vector<unsigned char> out;
    QuietStderr quiet;
    for (auto _ : state) {
        if (wsq_encode_1(&out, kBitRate, f.pixels.data(), kWidth, kHeight, 8, 500, std::nullopt) != 0) {
            state.SkipWithError("wsq_encode_1 failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, out.size());
}

void BM_JpegDecode(benchmark::State& state)
{
    const Fixture& f = fixture();
    std::vector<unsigned char> out;
    for (auto _ : state) {
        if (!decodeJpeg(f.jpeg, out)) {
            state.SkipWithError("JPEG decode failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, f.jpeg.size());
}

BENCHMARK(BM_WsqDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WsqEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);

// Console output plus the ratio of each codec CPU time to the JPEG yardstick
// (CPU time: the machine may be shared while it runs).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                times_[r.run_name.function_name] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto jpeg = times_.find("BM_JpegDecode");
        if (jpeg == times_.end() || jpeg->second <= 0)
            return;
        for (const char* name : {"BM_WsqDecode", "BM_WsqEncode"}) {
            const auto it = times_.find(name);
            if (it != times_.end())
                std::printf("%s / BM_JpegDecode = %.2f\n", name, it->second / jpeg->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const Fixture& f = fixture();
    std::printf("%d x %d fingerprint: WSQ %zu bytes at %.2f, JPEG %zu bytes at quality %d\n", kWidth, kHeight,
                f.wsq.size(), kBitRate, f.jpeg.size(), kJpegQuality);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
