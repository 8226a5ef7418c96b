#include <gtest/gtest.h>

#include <map>

#include "pictures/registry.h"
#include "pictures/viewer_extensions.h"

namespace {

using pictures::PictureRegistry;
using pictures::TFileFormatList;

class Dummy : public pictures::PictureClass {
public:
    explicit Dummy(std::string name) : name_(std::move(name)) {}
    std::string className() const override { return name_; }
    bool canLoad(pictures::Bytes) const override { return false; }
    pictures::PictureProperties readProperties(pictures::Bytes) const override { return {}; }
    pictures::LoadedPicture load(pictures::Bytes, const std::string&) const override { return {}; }

private:
    std::string name_;
};

pictures::PictureClassFactory dummy(const std::string& name)
{
    return [name] { return std::make_unique<Dummy>(name); };
}

TEST(PictureRegistry, EveryViewerExtensionReachesTheClassThatLoadsIt)
{
    // The class behind each extension the viewer opens, after start-up and
    // the viewer's own registrations.
    const std::map<std::string, std::string> expected = {
        {"wsq", "TWSQImage"},       {"tiff", "TTIFFImage"},     {"png", "TPNGImage"},      {"gif", "TGIFImage"},
        {"tga", "TTGAImage"},       {"cel", "TCELImage"},       {"rgb", "TRGBImage"},      {"rgba", "TRGBImage"},
        {"pcx", "TPCXImage"},       {"iff", "TIFFImage"},       {"jpg", "TJPEGImage"},     {"jpeg", "TJPEGImage"},
        {"jpe", "TJPEGImage"},      {"bmp", "TBitmap"},         {"rle", "TBitmap"},        {"dib", "TBitmap"},
        {"tif", "TTIFFGraphic"},    {"fax", "TTIFFGraphic"},    {"win", "TTargaGraphic"},  {"vst", "TTargaGraphic"},
        {"vda", "TTargaGraphic"},   {"icb", "TTargaGraphic"},   {"psd", "TPSDGraphic"},    {"pdd", "TPSDGraphic"},
        {"eps", "TEPSGraphic"},     {"pcc", "TPCXGraphic"},     {"scr", "TPCXGraphic"},    {"rpf", "TRLAGraphic"},
        {"rla", "TRLAGraphic"},     {"sgi", "TSGIGraphic"},     {"bw", "TSGIGraphic"},     {"ppm", "TPPMGraphic"},
        {"pgm", "TPPMGraphic"},     {"pbm", "TPPMGraphic"},     {"pic", "TAutodeskGraphic"}, {"pcd", "TPCDGraphic"},
        {"cut", "TCUTGraphic"},     {"psp", "TPSPGraphic"},     {"ico", "TIcon"},          {"wmf", "TMetafile"},
        {"emf", "TMetafile"},       {"jfif", "TJPEGImage"},     {"jp2", "TJPEG2000Graphic"}, {"j2k", "TJPEG2000Graphic"},
    };
    const PictureRegistry& registry = pictures::pictureRegistry();
    for (const std::string& dotted : pictures::viewerExtensions()) {
        const std::string ext = dotted.substr(1);
        const pictures::PictureFormat* f = registry.find(ext);
        ASSERT_NE(f, nullptr) << ext;
        EXPECT_EQ(f->className, expected.at(ext)) << ext;
        // The factory builds the class the registration names.
        EXPECT_EQ(f->create()->className(), f->className) << ext;
    }
    EXPECT_EQ(registry.find("PSD"), registry.find("psd"));
    EXPECT_EQ(registry.find(".Psd"), registry.find("psd"));
    EXPECT_EQ(registry.find("txt"), nullptr);
    EXPECT_EQ(registry.find(""), nullptr);
}

TEST(PictureRegistry, StartUpOrderAndDescriptions)
{
    const auto& formats = pictures::pictureRegistry().formats();
    std::vector<std::string> order;
    for (const auto& f : formats)
        order.push_back(f.extension);
    // The platform's six first, the additional readers' 37 next, the viewer's 13 last.
    ASSERT_EQ(order.size(), 6u + 37u + 13u);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 6),
              (std::vector<std::string>{"bmp", "ico", "wmf", "emf", "jpg", "jpeg"}));
    EXPECT_EQ(order[6], "ico");
    EXPECT_EQ(order[6 + 34], "png");
    EXPECT_EQ(order[6 + 36], "j2k");
    EXPECT_EQ(order[6 + 37], "wsq");
    EXPECT_EQ(order.back(), "jpe");
    const PictureRegistry& registry = pictures::pictureRegistry();
    EXPECT_EQ(registry.find("tif")->description, "PC TIF images");
    EXPECT_EQ(registry.find("tiff")->description, "TIFFFile");
    EXPECT_EQ(registry.find("rgba")->description, "RGBFile");
    EXPECT_EQ(registry.find("bw")->description, "SGI black/white images");
    EXPECT_EQ(registry.find("jfif")->description, "JFIF images");
}

