// NIST_COM text to its name/value list and back, and the encoder's merge of a
// caller's comment with the image attributes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wsq/nist_com.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<FetList> fet;
    if (string2fet(&fet, text) == 0 && fet) {
        std::string back;
        (void)fet2string(&back, *fet);
        std::optional<std::string> value;
        (void)lookupfet(&value, "PPI", *fet);
        (void)combine_nistcom(&fet, 16, 16, 8, 500, 1);
    }
    // The encoder's comment segments over a caller's text, into a buffer of the
    // encoder's size for it.
    std::vector<unsigned char> out(size * 2 + 4096);
    std::size_t len = 0;
    (void)putc_nistcom_segments(text, 16, 16, 8, 500, 1, 0.75f, out.data(), out.size(), &len);
    if (len > out.size())
        __builtin_trap();
    return 0;
}
