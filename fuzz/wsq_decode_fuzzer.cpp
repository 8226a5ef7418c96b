// The WSQ decoder on a memory stream, and the NIST_COM search of the same
// stream that the file interface runs beside it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "wsq/wsq.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A header of a few bytes may declare a whole print: decoding frames of
    // 800 x 750 pixels would hold the run to a few hundred inputs a second,
    // while small frames reach the same code.
    static const WsqDecodeLimits limits = [] {
        WsqDecodeLimits l;
        l.maxPixels = fuzzing::kFuzzMaxWsqPixels;
        return l;
    }();
    std::vector<unsigned char> pixels;
    int w = -1, h = -1, d = -1, ppi = -1, lossy = -1;
    const int rc = wsq_decode_mem(&pixels, &w, &h, &d, &ppi, &lossy, data, size, limits);
    if (rc == 0 && pixels.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
        __builtin_trap();
    if (rc != 0 && (w != -1 || h != -1 || d != -1 || !pixels.empty()))
        __builtin_trap();  // a failed decode writes no out-parameter
    std::unique_ptr<FetList> nistcom;
    (void)nistcom_from_stream(&nistcom, data, size);
    int streamPpi = 0;
    (void)ppi_from_stream(&streamPpi, data, size);
    return 0;
}