TEST(FileFormatList, KindsAndClassesAsRegisteredAtStartUp)
{
    const TFileFormatList& list = pictures::additionalFormatList();
    ASSERT_EQ(list.extensions().size(), 37u);
    std::map<std::string, int> kinds;
    for (const auto& e : list.extensions())
        kinds[e.extension] = e.kind;
    EXPECT_EQ(kinds["wmf"], 16);
    EXPECT_EQ(kinds["tif"], 12);
    EXPECT_EQ(kinds["psd"], 10);
    EXPECT_EQ(kinds["psp"], 24);
    EXPECT_EQ(kinds["png"], 8);
    std::map<std::string, std::pair<std::string, int>> classes;
    for (const auto& c : list.classes())
        classes[c.className] = {c.description, c.extensionCount};
    EXPECT_EQ(classes["TTargaGraphic"], (std::pair<std::string, int>{"Truevision images", 5}));
    EXPECT_EQ(classes["TTIFFGraphic"], (std::pair<std::string, int>{"Tagged image file format images", 3}));
    EXPECT_EQ(classes["TSGIGraphic"], (std::pair<std::string, int>{"SGI images", 4}));
    EXPECT_EQ(classes["TPPMGraphic"], (std::pair<std::string, int>{"Portable map images", 3}));
    EXPECT_EQ(classes["TMetafile"], (std::pair<std::string, int>{"Windows metafiles", 2}));
    EXPECT_EQ(classes["TJPEGImage"].first, "JPG images");
    EXPECT_EQ(classes["TBitmap"], (std::pair<std::string, int>{"Windows bitmaps", 2}));
    EXPECT_EQ(classes["TJPEG2000Graphic"], (std::pair<std::string, int>{"JPEG 2000 images", 2}));
}

TEST(FileFormatList, SecondRegistrationFailsUnlessItReplaces)
{
    PictureRegistry registry;
    TFileFormatList list(registry);
    list.registerFileFormat("tga", "Truevision images", "", 8, "TTargaGraphic", dummy("TTargaGraphic"));
    list.registerFileFormat("win", "Truevision images", "", 8, "TTargaGraphic", dummy("TTargaGraphic"));
    try {
        list.registerFileFormat("TGA", "Other", "", 8, "TOther", dummy("TOther"));
        FAIL() << "no error";
    } catch (const pictures::RegistrationError& e) {
        EXPECT_STREQ(e.what(), "Attempt to register tga twice.");
    }
    EXPECT_EQ(registry.find("tga")->className, "TTargaGraphic");
    // Without an individual description the class's common one is registered.
    EXPECT_EQ(registry.find("tga")->description, "Truevision images");

    // Replacing moves tga; the old class keeps win. Moving win too drops it.
    list.registerFileFormat("tga", "Other images", "Other tga", 8, "TOther", dummy("TOther"), true);
    EXPECT_EQ(registry.find("tga")->className, "TOther");
    EXPECT_EQ(registry.find("tga")->description, "Other tga");
    ASSERT_EQ(list.classes().size(), 2u);
    EXPECT_EQ(list.classes()[0].extensionCount, 1);
    list.registerFileFormat("win", "Other images", "", 8, "TOther", dummy("TOther"), true);
    ASSERT_EQ(list.classes().size(), 1u);
    EXPECT_EQ(list.classes()[0].className, "TOther");
    EXPECT_EQ(list.classes()[0].extensionCount, 2);
    EXPECT_EQ(list.extensions().size(), 2u);
}

TEST(PictureRegistry, NewestRegistrationWins)
{
    PictureRegistry registry;
    registry.registerFileFormat("Png", "first", "TFirst", dummy("TFirst"));
    registry.registerFileFormat("png", "second", "TSecond", dummy("TSecond"));
    EXPECT_EQ(registry.find("PNG")->className, "TSecond");
    EXPECT_EQ(registry.formats().size(), 2u);
    EXPECT_EQ(registry.formats().front().extension, "png");
}

}  // namespace
