#pragma once
// Small helpers for building transaction bytes in tests.
#include <cstdint>
#include <string>
#include <vector>

#include "nist/records.h"
#include "nist/transaction_writer.h"

namespace fixtures {

inline std::vector<std::uint8_t> bytes(const std::string& s)
{
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

inline std::string text(const std::vector<std::uint8_t>& b)
{
    return std::string(b.begin(), b.end());
}

// A Type-1 record with the given CNT value and the writer's other defaults.
inline std::string type1With(const std::string& cnt, std::vector<nist::TaggedField> extra = {})
{
    std::vector<nist::TaggedField> fields{{2, "0300"}, {3, cnt}, {4, "CAR"}, {5, "20240101"},
                                          {7, "DAI1"}, {8, "ORI1"}, {9, "TCN1"}, {11, "19.69"}, {12, "19.69"}};
    fields.insert(fields.end(), extra.begin(), extra.end());
    return nist::makeTaggedRecord(1, fields);
}

inline nist::Type4Image print(std::uint8_t idc, std::uint8_t fgp, std::size_t dataSize, std::uint8_t fill = 0xA5)
{
    nist::Type4Image image;
    image.idc = idc;
    image.imp = 1;
    image.fgp[0] = fgp;
    image.hll = 800;
    image.vll = 750;
    image.data.assign(dataSize, fill);
    return image;
}

}  // namespace fixtures
