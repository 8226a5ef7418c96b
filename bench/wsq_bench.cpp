// WSQ codec speed on an 800 x 750 fingerprint-like image at bit rate 0.75,
// with two yardsticks decoding the same picture: libjpeg (a quality-90
// grayscale JPEG) and OpenJPEG on one thread (a J2K codestream, 9/7
// irreversible, 0.75 bits per pixel, one layer). Prints milliseconds and
// megapixels per second for each, then the codec's CPU times as multiples of
// the yardsticks. Google Benchmark's own flags apply (--benchmark_format,
// --benchmark_out, --benchmark_repetitions, ...); with JSON output the
// ratios go to stderr.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <openjpeg.h>

#include "tools/synthetic_fingerprint.h"
#include "wsq/diagnostics.h"
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

// Bytes held through operator new by this thread, and the most held since
// the last reset: the peak memory of one decode.
thread_local std::size_t tHeld = 0;
thread_local std::size_t tPeak = 0;

// OpenJPEG reads its codestream through a stream object; this one serves a
// buffer in memory.
struct MemoryStream {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
    std::vector<unsigned char>* sink;
};

OPJ_SIZE_T memRead(void* buffer, OPJ_SIZE_T bytes, void* user)
{
    auto* m = static_cast<MemoryStream*>(user);
    if (m->pos >= m->size)
        return static_cast<OPJ_SIZE_T>(-1);
    const std::size_t n = std::min<std::size_t>(bytes, m->size - m->pos);
    std::memcpy(buffer, m->data + m->pos, n);
    m->pos += n;
    return n;
}

OPJ_SIZE_T memWrite(void* buffer, OPJ_SIZE_T bytes, void* user)
{
    auto* m = static_cast<MemoryStream*>(user);
    const auto* p = static_cast<const unsigned char*>(buffer);
    if (m->sink->size() < m->pos + bytes)
        m->sink->resize(m->pos + bytes);
    std::memcpy(m->sink->data() + m->pos, p, bytes);
    m->pos += bytes;
    return bytes;
}

OPJ_OFF_T memSkip(OPJ_OFF_T bytes, void* user)
{
    auto* m = static_cast<MemoryStream*>(user);
    if (bytes < 0 && static_cast<std::size_t>(-bytes) > m->pos)
        return -1;
    m->pos = static_cast<std::size_t>(static_cast<OPJ_OFF_T>(m->pos) + bytes);
    return bytes;
}

OPJ_BOOL memSeek(OPJ_OFF_T to, void* user)
{
    auto* m = static_cast<MemoryStream*>(user);
    m->pos = static_cast<std::size_t>(to);
    return OPJ_TRUE;
}

void opjQuiet(const char*, void*) {}

opj_stream_t* memoryStream(MemoryStream* m, bool input)
{
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, input ? OPJ_TRUE : OPJ_FALSE);
    opj_stream_set_user_data(stream, m, nullptr);
    opj_stream_set_user_data_length(stream, m->size);
    if (input)
        opj_stream_set_read_function(stream, memRead);
    else
        opj_stream_set_write_function(stream, memWrite);
    opj_stream_set_skip_function(stream, memSkip);
    opj_stream_set_seek_function(stream, memSeek);
    return stream;
}

void quietCodec(opj_codec_t* codec)
{
    opj_set_info_handler(codec, opjQuiet, nullptr);
    opj_set_warning_handler(codec, opjQuiet, nullptr);
    opj_set_error_handler(codec, opjQuiet, nullptr);
}

// The print as a J2K codestream: 9/7 irreversible, one layer at the WSQ bit rate.
std::vector<unsigned char> encodeJ2k(const std::vector<unsigned char>& gray)
{
    opj_image_cmptparm_t component{};
    component.dx = component.dy = 1;
    component.w = kWidth;
    component.h = kHeight;
    component.prec = 8;
    component.sgnd = 0;
    opj_image_t* image = opj_image_create(1, &component, OPJ_CLRSPC_GRAY);
    if (!image)
        return {};
    image->x1 = kWidth;
    image->y1 = kHeight;
    for (std::size_t i = 0; i < gray.size(); ++i)
        image->comps[0].data[i] = gray[i];
    opj_cparameters_t params;
    opj_set_default_encoder_parameters(&params);
    params.irreversible = 1;
    params.tcp_numlayers = 1;
    params.tcp_rates[0] = 8.0f / kBitRate;  // compression ratio of 8-bit samples
    params.cp_disto_alloc = 1;
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
    quietCodec(codec);
    std::vector<unsigned char> out;
    MemoryStream m{nullptr, 0, 0, &out};
    opj_stream_t* stream = memoryStream(&m, false);
    const bool ok = opj_setup_encoder(codec, &params, image) && opj_start_compress(codec, image, stream) &&
                    opj_encode(codec, stream) && opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!ok)
        out.clear();
    out.resize(m.pos);
    return out;
}

bool decodeJ2k(const std::vector<unsigned char>& j2k, std::vector<unsigned char>& gray)
{
    // Threads 0: everything on the calling thread.
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_J2K);
    quietCodec(codec);
    MemoryStream m{j2k.data(), j2k.size(), 0, nullptr};
    opj_stream_t* stream = memoryStream(&m, true);
    opj_image_t* image = nullptr;
    bool ok = opj_setup_decoder(codec, &params) && opj_codec_set_threads(codec, 0) &&
              opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image) &&
              opj_end_decompress(codec, stream);
    if (ok && image->numcomps == 1) {
        const opj_image_comp_t& c = image->comps[0];
        gray.resize(static_cast<std::size_t>(c.w) * c.h);
        for (std::size_t i = 0; i < gray.size(); ++i)
            gray[i] = static_cast<unsigned char>(std::clamp(c.data[i], 0, 255));
    } else {
        ok = false;
    }
    opj_image_destroy(image);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    return ok;
}

