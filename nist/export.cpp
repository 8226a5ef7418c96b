#include "nist/export.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/prompter.h"

namespace nist {

namespace {

// An unbuffered output file: every write reaches the system at once, so a
// short write is seen (and reported) for the very line or value that failed.
// The file counts as written when it was created and every write went whole.
class OutputFile {
public:
    OutputFile(const std::string& path, ExportResult& result, bool show)
        : path_(path), result_(result), show_(show),
          fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666))
    {
        if (fd_ < 0) {
            fail(errno);
            if (show_)
                platform::showError("Error: open file failed");
        }
    }
    ~OutputFile()
    {
        if (fd_ < 0)
            return;
        if (::close(fd_) != 0 && !failed_)
            fail(errno);
        if (!failed_)
            result_.written.push_back(path_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    void write(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const char*>(data);
        std::size_t done = 0;
        int error = 0;
        while (done < size) {
            const ssize_t n = ::write(fd_, bytes + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : ENOSPC;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (done < size) {
            if (!failed_)
                fail(error);
            if (show_)
                platform::showError("Error: write to file failed");
        }
    }
    void write(const std::string& text) { write(text.data(), text.size()); }

private:
    void fail(int error)
    {
        failed_ = true;
        result_.failed.push_back({path_, std::strerror(error)});
    }

    std::string path_;
    ExportResult& result_;
    bool show_;
    int fd_;
    bool failed_ = false;
};

class BusyCursor {
public:
    explicit BusyCursor(ReaderWindow& window) : window_(window) { window_.setBusyCursor(true); }
    ~BusyCursor() { window_.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    ReaderWindow& window_;
};

void ensureDirectory(const std::string& directory, ExportResult& result, bool show)
{
    if (platform::directoryExists(directory) || platform::createDirectory(directory))
        return;
    platform::forceDirectories(directory);
    if (platform::directoryExists(directory))
        return;
    errno = 0;
    if (platform::createDirectory(directory))
        return;
    // What the system says to the last attempt; a plain file in the way
    // leaves errno at "File exists".
    result.failed.push_back({directory, std::strerror(errno != 0 ? errno : EEXIST)});
    if (show)
        platform::showError("Error: cannot create " + directory + " directory.", "Error creating directory");
}

void writeTableLines(const RecordTable& table, int lastRow, bool skipEmpty, const std::string& path,
                     ExportResult& result, bool show)
{
    OutputFile file(path, result, show);
    if (!file.isOpen())
        return;
    for (int row = 1; row <= lastRow; ++row) {
        if (skipEmpty && table.value(row).empty())
            continue;
        file.write(table.code(row) + "," + table.value(row) + "\r\n");
    }
}

void writeType4Files(const TransactionReader& reader, const std::string& directory, ExportResult& result)
{
    for (const T_T4& record : reader.type4Records()) {
        OutputFile image(directory + "/type4_" + record.IDC + ".wsq", result, reader.showMessages);
        if (image.isOpen() && record.imageSize > 0)
            image.write(record.imageData.data(), static_cast<std::size_t>(record.imageSize));
    }
    OutputFile summary(directory + "/type4.txt", result, reader.showMessages);
    if (!summary.isOpen())
        return;
    for (const T_T4& record : reader.type4Records()) {
        for (const std::string* value : {&record.LEN, &record.IDC, &record.IMP, &record.FGP, &record.ISR,
                                         &record.HLL, &record.VLL, &record.GCA}) {
            summary.write(*value);
            summary.write(",");
        }
        summary.write("\r\n");
    }
}

}  // namespace

ExportResult exportTransaction(const TransactionReader& reader, const std::string& directory)
{
    ExportResult result;
    BusyCursor busy(reader.window());
    const bool show = reader.showMessages;
    ensureDirectory(directory, result, show);
    if (reader.exportTypes[1])
        writeTableLines(reader.type1Table(), 15, false, directory + "/type1.txt", result, show);
    if (reader.exportTypes[2])
        writeTableLines(reader.type2Table(), 999, true, directory + "/type2.txt", result, show);
    if (reader.exportTypes[4])
        writeType4Files(reader, directory, result);
    return result;
}

}  // namespace nist
