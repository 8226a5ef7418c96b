#include "wsq/encoder.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "wsq/analysis_filters.h"
#include "wsq/diagnostics.h"
#include "wsq/errors.h"
#include "wsq/filter_banks.h"
#include "wsq/huffman_encode.h"
#include "wsq/nist_com.h"
#include "wsq/quantization.h"
#include "wsq/stream_writer.h"
#include "wsq/tables.h"
#include "wsq/trees.h"

using namespace wsq;  // the codec's own helpers

namespace {

// The output being written: fixed capacity, never enlarged.
struct Output {
    std::vector<unsigned char> data;
    std::size_t len = 0;
    unsigned char* ptr() { return data.data(); }
    std::size_t cap() const { return data.size(); }
};

int checkSize(int width, int height)
{
    if (width < kMinWsqImageSide || height < kMinWsqImageSide) {
        wsq::diagnostic("ERROR : wsq_encode_1 : image %d x %d is smaller than 81 x 81\n",
                     width, height);
        return WSQ_ERR_FRAME_TOO_SMALL;
    }
    if (width > 0xFFFF || height > 0xFFFF ||
        static_cast<long long>(width) * height > WSQ_MAX_PIXELS) {
        wsq::diagnostic("ERROR : wsq_encode_1 : image %d x %d is larger than the codec accepts\n",
                     width, height);
        return WSQ_ERR_FRAME_TOO_LARGE;
    }
    return 0;
}

// Transform, variances, quantization and block sizes.
int transformAndQuantize(std::vector<std::int16_t>& sip, std::array<int, kBlockCount>& blocks,
                         QuantValues& qv, float& m_shift, float& r_scale,
                         const unsigned char* idata, int width, int height)
{
    std::vector<float> fdata;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    try {
        fdata.reserve(n);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : wsq_encode_1 : malloc : fdata\n");
        return WSQ_ERR_ENCODE_FDATA_ALLOC;
    }
    image_to_float(fdata, m_shift, r_scale, idata, n);
    if (r_scale == 0.0f) {
        wsq::diagnostic("ERROR : wsq_encode_1 : uniform image, every pixel is %d\n", idata[0]);
        return WSQ_ERR_UNIFORM_IMAGE;
    }

    const WaveletTrees trees = build_trees(width, height);
    int ret = wsq_decompose(fdata.data(), width, height, trees.nodes, kAnalysisHighpass.data(),
                            kAnalysisHighpassTaps, kAnalysisLowpass.data(), kAnalysisLowpassTaps);
    if (ret != 0)
        return ret;
    subband_variances(qv, trees, fdata.data(), width);
    int cmp_siz = 0;
    ret = quantize(sip, cmp_siz, qv, trees, fdata.data(), width, height);
    if (ret != 0)
        return ret;
    blocks = block_sizes(qv, trees);
    if (blocks[0] + blocks[1] + blocks[2] != cmp_siz) {
        wsq::diagnostic("ERROR : wsq_encode_1 : problem w/quantization block sizes\n");
        return WSQ_ERR_BLOCK_SIZES;
    }
    return 0;
}

// One DHT segment for the table built over `tableBlocks`.
int writeTable(Output& out, HuffCodeTable& table, int id, const std::int16_t* sip,
               std::span<const int> tableBlocks)
{
    std::array<unsigned char, MAX_HUFFBITS> huffbits{};
    std::vector<unsigned char> huffvalues;
    int ret = make_huff_table(table, huffbits, huffvalues, sip, tableBlocks);
    if (ret == 0)
        ret = putc_dht_segment(id, huffbits.data(), huffvalues.data(), out.ptr(), out.cap(), &out.len);
    return ret;
}

// SOB and coded data of one block.
int writeBlock(Output& out, std::vector<unsigned char>& buf, std::size_t& coded, int id,
               const std::int16_t* sip, int count, const HuffCodeTable& table)
{
    int ret = compress_block(buf.data(), buf.size(), coded, sip, count, table);
    if (ret == 0)
        ret = putc_sob_segment(id, out.ptr(), out.cap(), &out.len);
    if (ret == 0)
        ret = putc_bytes(buf.data(), coded, out.ptr(), out.cap(), &out.len);
    return ret;
}

int writeHeader(Output& out, const QuantValues& qv, float m_shift, float r_scale, int width,
                int height, int depth, int ppi, std::optional<std::string_view> comment)
{
    int ret = putc_u16(SOI_WSQ, out.ptr(), out.cap(), &out.len);
    if (ret == 0)
        ret = putc_nistcom_segments(comment, width, height, depth, ppi, 1, qv.r, out.ptr(),
                                    out.cap(), &out.len);
    if (ret == 0)
        ret = putc_transform_table(kAnalysisLowpass.data(), kAnalysisLowpassTaps,
                                   kAnalysisHighpass.data(), kAnalysisHighpassTaps, out.ptr(),
                                   out.cap(), &out.len);
    if (ret == 0)
        ret = putc_quantization_table(qv, out.ptr(), out.cap(), &out.len);
    if (ret == 0)
        ret = putc_sof_segment(width, height, m_shift, r_scale, out.ptr(), out.cap(), &out.len);
    return ret;
}

int encodeImage(std::vector<unsigned char>* odata, float r_bitrate, const unsigned char* idata,
                int width, int height, int depth, int ppi,
                std::optional<std::string_view> comment_text)
{
    int ret = checkSize(width, height);
    if (ret != 0)
        return ret;

    QuantValues qv;
    qv.r = r_bitrate;
    std::vector<std::int16_t> sip;
    std::array<int, kBlockCount> blocks{};
    float m_shift = 0.0f, r_scale = 0.0f;
    ret = transformAndQuantize(sip, blocks, qv, m_shift, r_scale, idata, width, height);
    if (ret != 0)
        return ret;

    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Output out;
    try {
        out.data.resize(n);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : wsq_encode_1 : malloc : wsq_data\n");
        return WSQ_ERR_ENCODE_OUTPUT_ALLOC;
    }
    ret = writeHeader(out, qv, m_shift, r_scale, width, height, depth, ppi, comment_text);
    if (ret != 0)
        return ret;

    std::vector<unsigned char> huffBuf;
    try {
        huffBuf.resize(n);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : wsq_encode_1 : malloc : huff_buf\n");
        return WSQ_ERR_ENCODE_BLOCK_ALLOC;
    }

    const std::int16_t* block1 = sip.data();
    const std::int16_t* block2 = block1 + blocks[0];
    const std::int16_t* block3 = block2 + blocks[1];
    std::size_t h1 = 0, h2 = 0, h3 = 0;
    HuffCodeTable table;
    ret = writeTable(out, table, 0, block1, std::span<const int>(blocks.data(), 1));
    if (ret == 0)
        ret = writeBlock(out, huffBuf, h1, 0, block1, blocks[0], table);
    if (ret == 0)
        ret = writeTable(out, table, 1, block2, std::span<const int>(blocks.data() + 1, 2));
    if (ret == 0)
        ret = writeBlock(out, huffBuf, h2, 1, block2, blocks[1], table);
    if (ret == 0)
        ret = writeBlock(out, huffBuf, h3, 1, block3, blocks[2], table);
    if (ret == 0)
        ret = putc_u16(EOI_WSQ, out.ptr(), out.cap(), &out.len);
    if (ret != 0)
        return ret;

    const std::size_t total = h1 + h2 + h3;
    wsq::diagnostic("hsize1 = %zu :: hsize2 = %zu :: hsize3 = %zu\n", h1, h2, h3);
    wsq::diagnostic("@ r = %.3f :: complen = %zu :: ratio = %.1f\n",
                 static_cast<double>(r_bitrate), total,
                 total > 0 ? static_cast<double>(n) / static_cast<double>(total) : 0.0);
    out.data.resize(out.len);
    *odata = std::move(out.data);
    return 0;
}

}  // namespace

int wsq_encode_1(std::vector<unsigned char>* odata, float r_bitrate, const unsigned char* idata,
                 int width, int height, int depth, int ppi,
                 std::optional<std::string_view> comment_text)
{
    // As in the decoder: memory that runs out in a table or buffer below ends
    // here with a code, the output untouched.
    try {
        return encodeImage(odata, r_bitrate, idata, width, height, depth, ppi, comment_text);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : wsq_encode_1 : out of memory\n");
        return WSQ_ERR_OUT_OF_MEMORY;
    }
}
