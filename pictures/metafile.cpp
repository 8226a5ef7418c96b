#include "pictures/metafile.h"

#include "pictures/decoder_support.h"
#include "pictures/emf_player.h"
#include "pictures/wmf_render.h"

namespace pictures {

namespace {

class TMetafile final : public PictureClass {
public:
    std::string className() const override { return "TMetafile"; }
    bool canLoad(Bytes bytes) const override { return looksLikeEmf(bytes) || looksLikeWmf(bytes); }

    PictureProperties readProperties(Bytes bytes) const override
    {
        if (looksLikeEmf(bytes))
            return emfProperties(bytes);
        if (looksLikeWmf(bytes))
            return wmfProperties(bytes);
        failInvalidFormat("metafile");
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        if (looksLikeEmf(bytes))
            return playEmf(bytes);
        if (looksLikeWmf(bytes))
            return renderWmf(bytes);
        failInvalidFormat("metafile");
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTMetafile()
{
    return std::make_unique<TMetafile>();
}

}  // namespace pictures
