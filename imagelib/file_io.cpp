#include "imagelib/file_io.h"

#include <cstring>
#include <filesystem>
#include <new>

#include "imagelib/image_record.h"
#include "platform/files.h"

namespace imagelib {

int readImageFile(const std::string& fileName, std::vector<std::uint8_t>& bytes)
{
    platform::FileContents contents = platform::readWholeFile(fileName);
    switch (contents.status) {
    case platform::ReadStatus::Ok:
        bytes = std::move(contents.bytes);
        return kImageNoError;
    case platform::ReadStatus::CannotOpen:
        return kImageCannotOpen;
    case platform::ReadStatus::OutOfMemory:
        return kImageNoMemory;
    default:
        return kImageReadError;
    }
}

std::uint64_t imageFileSize(const std::string& fileName)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(fileName, ec);
    return ec ? 0 : size;
}

bool allocateZeroed(std::vector<std::uint8_t>& buffer, std::uint64_t size)
{
    if (size > kMaxImageBytes)
        return false;
    try {
        buffer.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int runImageLoad(ImageRecord* record, const std::function<int(ImageRecord&)>& load)
{
    SetLastImageError(kImageNoError);
    if (!record)
        return recordImageResult(kImageNullRecord);
    const int code = load(*record);
    if (code != kImageNoError)
        FreeImageRecord(*record);
    return recordImageResult(code);
}

int loadImageFile(const std::string& fileName, ImageRecord* record, ImageParser parse)
{
    return runImageLoad(record, [&](ImageRecord& target) {
        std::vector<std::uint8_t> bytes;
        const int code = readImageFile(fileName, bytes);
        return code != kImageNoError ? code : parse(bytes, target);
    });
}

int loadImageBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record, ImageParser parse)
{
    return runImageLoad(record, [&](ImageRecord& target) { return parse(bytes, target); });
}

int runImageSave(const std::function<int()>& save)
{
    SetLastImageError(kImageNoError);
    return recordImageResult(save());
}

int saveImageFile(const std::string& fileName, const std::function<int(ImageFileWriter&)>& write)
{
    return runImageSave([&] {
        ImageFileWriter out;
        const int code = out.open(fileName);
        return code != kImageNoError ? code : write(out);
    });
}

bool ByteReader::seek(std::uint64_t pos)
{
    if (pos > size_)
        return false;
    pos_ = static_cast<std::size_t>(pos);
    return true;
}

const std::uint8_t* ByteReader::take(std::uint64_t count)
{
    if (count > remaining())
        return nullptr;
    const std::uint8_t* p = data_ + pos_;
    pos_ += static_cast<std::size_t>(count);
    return p;
}

bool ByteReader::read(void* out, std::size_t count)
{
    const std::uint8_t* p = take(count);
    if (!p)
        return false;
    if (count != 0)
        std::memcpy(out, p, count);
    return true;
}

bool ByteReader::u8(std::uint8_t& v)
{
    const std::uint8_t* p = take(1);
    if (!p)
        return false;
    v = p[0];
    return true;
}

bool ByteReader::le16(std::uint16_t& v)
{
    const std::uint8_t* p = take(2);
    if (!p)
        return false;
    v = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return true;
}

bool ByteReader::le32(std::uint32_t& v)
{
    const std::uint8_t* p = take(4);
    if (!p)
        return false;
    v = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    return true;
}

bool ByteReader::be16(std::uint16_t& v)
{
    const std::uint8_t* p = take(2);
    if (!p)
        return false;
    v = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    return true;
}

bool ByteReader::be32(std::uint32_t& v)
{
    const std::uint8_t* p = take(4);
    if (!p)
        return false;
    v = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
    return true;
}

void putLe16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v)
{
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
}

void putBe16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void putBe32(std::uint8_t* p, std::uint32_t v)
{
    putBe16(p, v >> 16);
    putBe16(p + 2, v);
}

int closeWrittenFile(std::FILE*& file, int code)
{
    if (!file)
        return code;
    const int closed = std::fclose(file);
    file = nullptr;
    return code == kImageNoError && closed != 0 ? kImageWriteError : code;
}

int ImageFileWriter::open(const std::string& fileName)
{
    file_.reset(std::fopen(fileName.c_str(), "wb"));
    return file_ ? kImageNoError : kImageCannotOpen;
}

int ImageFileWriter::write(const void* data, std::size_t size)
{
    if (!file_)
        return kImageWriteError;
    if (size != 0 && std::fwrite(data, 1, size, file_.get()) != size)
        return kImageWriteError;
    return kImageNoError;
}

int ImageFileWriter::close()
{
    if (!file_)
        return kImageNoError;
    return std::fclose(file_.release()) == 0 ? kImageNoError : kImageWriteError;
}

}  // namespace imagelib
