// Writes the bundled sample transaction: a Type-1 record, a Type-2 record and
// fourteen Type-4 fingerprints (positions 1-14, 500 ppi) made by the synthetic
// fingerprint generator and compressed by the project's WSQ encoder at 0.75.
//   make_sample [OUTPUT]      (default: data/sample.nist)
#include <cstdio>
#include <string>
#include <vector>

#include "nist/transaction_writer.h"
#include "tools/sample_prints.h"
#include "wsq/encoder.h"

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "data/sample.nist";

    nist::TransactionWriter writer;
    writer.setType1Field(5, "20250101");
    writer.setType1Field(7, "NVSAMPLE0");
    writer.setType1Field(8, "NVSAMPLE0");
    writer.setType1Field(9, "SAMPLE-0001");
    writer.addType2Record({{18, "SAMPLE,SYNTHETIC"}, {22, "19800101"}, {24, "X"},
                           {37, "SYNTHETIC FINGERPRINTS FOR TESTING"}});

    std::uint8_t idc = 2;  // the Type-2 record took 1
    for (const tools::SampleFinger& f : tools::sampleFingers()) {
        const std::uint32_t seed = 1000 + static_cast<std::uint32_t>(f.position);
        const std::vector<std::uint8_t> pixels =
            tools::samplePrint(f, seed);
        nist::Type4Image image;
        if (wsq_encode_1(&image.data, tools::kSampleBitRate, pixels.data(), f.width, f.height, 8, tools::kSamplePpi, std::nullopt) != 0) {
            std::fprintf(stderr, "make_sample: encoding finger %d failed\n", f.position);
            return 1;
        }
        image.idc = idc++;
        image.imp = f.rolled ? 1 : 0;  // live-scan rolled / plain
        image.fgp[0] = static_cast<std::uint8_t>(f.position);
        image.isr = 0;                 // 500 ppi
        image.hll = static_cast<std::uint16_t>(f.width);
        image.vll = static_cast<std::uint16_t>(f.height);
        image.gca = 1;                 // WSQ
        writer.addType4Record(std::move(image));
    }
    if (!writer.writeFile(out)) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("wrote %s\n", out.c_str());
    return 0;
}
