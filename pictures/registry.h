#pragma once
// The picture-format registry: a file extension to the picture class that
// reads it. The platform, the additional readers and the image viewer register
// in that order; a lookup lower-cases the extension and takes the newest
// registration, so the viewer's own classes win where they overlap.
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/picture_class.h"

namespace pictures {

using PictureClassFactory = std::function<std::unique_ptr<PictureClass>()>;

struct PictureFormat {
    std::string extension;    // lower case, without the dot
    std::string description;  // "Truevision images"
    std::string className;    // "TTargaGraphic"
    PictureClassFactory create;
};

class PictureRegistry {
public:
    void registerFileFormat(std::string_view extension, std::string description, std::string className,
                            PictureClassFactory create);
    // The newest registration of the extension (with or without its dot, any
    // case); null when there is none.
    const PictureFormat* find(std::string_view extension) const;
    // Every registration, oldest first.
    const std::vector<PictureFormat>& formats() const { return formats_; }

private:
    std::vector<PictureFormat> formats_;
};

// Raised by TFileFormatList for a second registration of an extension.
class RegistrationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The additional readers' own list of what they registered: one entry per
// extension and one per class. Every registration is passed on to the
// platform registry as well.
class TFileFormatList {
public:
    struct ExtensionEntry {
        std::string extension;
        std::string description;  // the extension's own; may be empty
        int kind = 0;
        std::string className;
    };
    struct ClassEntry {
        std::string className;
        std::string description;  // common to all its extensions
        int extensionCount = 0;
    };

    explicit TFileFormatList(PictureRegistry& registry) : registry_(registry) {}

    // An extension already in the list raises RegistrationError "Attempt to
    // register <ext> twice." unless replace is set; then the extension moves to
    // the new class and a class left without extensions leaves the list. The
    // platform registry receives the extension's description, or the class's
    // when the extension has none.
    void registerFileFormat(std::string_view extension, const std::string& commonDescription,
                            const std::string& individualDescription, int kind, const std::string& className,
                            PictureClassFactory create, bool replace = false);

    const std::vector<ExtensionEntry>& extensions() const { return extensions_; }
    const std::vector<ClassEntry>& classes() const { return classes_; }

private:
    PictureRegistry& registry_;
    std::vector<ExtensionEntry> extensions_;
    std::vector<ClassEntry> classes_;
};

// Kind values stored with the registrations.
inline constexpr int kKindDefault = 8;
inline constexpr int kKindMetafile = 16;
inline constexpr int kKindTiff = 12;
inline constexpr int kKindPhotoshop = 10;
inline constexpr int kKindPaintShopPro = 24;

// The registrations of the running program, in order: the platform's, the
// additional readers' and the image viewer's. All live in registrations.cpp.
void registerPlatformFormats(PictureRegistry& registry);
void registerAdditionalFormats(TFileFormatList& list);
void registerViewerFormats(PictureRegistry& registry);

// The registry after start-up and the image viewer's creation; built once,
// read-only afterwards (safe to share between threads).
const PictureRegistry& pictureRegistry();
// The additional readers' list as start-up leaves it.
const TFileFormatList& additionalFormatList();

}  // namespace pictures
