#include "gui_fixtures.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "wsq/encoder.h"

std::vector<std::uint8_t> grayPattern(int width, int height, int seed)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double ridge = std::sin((x + 2 * y + seed * 7) * 0.35 + std::sin(y * 0.05 + seed) * 2.0);
            pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(128 + 100 * ridge);
        }
    return pixels;
}

platform::Bitmap grayBitmap(int width, int height, int seed)
{
    const std::vector<std::uint8_t> gray = grayPattern(width, height, seed);
    platform::Bitmap bitmap(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.topRow(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t g = gray[static_cast<std::size_t>(y) * width + x];
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = g;
        }
    }
    return bitmap;
}

std::vector<std::uint8_t> wsqStream(int width, int height, int seed)
{
    const std::vector<std::uint8_t> gray = grayPattern(width, height, seed);
    std::vector<unsigned char> stream;
    const int code = wsq_encode_1(&stream, 0.75f, gray.data(), width, height, 8, 500, std::nullopt);
    EXPECT_EQ(code, 0) << "WSQ encoder failed";
    return std::vector<std::uint8_t>(stream.begin(), stream.end());
}

nist::Type4Image type4Image(int fingerPosition, int impression, int width, int height, int seed)
{
    nist::Type4Image image;
    image.idc = static_cast<std::uint8_t>(seed);
    image.imp = static_cast<std::uint8_t>(impression);
    image.fgp[0] = static_cast<std::uint8_t>(fingerPosition);
    image.isr = 1;
    image.hll = static_cast<std::uint16_t>(width);
    image.vll = static_cast<std::uint16_t>(height);
    image.gca = 1;
    image.data = wsqStream(width, height, seed);
    return image;
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeTransaction(const std::filesystem::path& path, const std::vector<PrintSpec>& prints,
                      const std::vector<nist::TaggedField>& type2Fields)
{
    nist::TransactionWriter writer;
    writer.addType2Record(type2Fields);
    int seed = 1;
    for (const PrintSpec& p : prints)
        writer.addType4Record(type4Image(p.position, p.impression, p.width, p.height, seed++));
    ASSERT_TRUE(writer.writeFile(path));
}

ScopedSettingsFile::ScopedSettingsFile(std::filesystem::path path) : path_(std::move(path))
{
    if (const char* previous = std::getenv("NISTVIEWER_INI")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    ::setenv("NISTVIEWER_INI", path_.c_str(), 1);
}

ScopedSettingsFile::~ScopedSettingsFile()
{
    if (hadPrevious_)
        ::setenv("NISTVIEWER_INI", previous_.c_str(), 1);
    else
        ::unsetenv("NISTVIEWER_INI");
}

std::string ScopedSettingsFile::contents() const
{
    const std::vector<std::uint8_t> bytes = readBytes(path_);
    return std::string(bytes.begin(), bytes.end());
}

void answerNextModalDialog(std::function<void(QDialog&)> action)
{
    // Polls until the dialog's own event loop runs, then answers it there.
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(*dialog);
    });
    timer->start();
}
