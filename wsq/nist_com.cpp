#include "wsq/nist_com.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"
#include "wsq/stream_reader.h"
#include "wsq/stream_writer.h"

namespace {

int findName(const FetList& fet, std::string_view feature)
{
    for (int i = 0; i < fet.count(); ++i)
        if (fet.names[static_cast<std::size_t>(i)] == feature)
            return i;
    return -1;
}

std::string decimal(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

// The C library's atoi without its undefined overflow: out-of-range values clamp.
int atoiValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL + INT_MAX);
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Room for `capacity` entries; false after printing `message` when there is no memory.
template <typename Vector>
bool reserveOrReport(Vector& v, int capacity, const char* message)
{
    try {
        v.reserve(static_cast<std::size_t>(capacity));
        return true;
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("%s", message);
        return false;
    }
}

// A private copy of a text; false after printing `message` when there is no memory.
bool copyOrReport(std::optional<std::string>* ocopy, std::string_view text, const char* message)
{
    try {
        ocopy->emplace(text);
        return true;
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("%s", message);
        return false;
    }
}

}  // namespace

int allocfet_ret(std::unique_ptr<FetList>* ofet, int capacity)
{
    std::unique_ptr<FetList> fet;
    try {
        fet = std::make_unique<FetList>();
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : allocfet_ret : malloc : fet\n");
        return -2;
    }
    fet->capacity = std::max(capacity, 0);
    if (!reserveOrReport(fet->names, fet->capacity, "ERROR : allocfet_ret : calloc : fet->names\n"))
        return -3;
    if (!reserveOrReport(fet->values, fet->capacity, "ERROR : allocfet_ret : calloc : fet->values\n"))
        return -4;
    *ofet = std::move(fet);
    return 0;
}

int reallocfet_ret(FetList* fet, int new_capacity)
{
    const int capacity = std::max(new_capacity, fet->count());
    if (!reserveOrReport(fet->names, capacity, "ERROR : reallocfet_ret : realloc : fet->names\n"))
        return -2;
    // This message has never ended in a line break.
    if (!reserveOrReport(fet->values, capacity, "ERROR : reallocfet_ret : realloc : fet->values"))
        return -3;
    fet->capacity = capacity;
    return 0;
}

int updatefet_ret(std::string_view feature, std::optional<std::string_view> value, FetList* fet)
{
    const int at = findName(*fet, feature);
    std::optional<std::string> copy;
    // The same text for a replaced and an appended value; only the code differs.
    if (value && !copyOrReport(&copy, *value, "ERROR : updatefet_ret : strdup : fet->values[]\n"))
        return at >= 0 ? -2 : -4;
    if (at >= 0) {
        fet->values[static_cast<std::size_t>(at)] = std::move(copy);
        return 0;
    }
    if (fet->count() >= fet->capacity) {
        if (int ret = reallocfet_ret(fet, fet->capacity + std::max(10, fet->capacity / 10)))
            return ret;
    }
    try {
        fet->names.emplace_back(feature);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : updatefet_ret : strdup : fet->names[]\n");
        return -3;
    }
    // Room for the value was reserved with the name's slot.
    fet->values.push_back(std::move(copy));
    return 0;
}

int extractfet_ret(std::optional<std::string>* ovalue, std::string_view feature, const FetList& fet)
{
    const int at = findName(fet, feature);
    if (at < 0) {
        wsq::diagnostic("ERROR : extractfet_ret : feature %.*s not found\n", static_cast<int>(feature.size()),
                     feature.data());
        return -2;
    }
    const auto& value = fet.values[static_cast<std::size_t>(at)];
    std::optional<std::string> copy;
    if (value && !copyOrReport(&copy, *value, "ERROR : extractfet_ret : strdup : value\n"))
        return -3;
    *ovalue = std::move(copy);
    return 0;
}

int lookupfet(std::optional<std::string>* ovalue, std::string_view feature, const FetList& fet)
{
    const int at = findName(fet, feature);
    if (at < 0)
        return 0;
    const auto& value = fet.values[static_cast<std::size_t>(at)];
    std::optional<std::string> copy;
    if (value && !copyOrReport(&copy, *value, "ERROR : lookupfet : strdup : value\n"))
        return -2;
    *ovalue = std::move(copy);
    return 1;
}

int string2fet(std::unique_ptr<FetList>* ofet, std::string_view istr)
{
    istr = istr.substr(0, istr.find('\0'));
    std::unique_ptr<FetList> fet;
    if (int ret = allocfet_ret(&fet, 100))
        return ret;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t pos = 0;
    while (pos < istr.size()) {
        // A name ends at its line's end too, so a name alone on its line has
        // no value instead of swallowing the next line.
        const std::size_t nameStart = pos;
        while (pos < istr.size() && !isBlank(istr[pos]) && istr[pos] != '\n')
            ++pos;
        const std::string_view name = istr.substr(nameStart, pos - nameStart);
        if (name.empty()) {
            wsq::diagnostic("ERROR : string2fet : empty name string found\n");
            return -2;
        }
        while (pos < istr.size() && isBlank(istr[pos]))
            ++pos;
        const std::size_t valueStart = pos;
        while (pos < istr.size() && istr[pos] != '\n')
            ++pos;
        const std::string_view value = istr.substr(valueStart, pos - valueStart);
        while (pos < istr.size() && (isBlank(istr[pos]) || istr[pos] == '\n'))
            ++pos;
        if (name.size() > MAX_FET_LENGTH || value.size() > MAX_FET_LENGTH) {
            wsq::diagnostic("ERROR : string2fet : name or value longer than 511 characters\n");
            return WSQ_ERR_FET_TOO_LONG;
        }
        if (int ret = updatefet_ret(name, value.empty() ? std::nullopt : std::optional(value), fet.get()))
            return ret;
    }
    *ofet = std::move(fet);
    return 0;
}

