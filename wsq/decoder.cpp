#include "wsq/decoder.h"

#include <cstdio>
#include <new>
#include <span>

#include "wsq/diagnostics.h"
#include "wsq/filter_banks.h"
#include "wsq/huffman_decode.h"
#include "wsq/wsq.h"

int unquantize(std::vector<float>* ofip, const short* sip, const QuantTable& dqt_table,
               const WaveletTrees& trees, int width, int height)
{
    std::vector<float> fip;
    try {
        fip.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : unquantize : calloc : fip\n");
        return -91;
    }
    if (!dqt_table.defined) {
        wsq::diagnostic("ERROR: unquantize : quantization table parameters not defined!\n");
        return -92;
    }
    const double center = dqt_table.center;
    for (int s = 0; s < NUM_CODED_SUBBANDS; ++s) {
        if (dqt_table.q[s] == 0.0f)
            continue;
        const double q = dqt_table.q[s];
        const double halfZ = static_cast<double>(dqt_table.z[s]) / 2.0;
        const Subband& band = trees.subbands[static_cast<std::size_t>(s)];
        for (int row = 0; row < band.ly; ++row) {
            float* out = fip.data() + static_cast<std::size_t>(band.y + row) * width + band.x;
            for (int col = 0; col < band.lx; ++col) {
                const int v = *sip++;
                if (v > 0)
                    out[col] = static_cast<float>(q * (v - center) + halfZ);
                else if (v < 0)
                    out[col] = static_cast<float>(q * (v + center) - halfZ);
                else
                    out[col] = 0.0f;
            }
        }
    }
    *ofip = std::move(fip);
    return 0;
}

void convert_image_to_uchar(unsigned char* data, const float* img, std::size_t count, float m_shift,
                            float r_scale)
{
    for (std::size_t i = 0; i < count; ++i) {
        float t = static_cast<float>(static_cast<double>(img[i]) * r_scale + m_shift);
        t = t + 0.5f;
        // Written so that a NaN (from a hostile filter table) also gives 0.
        if (t > 255.0f)
            data[i] = 255;
        else if (t >= 0.0f)
            data[i] = static_cast<unsigned char>(t);
        else
            data[i] = 0;
    }
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
// working buffers (about 11 bytes a pixel) must stay allocatable.
int checkFrameSize(int width, int height)
{
    if (!wsqImageSizeSupported(width, height)) {
        wsq::diagnostic("ERROR : wsq_decode_mem : image %d x %d is smaller than 81 x 81\n", width, height);
        return WSQ_ERR_FRAME_TOO_SMALL;
    }
    if (static_cast<long long>(width) * height > WSQ_MAX_PIXELS) {
        wsq::diagnostic("ERROR : wsq_decode_mem : image %d x %d is larger than the decoder accepts\n", width,
                     height);
        return WSQ_ERR_FRAME_TOO_LARGE;
    }
    return 0;
}

// Entropy decoding and dequantization into the coefficient image.
int decodeCoefficients(std::vector<float>* fdata, DecoderTables* tables, const WaveletTrees& trees,
                       const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    const int width = tables->frame.width;
    const int height = tables->frame.height;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<short> qdata;
    try {
        qdata.assign(count, 0);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR: wsq_decode_mem : malloc : qdata1\n");
        return -20;
    }
    if (int ret = huffman_decode_data_mem(qdata.data(), count, &tables->dtt, &tables->dqt, &tables->dht, cbufptr,
                                          ebufptr))
        return ret;
    return unquantize(fdata, qdata.data(), tables->dqt, trees, width, height);
}

}  // namespace

int wsq_decode_mem(std::vector<unsigned char>* odata, int* ow, int* oh, int* od, int* oppi, int* lossyflag,
                   const unsigned char* idata, std::size_t ilen)
{
    DecoderTables tables;
    const unsigned char* cbufptr = idata;
    const unsigned char* const ebufptr = idata + ilen;
    if (int ret = readFrame(&tables, &cbufptr, ebufptr))
        return ret;
    const int width = tables.frame.width;
    const int height = tables.frame.height;
    if (int ret = checkFrameSize(width, height))
        return ret;
    int ppi = -1;
    if (int ret = ppi_from_stream(&ppi, idata, ilen))
        return ret;
    const WaveletTrees trees = build_trees(width, height);

    std::vector<float> fdata;
    if (int ret = decodeCoefficients(&fdata, &tables, trees, &cbufptr, ebufptr))
        return ret;
    const TransformTable& dtt = tables.dtt;
    const std::span<const float> lofilt = dtt.lo_defined ? std::span<const float>(dtt.lofilt) : std::span<const float>();
    const std::span<const float> hifilt = dtt.hi_defined ? std::span<const float>(dtt.hifilt) : std::span<const float>();
    if (int ret = wsq_reconstruct(fdata.data(), width, height, trees.nodes, lofilt, hifilt))
        return ret;

    std::vector<unsigned char> cdata;
    try {
        cdata.resize(fdata.size());
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR: wsq_decode_mem : malloc : cdata\n");
        return -21;
    }
    convert_image_to_uchar(cdata.data(), fdata.data(), fdata.size(), tables.frame.m_shift, tables.frame.r_scale);

    *odata = std::move(cdata);
    *ow = width;
    *oh = height;
    *od = 8;
    *oppi = ppi;
    *lossyflag = 1;
    return 0;
}
