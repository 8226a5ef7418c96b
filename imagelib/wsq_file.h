#pragma once
// Reading and writing .wsq files through the image file library: a whole file is
// decoded into a 24-bit gray record, and an 8- or 24-bit record is turned into
// gray pixels, encoded and written. The WSQ attributes travel in WsqImageInfo.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imagelib/image_record.h"

namespace imagelib {

// Attributes of a WSQ picture exchanged with the image viewer. A load sets Depth
// (8), Ppi (-1 when the stream does not say) and Comment; a save takes Bitrate,
// Ppi and Comment.
struct WsqImageInfo {
    std::int32_t Depth = 24;
    double Bitrate = 0.75;
    std::int32_t Ppi = 500;
    std::optional<std::string> Comment;
};

// Caption of the message boxes of the WSQ file interface.
inline constexpr const char* kWsqErrorCaption = "WSQ Library Error";

// Whole-file read: 0, or -1 (cannot be sized), -2 (cannot be opened), -3 (no
// memory), -4 (short read), with the codec's messages on stderr.
int read_raw_from_filesize(const std::string& fileName, std::vector<std::uint8_t>& data);
// Whole-file write: 0, or -2 (cannot be created), -3 (short write).
int write_raw_from_memsize(const std::string& fileName, const std::uint8_t* data, std::size_t size);

// Result 0 on success, otherwise the low eight bits of the failing code. A null
// info is allowed: the attributes are then not reported.
int LoadWsqFile(const std::string& fileName, ImageRecord* record, WsqImageInfo* info);
// Result 0, or 2 for a depth other than 8 or 24, or the low eight bits of an
// encoder failure. A failed write is shown in a message box and still gives 0.
// A null info saves with the starting attributes (bit rate 0.75, 500 ppi, no
// comment).
int SaveWsqFile(const std::string& fileName, const ImageRecord& record, const WsqImageInfo* info);

}  // namespace imagelib
