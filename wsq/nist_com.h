#pragma once
// NIST_COM comments: the name/value list ("fet") that a WSQ stream carries in
// a comment whose text starts with "NIST_COM", its text form, the encoder's
// composition of it and the decoder's search for it.
//
// Text form: one entry per line, the name, blanks and/or tabs, then the value
// up to the end of the line; a name alone on its line has no value. The first
// entry is NIST_COM with the number of entries.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names are unique; entries keep the order in which they were first added.
struct FetList {
    int capacity = 0;
    std::vector<std::string> names;
    std::vector<std::optional<std::string>> values;  // empty optional: the name has no value
    int count() const { return static_cast<int>(names.size()); }
};

int allocfet_ret(std::unique_ptr<FetList>* ofet, int capacity);
int reallocfet_ret(FetList* fet, int new_capacity);
// Replaces the value of an existing name or appends a new entry, growing a full
// list by max(10, capacity / 10) slots.
int updatefet_ret(std::string_view feature, std::optional<std::string_view> value, FetList* fet);
// The name must exist (-2 otherwise); *ovalue is its value, empty when it has none.
int extractfet_ret(std::optional<std::string>* ovalue, std::string_view feature, const FetList& fet);
// 1 when found (value copied), 0 when not (nothing written).
int lookupfet(std::optional<std::string>* ovalue, std::string_view feature, const FetList& fet);
// Parses a text up to its end or its first zero byte.
int string2fet(std::unique_ptr<FetList>* ofet, std::string_view istr);
int fet2string(std::string* ostr, const FetList& fet);

// Fills in the image attributes, creating the list when *onistcom is empty (a
// list created here is dropped again on failure).
int combine_nistcom(std::unique_ptr<FetList>* onistcom, int w, int h, int d, int ppi, int lossyflag);
// combine_nistcom, then COLORSPACE, COMPRESSION and WSQ_BITRATE.
int add_wsq_attributes(std::unique_ptr<FetList>* onistcom, int w, int h, int d, int ppi, int lossyflag,
                       float r_bitrate);
// The encoder's comment segments: the NIST_COM segment (merged with the
// caller's text when that starts with "NIST_COM"), then any other caller text
// as a plain second segment. No text: only the NIST_COM segment.
int putc_nistcom_segments(std::optional<std::string_view> comment_text, int w, int h, int d, int ppi,
                          int lossyflag, float r_bitrate, unsigned char* odata, std::size_t oalloc,
                          std::size_t* olen);

// The first NIST_COM comment before the first block of a stream; *onistcom
// stays empty when there is none.
int nistcom_from_stream(std::unique_ptr<FetList>* onistcom, const unsigned char* idata, std::size_t ilen);
// The PPI entry of the stream's NIST_COM comment, -1 when there is no comment
// or the entry has no value. A comment without a PPI entry fails (-2).
int ppi_from_stream(int* oppi, const unsigned char* idata, std::size_t ilen);