int fet2string(std::string* ostr, const FetList& fet)
{
    std::size_t size = 1;
    for (int i = 0; i < fet.count(); ++i) {
        const auto& value = fet.values[static_cast<std::size_t>(i)];
        size += fet.names[static_cast<std::size_t>(i)].size() + (value ? value->size() : 0) + 2;
    }
    std::string text;
    try {
        text.reserve(size);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : fet2string : malloc : str\n");
        return -2;
    }
    for (int i = 0; i < fet.count(); ++i) {
        const auto& value = fet.values[static_cast<std::size_t>(i)];
        text += fet.names[static_cast<std::size_t>(i)];
        text += ' ';
        if (value)
            text += *value;
        text += '\n';
    }
    if (!text.empty())
        text.pop_back();
    *ostr = std::move(text);
    return 0;
}

int combine_nistcom(std::unique_ptr<FetList>* onistcom, int w, int h, int d, int ppi, int lossyflag)
{
    if (!*onistcom) {
        if (int ret = allocfet_ret(onistcom, 6))
            return ret;
        updatefet_ret("NIST_COM", "6", onistcom->get());
    }
    FetList& fet = **onistcom;
    updatefet_ret("PIX_WIDTH", decimal(w), &fet);
    updatefet_ret("PIX_HEIGHT", decimal(h), &fet);
    updatefet_ret("PIX_DEPTH", decimal(d), &fet);
    updatefet_ret("PPI", decimal(ppi), &fet);
    std::optional<std::string> lossy;
    if (lookupfet(&lossy, "LOSSY", fet) == 1 && lossy != "0" && lossyflag == 0) {
        wsq::diagnostic("WARNING : combine_nistcom : "
                        "request to unset lossy flag ignored\n");
    } else {
        updatefet_ret("LOSSY", decimal(lossyflag), &fet);
    }
    updatefet_ret("NIST_COM", decimal(fet.count()), &fet);
    return 0;
}

int add_wsq_attributes(std::unique_ptr<FetList>* onistcom, int w, int h, int d, int ppi, int lossyflag,
                       float r_bitrate)
{
    if (int ret = combine_nistcom(onistcom, w, h, d, ppi, lossyflag))
        return ret;
    FetList& fet = **onistcom;
    updatefet_ret("COLORSPACE", "GRAY", &fet);
    updatefet_ret("COMPRESSION", "WSQ", &fet);
    char rate[64];
    std::snprintf(rate, sizeof rate, "%f", static_cast<double>(r_bitrate));
    updatefet_ret("WSQ_BITRATE", rate, &fet);
    updatefet_ret("NIST_COM", decimal(fet.count()), &fet);
    return 0;
}

int putc_nistcom_segments(std::optional<std::string_view> comment_text, int w, int h, int d, int ppi,
                          int lossyflag, float r_bitrate, unsigned char* odata, std::size_t oalloc,
                          std::size_t* olen)
{
    std::unique_ptr<FetList> nistcom;
    std::optional<std::string_view> plain;
    if (comment_text && comment_text->substr(0, 8) == "NIST_COM") {
        if (int ret = string2fet(&nistcom, *comment_text))
            return ret;
    } else if (comment_text) {
        plain = comment_text;
    }
    if (int ret = add_wsq_attributes(&nistcom, w, h, d, ppi, lossyflag, r_bitrate))
        return ret;
    std::string text;
    if (int ret = fet2string(&text, *nistcom))
        return ret;
    if (int ret = putc_com_segment(text, odata, oalloc, olen))
        return ret;
    if (plain)
        return putc_com_segment(*plain, odata, oalloc, olen);
    return 0;
}

int nistcom_from_stream(std::unique_ptr<FetList>* onistcom, const unsigned char* idata, std::size_t ilen)
{
    const unsigned char* cbufptr = idata;
    const unsigned char* const ebufptr = idata + ilen;
    unsigned short marker = 0;
    if (int ret = getc_marker_wsq(&marker, EXPECT_SOI, &cbufptr, ebufptr))
        return ret;
    while (true) {
        if (int ret = getc_marker_wsq(&marker, EXPECT_ANY, &cbufptr, ebufptr))
            return ret;
        // EOI carries no length to skip by: like SOB it ends the header segments.
        if (marker == SOB_WSQ || marker == EOI_WSQ) {
            onistcom->reset();
            return 0;
        }
        if (marker == COM_WSQ && ebufptr - cbufptr >= 10) {
            const unsigned length = (cbufptr[0] << 8) | cbufptr[1];
            if (length >= 10 && std::memcmp(cbufptr + 2, "NIST_COM", 8) == 0) {
                std::string comment;
                if (int ret = getc_comment(&comment, &cbufptr, ebufptr))
                    return ret;
                return string2fet(onistcom, comment.c_str());
            }
        }
        if (int ret = getc_skip_marker_segment(marker, &cbufptr, ebufptr))
            return ret;
    }
}

int ppi_from_stream(int* oppi, const unsigned char* idata, std::size_t ilen)
{
    std::unique_ptr<FetList> nistcom;
    if (int ret = nistcom_from_stream(&nistcom, idata, ilen))
        return ret;
    if (!nistcom) {
        *oppi = -1;
        return 0;
    }
    std::optional<std::string> value;
    if (int ret = extractfet_ret(&value, "PPI", *nistcom))
        return ret;
    *oppi = value ? atoiValue(*value) : -1;
    return 0;
}