struct Fixture {
    std::vector<unsigned char> pixels = tools::makeSyntheticFingerprint(kWidth, kHeight, 42);
    std::vector<unsigned char> wsq;
    std::vector<unsigned char> jpeg;
    std::vector<unsigned char> j2k;
    Fixture()
    {
        // The encoder reports its block sizes after every encode.
        wsq::ScopedDiagnosticSink quiet(&wsq::discardDiagnostic, nullptr);
        wsq_encode_1(&wsq, kBitRate, pixels.data(), kWidth, kHeight, 8, 500, std::nullopt);
        jpeg = encodeJpeg(pixels);
        j2k = encodeJ2k(pixels);
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
    // One decode outside the timing for its peak memory, the picture included.
    tPeak = tHeld;
    const std::size_t before = tHeld;
    {
        std::vector<unsigned char> once;
        wsq_decode_mem(&once, &w, &h, &d, &ppi, &lossy, f.wsq.data(), f.wsq.size());
    }
    state.counters["peak B/px"] = static_cast<double>(tPeak - before) / (kWidth * kHeight);
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
    wsq::ScopedDiagnosticSink quiet(&wsq::discardDiagnostic, nullptr);
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

void BM_OpenJpegDecode(benchmark::State& state)
{
    const Fixture& f = fixture();
    std::vector<unsigned char> out;
    for (auto _ : state) {
        if (!decodeJ2k(f.j2k, out)) {
            state.SkipWithError("OpenJPEG decode failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, f.j2k.size());
}

BENCHMARK(BM_WsqDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WsqEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenJpegDecode)->Unit(benchmark::kMillisecond);

// The CPU time of each benchmark (the machine may be shared while it runs):
// with repetitions the median, otherwise the single run.
class TimeCollector {
public:
    void collect(const std::vector<benchmark::BenchmarkReporter::Run>& runs)
    {
        for (const auto& r : runs) {
            if (r.error_occurred)
                continue;
            const std::string name = r.run_name.function_name;
            if (r.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate) {
                if (r.aggregate_name == "median")
                    medians_[name] = r.GetAdjustedCPUTime();
            } else {
                singles_[name] = r.GetAdjustedCPUTime();
            }
        }
    }
    void print(std::FILE* out) const
    {
        const auto time = [&](const std::string& name) {
            const auto m = medians_.find(name);
            if (m != medians_.end())
                return m->second;
            const auto s = singles_.find(name);
            return s != singles_.end() ? s->second : 0.0;
        };
        for (const char* base : {"BM_JpegDecode", "BM_OpenJpegDecode"}) {
            const double yardstick = time(base);
            if (yardstick <= 0)
                continue;
            for (const char* name : {"BM_WsqDecode", "BM_WsqEncode"})
                if (time(name) > 0)
                    std::fprintf(out, "%s / %s = %.2f\n", name, base, time(name) / yardstick);
        }
    }

private:
    std::map<std::string, double> medians_, singles_;
};

// The library's console or JSON reporter, noting the times as they pass.
template <typename Base>
class RatioReporter : public Base {
public:
    explicit RatioReporter(std::FILE* ratios) : ratios_(ratios) {}
    void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override
    {
        times_.collect(runs);
        Base::ReportRuns(runs);
    }
    void Finalize() override
    {
        Base::Finalize();
        std::fflush(stdout);
        times_.print(ratios_);
    }

private:
    std::FILE* ratios_;
    TimeCollector times_;
};

std::string formatFlag(int argc, char** argv)
{
    const std::string prefix = "--benchmark_format=";
    std::string format = "console";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            format = argv[i] + prefix.size();
    return format;
}

}  // namespace

// The block comes from malloc, whatever the compiler infers from the names.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    // A header in front of each block remembers its size.
    void* p = std::malloc(size + 16);
    if (!p)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = size;
    tHeld += size;
    tPeak = std::max(tPeak, tHeld);
    return static_cast<char*>(p) + 16;
}

void operator delete(void* p) noexcept
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - 16;
    tHeld -= *static_cast<std::size_t*>(block);
    std::free(block);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return operator new(size, std::nothrow);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }

int main(int argc, char** argv)
{
    const std::string format = formatFlag(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const Fixture& f = fixture();
    std::FILE* info = format == "console" ? stdout : stderr;
    std::fprintf(info, "%d x %d fingerprint: WSQ %zu bytes at %.2f, JPEG %zu bytes at quality %d, J2K %zu bytes\n",
                 kWidth, kHeight, f.wsq.size(), kBitRate, f.jpeg.size(), kJpegQuality, f.j2k.size());
    if (format == "json") {
        RatioReporter<benchmark::JSONReporter> reporter(stderr);
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else if (format != "console") {
        benchmark::RunSpecifiedBenchmarks();  // the library's own reporter, no ratios
    } else {
        RatioReporter<benchmark::ConsoleReporter> reporter(stdout);
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    benchmark::Shutdown();
    return 0;
}
