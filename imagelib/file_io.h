#pragma once
// Byte-level helpers of the image readers and writers: the whole input file in
// memory with a bounds-checked cursor, and an output file that reports short
// writes. Readers parse from memory so that no header field can make them read
// past the end of the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace imagelib {

struct ImageRecord;
class ImageFileWriter;

// Reads the whole file: 0, 7 (cannot open), 3 (no memory) or 11 (cannot read).
int readImageFile(const std::string& fileName, std::vector<std::uint8_t>& bytes);
// Size of a file in bytes; 0 when it cannot be sized.
std::uint64_t imageFileSize(const std::string& fileName);
// A zero-filled buffer of size bytes; false above kMaxImageBytes or without memory.
bool allocateZeroed(std::vector<std::uint8_t>& buffer, std::uint64_t size);

// How every reader runs: the last error is cleared, a null record fails with 9
// before anything is opened, and when load fails the record is freed. The result
// is recorded as the last error and returned.
int runImageLoad(ImageRecord* record, const std::function<int(ImageRecord&)>& load);
// The same for readers that parse the whole file from memory.
using ImageParser = int (*)(const std::vector<std::uint8_t>& bytes, ImageRecord& record);
int loadImageFile(const std::string& fileName, ImageRecord* record, ImageParser parse);
// The same over bytes already in memory (a picture inside another file).
int loadImageBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record, ImageParser parse);
// How every writer runs: the last error is cleared, save runs, and its result is
// recorded as the last error and returned.
int runImageSave(const std::function<int()>& save);
// The same for writers that write through an ImageFileWriter: the file is created
// (or truncated) before write runs, so a failed save can leave it behind.
int saveImageFile(const std::string& fileName, const std::function<int(ImageFileWriter&)>& write);

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const std::vector<std::uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

    std::size_t size() const { return size_; }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return size_ - pos_; }
    bool seek(std::uint64_t pos);
    bool skip(std::uint64_t count) { return count <= remaining() && seek(pos_ + count); }
    // Pointer to the next count bytes, advancing past them; null when fewer remain.
    const std::uint8_t* take(std::uint64_t count);
    bool read(void* out, std::size_t count);
    bool u8(std::uint8_t& v);
    bool le16(std::uint16_t& v);
    bool le32(std::uint32_t& v);
    bool be16(std::uint16_t& v);
    bool be32(std::uint32_t& v);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Little- and big-endian stores into a header being built.
void putLe16(std::uint8_t* p, std::uint32_t v);
void putLe32(std::uint8_t* p, std::uint32_t v);
void putBe16(std::uint8_t* p, std::uint32_t v);
void putBe32(std::uint8_t* p, std::uint32_t v);

// Closes (when open) a file a codec library wrote to and returns code, or 12 when
// code was a success and the final flush failed.
int closeWrittenFile(std::FILE*& file, int code);

// An output file opened for binary writing; closed on destruction.
class ImageFileWriter {
public:
    // 0 or 7 (cannot create).
    int open(const std::string& fileName);
    // 0 or 12 (short write).
    int write(const void* data, std::size_t size);
    // 0 or 12 (the final flush failed).
    int close();

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace imagelib
