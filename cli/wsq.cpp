// nisttool wsq info|decode|encode: the WSQ codec from the command line.
// Pictures are binary PGM files (P5, maxval 255).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/convert_file.h"
#include "cli/diagnostics.h"
#include "cli/options.h"
#include "cli/pgm.h"
#include "imagelib/image_library.h"
#include "platform/conversion.h"
#include "platform/files.h"
#include "wsq/wsq.h"

namespace cli {

namespace {

bool isPgmName(const std::string& name)
{
    return imagelib::imageFileExtension(name) == "PGM";
}

const char* markerName(unsigned short marker)
{
    switch (marker) {
    case SOI_WSQ: return "SOI";
    case EOI_WSQ: return "EOI";
    case SOF_WSQ: return "SOF";
    case SOB_WSQ: return "SOB";
    case DTT_WSQ: return "DTT";
    case DQT_WSQ: return "DQT";
    case DHT_WSQ: return "DHT";
    case DRT_WSQ: return "DRT";
    case COM_WSQ: return "COM";
    default: return "unknown";
    }
}

// Bytes of block data from p up to the next marker (0xFF followed by a
// non-zero byte) or the end of the buffer.
std::size_t blockDataLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned char* q = p;
    while (q < end && !(q[0] == 0xFF && q + 1 < end && q[1] != 0x00))
        ++q;
    return static_cast<std::size_t>(q - p);
}

struct StreamInfo {
    DecoderTables tables;
    bool haveFrame = false;
    std::vector<std::string> comments;
};

// Reads one segment (cursor after its marker) into info and prints its line.
int describeSegment(unsigned short marker, StreamInfo* info, const unsigned char** cursor, const unsigned char* end)
{
    const unsigned length = end - *cursor >= 2 ? ((*cursor)[0] << 8 | (*cursor)[1]) : 0;
    std::printf("  %-4s length %u", markerName(marker), length);
    int ret = 0;
    if (marker == SOF_WSQ) {
        ret = getc_sof_segment(&info->tables.frame, cursor, end);
        info->haveFrame = ret == 0;
    } else if (marker == SOB_WSQ) {
        unsigned char id = 0;
        ret = getc_sob_segment(&id, cursor, end);
        if (ret == 0) {
            const std::size_t data = blockDataLength(*cursor, end);
            std::printf(", table %d, %zu bytes of block data", id, data);
            *cursor += data;
        }
    } else if (marker == COM_WSQ) {
        std::string text;
        ret = getc_comment(&text, cursor, end);
        if (ret == 0)
            info->comments.push_back(text);
    } else if (marker == DTT_WSQ || marker == DQT_WSQ || marker == DHT_WSQ) {
        ret = getc_table_wsq(marker, &info->tables.dtt, &info->tables.dqt, &info->tables.dht, cursor, end);
    } else {
        ret = getc_skip_marker_segment(marker, cursor, end);
    }
    std::printf("\n");
    return ret;
}

void printTables(const StreamInfo& info)
{
    const FrameHeader& f = info.tables.frame;
    if (info.haveFrame)
        std::printf("frame: %d x %d, black %d, white %d, m_shift %f, r_scale %f, encoder %d, software %d\n", f.width,
                    f.height, f.black, f.white, f.m_shift, f.r_scale, f.WSQ_encoder, f.Software);
    const TransformTable& dtt = info.tables.dtt;
    if (dtt.lo_defined)
        std::printf("transform: synthesis lowpass %d taps, highpass %d taps\n", dtt.losize, dtt.hisize);
    const QuantTable& dqt = info.tables.dqt;
    if (dqt.defined) {
        std::printf("quantization: center %f\n", dqt.center);
        for (int s = 0; s < MAX_SUBBANDS; ++s)
            if (dqt.q[s] != 0.0f)
                std::printf("  subband %2d: q %f, z %f\n", s, dqt.q[s], dqt.z[s]);
    }
    for (int id = 0; id < MAX_DHT_TABLES; ++id) {
        const HuffSlot& slot = info.tables.dht[static_cast<std::size_t>(id)];
        if (!slot.defined)
            continue;
        int count = 0;
        std::printf("huffman table %d: codes per length", id);
        for (unsigned char n : slot.huffbits) {
            std::printf(" %d", n);
            count += n;
        }
        std::printf(" (%d values)\n", count);
    }
}

void printComments(const StreamInfo& info)
{
    for (const std::string& text : info.comments) {
        std::unique_ptr<FetList> fet;
        if (text.compare(0, 8, "NIST_COM") == 0 && string2fet(&fet, text.c_str()) == 0) {
            std::printf("NIST_COM:\n");
            for (int i = 0; i < fet->count(); ++i) {
                const auto& value = fet->values[static_cast<std::size_t>(i)];
                std::printf("  %s%s%s\n", fet->names[static_cast<std::size_t>(i)].c_str(), value ? " " : "",
                            value ? value->c_str() : "");
            }
        } else {
            std::printf("comment: %s\n", text.c_str());
        }
    }
}

bool readInput(const std::string& path, std::vector<std::uint8_t>* bytes)
{
    if (platform::directoryExists(path)) {
        printDiagnostic(path, std::strerror(EISDIR));
        return false;
    }
    errno = 0;
    platform::FileContents contents = platform::readWholeFile(path);
    if (contents.status != platform::ReadStatus::Ok) {
        printDiagnostic(path, std::string("cannot read: ") + std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    *bytes = std::move(contents.bytes);
    return true;
}

bool writeOutput(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    errno = 0;
    if (platform::writeWholeFile(path, bytes.data(), bytes.size()))
        return true;
    printDiagnostic(path, std::string("cannot write: ") + std::strerror(errno != 0 ? errno : EIO));
    return false;
}

int runInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw UsageError("wsq info takes one file");
    std::vector<std::uint8_t> bytes;
    if (!readInput(args[0], &bytes))
        return kExitFailure;
    const unsigned char* cursor = bytes.data();
    const unsigned char* const end = bytes.data() + bytes.size();
    StreamInfo info;
    unsigned short marker = 0;
    int ret = getc_marker_wsq(&marker, EXPECT_SOI, &cursor, end);
    if (ret == 0)
        std::printf("markers:\n  SOI\n");
    while (ret == 0) {
        ret = getc_marker_wsq(&marker, EXPECT_ANY, &cursor, end);
        if (ret != 0)
            break;
        if (marker == EOI_WSQ) {
            std::printf("  EOI\n");
            if (cursor < end)
                std::printf("  (%td bytes after EOI)\n", end - cursor);
            break;
        }
        ret = describeSegment(marker, &info, &cursor, end);
    }
    printTables(info);
    printComments(info);
    if (ret != 0)
        printDiagnostic(args[0], "not a whole WSQ stream (code " + std::to_string(ret) + ")");
    return ret == 0 ? kExitOk : kExitFailure;
}

int runDecode(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw UsageError("wsq decode takes an input and an output file");
    // Every picture format of the image library; PGM stays for tools that want raw gray.
    if (!isPgmName(args[1]))
        return convertImageFile(args[0], args[1], WsqOutputOptions{});
    std::vector<std::uint8_t> bytes;
    if (!readInput(args[0], &bytes))
        return kExitFailure;
    GrayImage image;
    int depth = 0, ppi = 0, lossy = 0;
    if (int ret = wsq_decode_mem(&image.pixels, &image.width, &image.height, &depth, &ppi, &lossy, bytes.data(),
                                 bytes.size())) {
        printDiagnostic(args[0], "not decoded (code " + std::to_string(ret) + ")");
        return kExitFailure;
    }
    if (ppi > 0)
        image.ppi = ppi;
    return writeOutput(args[1], writePgm(image)) ? kExitOk : kExitFailure;
}

int runEncode(const std::vector<std::string>& args, const WsqOutputOptions& wsq)
{
    if (args.size() != 2)
        throw UsageError("wsq encode takes an input and an output file");
    const float bitrate = static_cast<float>(wsq.bitrate);
    const std::optional<std::string>& comment = wsq.comment;
    if (!isPgmName(args[0]))
        return convertImageFile(args[0], args[1], wsq);
    std::vector<std::uint8_t> bytes;
    if (!readInput(args[0], &bytes))
        return kExitFailure;
    GrayImage image;
    std::string error;
    if (!readPgm(bytes, &image, &error)) {
        printDiagnostic(args[0], error);
        return kExitFailure;
    }
    const WsqPpiChoice ppi = chooseWsqPpi(wsq, image.ppi);
    std::vector<unsigned char> stream;
    if (int ret = wsq_encode_1(&stream, bitrate, image.pixels.data(), image.width, image.height, 8, ppi.ppi,
                               comment ? std::optional<std::string_view>(*comment) : std::nullopt)) {
        printDiagnostic(args[0], "not encoded (code " + std::to_string(ret) + ")");
        return kExitFailure;
    }
    if (!writeOutput(args[1], stream))
        return kExitFailure;
    if (ppi.defaulted)
        noteDefaultPpi(args[0]);
    return kExitOk;
}

int runWsq(const std::vector<std::string>& args)
{
    const Options options = parseOptions(args, kWsqOutputOptionSpecs);
    const std::vector<std::string>& words = options.positional();
    if (words.empty())
        throw UsageError("wsq needs a subcommand (info, decode or encode)");
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (words[0] == "encode")
        return runEncode(rest, wsqOutputOptions(options));
    for (const OptionSpec& option : kWsqOutputOptionSpecs)
        if (options.has(option.name))
            throw UsageError("option " + option.name + " is only for wsq encode");
    if (words[0] == "info")
        return runInfo(rest);
    if (words[0] == "decode")
        return runDecode(rest);
    throw UsageError("unknown wsq subcommand '" + words[0] + "'");
}

const CommandRegistrar registrar(Command{
    "wsq",
    "wsq info FILE.wsq | wsq decode IN.wsq OUT | "
    "wsq encode IN OUT.wsq [--bitrate R] [--ppi N] [--comment TEXT]",
    runWsq,
    "  info     markers, frame header, tables, NIST_COM entries and comments of a WSQ stream\n"
    "  decode   into any picture format the image library writes, chosen by OUT's extension\n"
    "           (.pgm: binary PGM, the ppi in a '# PPI N' comment); 8-bit gray with the\n"
    "           stream's ppi wherever the format holds them\n"
    "  encode   a gray picture (any format the library reads, or binary PGM) into WSQ\n"
    "           --bitrate R  bits per pixel, above 0 and below 100 (default 0.75)\n"
    "           --ppi N      resolution written into the stream, 1 to 1000000 (default: the\n"
    "                        picture's own, else 500, which is said on stderr)\n"
    "           --comment T  a comment segment\n\n"
    "The codec's own messages reach stderr only with --verbose.\n"});

}  // namespace

}  // namespace cli
