// The transaction reader on a file in memory, with image decoding on as in the
// viewer, followed by a second read on the same reader (state of one file must
// never leak into the next). An input whose WSQ frames declare more than the
// fuzzing frame limit is read with decoding off: decoding whole prints would
// slow the run a hundredfold, and fuzz_wsq_decode covers the decoder itself.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "nist/transaction_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = (fuzzing::setUpFuzzing(), true);
    (void)ready;
    static nist::TransactionReader reader;
    reader.decodeImages = fuzzing::wsqFramesWithinFuzzLimit(data, size);
    try {
        reader.loadNistBytes(std::vector<std::uint8_t>(data, data + size));
    } catch (const std::exception&) {
        // A malformed number ends the load with the conversion error the front
        // end shows; what was read stays in place.
    }
    // With decoding on, every Type-4 record kept has its bitmap and its decode result.
    const std::size_t type4 = reader.type4Records().size();
    if (reader.decodeImages && (reader.fingerprintBitmaps().size() != type4 || reader.fingerprintInfo().size() != type4))
        __builtin_trap();
    return 0;
}
