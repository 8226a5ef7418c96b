#include "wsq/decoder.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <span>

#include "wsq/diagnostics.h"
#include "wsq/filter_banks.h"
#include "wsq/huffman_decode.h"
#include "wsq/simd.h"
#include "wsq/wsq.h"

namespace wsq {

namespace {

// Every sample of the image is written: the coded subbands from the first
// carried indices (the ones the stream did not carry are 0), the others
// (q = 0, and 60-63) with 0. The subbands tile the image.
void unquantizeInto(float* fip, const short* sip, std::size_t carried, const QuantTable& dqt_table,
                    const WaveletTrees& trees, int width)
{
    const double center = dqt_table.center;
    for (int s = 0; s < kSubbandCount; ++s) {
        const Subband& band = trees.subbands[static_cast<std::size_t>(s)];
        const bool coded = s < NUM_CODED_SUBBANDS && dqt_table.q[s] != 0.0f;
        const double q = dqt_table.q[s];
        const double halfZ = static_cast<double>(dqt_table.z[s]) / 2.0;
        for (int row = 0; row < band.ly; ++row) {
            float* out = fip + static_cast<std::size_t>(band.y + row) * width + band.x;
            const int take = coded ? static_cast<int>(std::min<std::size_t>(band.lx, carried)) : 0;
            if (take > 0)
                wsq::simd::unquantizeRow(out, sip, take, q, center, halfZ);
            std::fill_n(out + take, band.lx - take, 0.0f);
            sip += take;
            carried -= static_cast<std::size_t>(take);
        }
    }
}

// A buffer of n values whose contents the caller sets: no time spent
// zero-filling what is written next anyway.
template <typename T>
std::unique_ptr<T[]> uninitialized(std::size_t n)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

}  // namespace

int unquantize(std::vector<float>* ofip, const short* sip, const QuantTable& dqt_table,
               const WaveletTrees& trees, int width, int height)
{
    std::vector<float> fip;
    try {
        fip.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : unquantize : calloc : fip\n");
        return WSQ_ERR_UNQUANTIZE_ALLOC;
    }
    if (!dqt_table.defined) {
        wsq::diagnostic("ERROR: unquantize : quantization table parameters not defined!\n");
        return WSQ_ERR_NO_DQT;
    }
    unquantizeInto(fip.data(), sip, fip.size(), dqt_table, trees, width);
    *ofip = std::move(fip);
    return 0;
}

void convert_image_to_uchar(unsigned char* data, const float* img, std::size_t count, float m_shift,
                            float r_scale)
{
    wsq::simd::floatToBytes(data, img, count, m_shift, r_scale);
}

namespace {

// Tables and comments up to the frame header, then the frame header itself.
int readFrame(DecoderTables* tables, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short marker = 0;
    if (int ret = getc_marker_wsq(&marker, EXPECT_SOI, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_marker_wsq(&marker, EXPECT_TABLES_OR_SOF, cbufptr, ebufptr))
        return ret;
    while (marker != SOF_WSQ) {
        if (int ret = getc_table_wsq(marker, &tables->dtt, &tables->dqt, &tables->dht, cbufptr, ebufptr))
            return ret;
        if (int ret = getc_marker_wsq(&marker, EXPECT_TABLES_OR_SOF, cbufptr, ebufptr))
            return ret;
    }
    return getc_sof_segment(&tables->frame, cbufptr, ebufptr);
}

// The transform needs every tree node at least 6 samples long, and the
// working buffers must stay within the caller's limit.
int checkFrameSize(int width, int height, const WsqDecodeLimits& limits)
{
    if (!wsqImageSizeSupported(width, height)) {
        wsq::diagnostic("ERROR : wsq_decode_mem : image %d x %d is smaller than 81 x 81\n", width, height);
        return WSQ_ERR_FRAME_TOO_SMALL;
    }
    if (static_cast<long long>(width) * height > limits.maxPixels) {
        wsq::diagnostic("ERROR : wsq_decode_mem : image %d x %d is over the limit of %lld pixels\n", width, height,
                        limits.maxPixels);
        return WSQ_ERR_FRAME_TOO_LARGE;
    }
    return 0;
}

// Most coefficients one byte of block data can carry: a run of 65535 zeros
// takes at least a 1-bit code and its 16-bit length.
constexpr long long kMaxCoefficientsPerByte = 65535LL * 8 / 17 + 1;

// A frame whose coded subbands (by the quantization table before the frame
// header) hold more coefficients than the rest of the stream could code.
// Without that table nothing is known yet, and nothing is refused.
int checkPlausibleFrame(const DecoderTables& tables, const WaveletTrees& trees, std::size_t remaining)
{
    if (!tables.dqt.defined)
        return 0;
    long long coded = 0;
    for (int s = 0; s < NUM_CODED_SUBBANDS; ++s)
        if (tables.dqt.q[s] != 0.0f)
            coded += static_cast<long long>(trees.subbands[static_cast<std::size_t>(s)].lx) *
                     trees.subbands[static_cast<std::size_t>(s)].ly;
    if (coded <= static_cast<long long>(remaining) * kMaxCoefficientsPerByte)
        return 0;
    wsq::diagnostic("ERROR : wsq_decode_mem : image %d x %d cannot be coded in %zu bytes\n", tables.frame.width,
                    tables.frame.height, remaining);
    return WSQ_ERR_FRAME_IMPLAUSIBLE;
}

// Entropy decoding and dequantization into the coefficient image.
int decodeCoefficients(std::unique_ptr<float[]>* fdata, DecoderTables* tables, const WaveletTrees& trees,
                       const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    const int width = tables->frame.width;
    const int height = tables->frame.height;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<short[]> qdata = uninitialized<short>(count);
    if (!qdata) {
        wsq::diagnostic("ERROR: wsq_decode_mem : malloc : qdata1\n");
        return WSQ_ERR_DECODE_QDATA_ALLOC;
    }
    std::size_t written = 0;
    if (int ret = huffman_decode_data_mem(qdata.get(), count, &tables->dtt, &tables->dqt, &tables->dht, cbufptr,
                                          ebufptr, &written))
        return ret;
    std::unique_ptr<float[]> fip = uninitialized<float>(count);
    if (!fip) {
        wsq::diagnostic("ERROR : unquantize : calloc : fip\n");
        return WSQ_ERR_UNQUANTIZE_ALLOC;
    }
    if (!tables->dqt.defined) {
        wsq::diagnostic("ERROR: unquantize : quantization table parameters not defined!\n");
        return WSQ_ERR_NO_DQT;
    }
    // Only what the stream carried is read: the rest of the indices is never
    // written, let alone filled with zeros.
    unquantizeInto(fip.get(), qdata.get(), written, tables->dqt, trees, width);
    *fdata = std::move(fip);
    return 0;
}

int decodeStream(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                 const unsigned char* idata, std::size_t ilen, const WsqDecodeLimits& limits)
{
    DecoderTables tables;
    const unsigned char* cbufptr = idata;
    const unsigned char* const ebufptr = idata + ilen;
    if (int ret = readFrame(&tables, &cbufptr, ebufptr))
        return ret;
    const int width = tables.frame.width;
    const int height = tables.frame.height;
    if (int ret = checkFrameSize(width, height, limits))
        return ret;
    const WaveletTrees trees = build_trees(width, height);
    if (limits.refuseImplausibleFrames) {
        if (int ret = checkPlausibleFrame(tables, trees, static_cast<std::size_t>(ebufptr - cbufptr)))
            return ret;
    }
    int ppi = -1;
    if (int ret = ppi_from_stream(&ppi, idata, ilen))
        return ret;

    std::unique_ptr<float[]> fdata;
    if (int ret = decodeCoefficients(&fdata, &tables, trees, &cbufptr, ebufptr))
        return ret;
    const TransformTable& dtt = tables.dtt;
    const std::span<const float> lofilt = dtt.lo_defined ? std::span<const float>(dtt.lofilt) : std::span<const float>();
    const std::span<const float> hifilt = dtt.hi_defined ? std::span<const float>(dtt.hifilt) : std::span<const float>();
    if (int ret = wsq_reconstruct(fdata.get(), width, height, trees.nodes, lofilt, hifilt))
        return ret;

    std::vector<unsigned char> cdata;
    try {
        cdata.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR: wsq_decode_mem : malloc : cdata\n");
        return WSQ_ERR_DECODE_CDATA_ALLOC;
    }
    convert_image_to_uchar(cdata.data(), fdata.get(), cdata.size(), tables.frame.m_shift, tables.frame.r_scale);

    *odata = std::move(cdata);
    *ow = width;
    *oh = height;
    *od = 8;
    *oppi = ppi;
    *lossyflag = 1;
    return 0;
}

}  // namespace

}  // namespace wsq

int wsq_decode_mem(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                   const unsigned char* idata, std::size_t ilen, const WsqDecodeLimits& limits)
{
    // The tables and working buffers are owned containers: memory that runs
    // out anywhere below ends here with a code, the outputs untouched.
    try {
        return wsq::decodeStream(odata, ow, oh, od, oppi, lossyflag, idata, ilen, limits);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : wsq_decode_mem : out of memory\n");
        return WSQ_ERR_OUT_OF_MEMORY;
    }
}

int wsq_decode_mem(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                   const unsigned char* idata, std::size_t ilen)
{
    return wsq_decode_mem(odata, ow, oh, od, oppi, lossyflag, idata, ilen, WsqDecodeLimits{});
}
