#include "pictures/registry.h"

#include <algorithm>

namespace pictures {

namespace {

std::string normalised(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    std::string out(extension);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return out;
}

}  // namespace

void PictureRegistry::registerFileFormat(std::string_view extension, std::string description, std::string className,
                                         PictureClassFactory create)
{
    formats_.push_back({normalised(extension), std::move(description), std::move(className), std::move(create)});
}

const PictureFormat* PictureRegistry::find(std::string_view extension) const
{
    const std::string key = normalised(extension);
    if (key.empty())
        return nullptr;
    for (auto it = formats_.rbegin(); it != formats_.rend(); ++it)
        if (it->extension == key)
            return &*it;
    return nullptr;
}

void TFileFormatList::registerFileFormat(std::string_view extension, const std::string& commonDescription,
                                         const std::string& individualDescription, int kind,
                                         const std::string& className, PictureClassFactory create, bool replace)
{
    const std::string key = normalised(extension);
    auto existing = std::find_if(extensions_.begin(), extensions_.end(),
                                 [&](const ExtensionEntry& e) { return e.extension == key; });
    if (existing != extensions_.end()) {
        if (!replace)
            throw RegistrationError("Attempt to register " + key + " twice.");
        const std::string previous = existing->className;
        extensions_.erase(existing);
        auto owner = std::find_if(classes_.begin(), classes_.end(),
                                  [&](const ClassEntry& c) { return c.className == previous; });
        if (owner != classes_.end() && --owner->extensionCount == 0)
            classes_.erase(owner);
    }
    extensions_.push_back({key, individualDescription, kind, className});
    auto owner = std::find_if(classes_.begin(), classes_.end(),
                              [&](const ClassEntry& c) { return c.className == className; });
    if (owner == classes_.end())
        classes_.push_back({className, commonDescription, 1});
    else
        ++owner->extensionCount;
    registry_.registerFileFormat(key, individualDescription.empty() ? commonDescription : individualDescription,
                                 className, std::move(create));
}

namespace {

struct StartUp {
    PictureRegistry registry;
    TFileFormatList list{registry};
    StartUp()
    {
        registerPlatformFormats(registry);
        registerAdditionalFormats(list);
        registerViewerFormats(registry);
    }
};

const StartUp& startUp()
{
    static const StartUp instance;
    return instance;
}

}  // namespace

const PictureRegistry& pictureRegistry()
{
    return startUp().registry;
}

const TFileFormatList& additionalFormatList()
{
    return startUp().list;
}

}  // namespace pictures
