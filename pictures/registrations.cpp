// Every registration of the running program, in the order the program makes
// them. Replacing the class behind an extension is a change of one line here.
#include "pictures/autodesk_graphic.h"
#include "pictures/cut_graphic.h"
#include "pictures/jpeg2000_picture.h"
#include "pictures/metafile.h"
#include "pictures/pcd_graphic.h"
#include "pictures/picture_classes.h"
#include "pictures/platform_bitmap.h"
#include "pictures/platform_icon.h"
#include "pictures/platform_jpeg.h"
#include "pictures/psp_graphic.h"
#include "pictures/rla_graphic.h"
#include "pictures/registry.h"
#include "pictures/viewer_classes.h"

namespace pictures {

namespace {

// The class behind each name the tables below use.
std::unique_ptr<PictureClass> bitmapClass() { return makeTBitmap(); }
std::unique_ptr<PictureClass> jpegClass() { return makeTJPEGImage(); }
std::unique_ptr<PictureClass> iconClass() { return makeTIcon(); }
std::unique_ptr<PictureClass> wmfClass() { return makeTMetafile(); }
std::unique_ptr<PictureClass> emfClass() { return makeTMetafile(); }
std::unique_ptr<PictureClass> rlaClass() { return makeTRLAGraphic(); }
std::unique_ptr<PictureClass> autodeskClass() { return makeTAutodeskGraphic(); }
std::unique_ptr<PictureClass> pcdClass() { return makeTPCDGraphic(); }
std::unique_ptr<PictureClass> cutClass() { return makeTCUTGraphic(); }
std::unique_ptr<PictureClass> pspClass() { return makeTPSPGraphic(); }
std::unique_ptr<PictureClass> jpeg2000Class() { return makeJpeg2000Picture(); }

}  // namespace

void registerPlatformFormats(PictureRegistry& r)
{
    r.registerFileFormat("bmp", "Windows bitmaps", "TBitmap", bitmapClass);
    r.registerFileFormat("ico", "Windows icons", "TIcon", iconClass);
    r.registerFileFormat("wmf", "Windows metafiles", "TMetafile", wmfClass);
    r.registerFileFormat("emf", "Windows enhanced meta files", "TMetafile", emfClass);
    r.registerFileFormat("jpg", "JPEG images", "TJPEGImage", jpegClass);
    r.registerFileFormat("jpeg", "JPEG images", "TJPEGImage", jpegClass);
}

void registerAdditionalFormats(TFileFormatList& l)
{
    // extension, common description, individual description, kind, class
    const char* metafiles = "Windows metafiles";
    const char* bitmaps = "Windows bitmaps";
    const char* targa = "Truevision images";
    const char* tiff = "Tagged image file format images";
    const char* pcx = "ZSoft Paintbrush images";
    const char* rla = "Alias/Wavefront images";
    const char* sgi = "SGI images";
    const char* psd = "Photoshop images";
    const char* ppm = "Portable map images";
    const char* autodesk = "Autodesk images";
    l.registerFileFormat("ico", "Windows icons", "Windows icons", kKindDefault, "TIcon", iconClass);
    l.registerFileFormat("wmf", metafiles, "Windows metafiles", kKindMetafile, "TMetafile", wmfClass);
    l.registerFileFormat("emf", metafiles, "Windows enhanced meta files", kKindMetafile, "TMetafile", emfClass);
    l.registerFileFormat("jfif", "JPG images", "JFIF images", kKindDefault, "TJPEGImage", jpegClass);
    l.registerFileFormat("rle", bitmaps, "Run length encoded Windows bitmaps", kKindDefault, "TBitmap", bitmapClass);
    l.registerFileFormat("dib", bitmaps, "Device independant Windows bitmaps", kKindDefault, "TBitmap", bitmapClass);
    for (const char* ext : {"win", "vst", "vda", "tga", "icb"})
        l.registerFileFormat(ext, targa, targa, kKindDefault, "TTargaGraphic", makeTargaGraphic);
    l.registerFileFormat("tiff", tiff, "Macintosh TIFF images", kKindTiff, "TTIFFGraphic", makeTiffGraphic);
    l.registerFileFormat("tif", tiff, "PC TIF images", kKindTiff, "TTIFFGraphic", makeTiffGraphic);
    l.registerFileFormat("fax", tiff, "GFI fax images", kKindTiff, "TTIFFGraphic", makeTiffGraphic);
    l.registerFileFormat("eps", "Encapsulated Postscript images", "Encapsulated Postscript images", kKindDefault, "TEPSGraphic", makeEpsGraphic);
    l.registerFileFormat("pcx", pcx, pcx, kKindDefault, "TPCXGraphic", makePcxGraphic);
    l.registerFileFormat("pcc", pcx, pcx, kKindDefault, "TPCXGraphic", makePcxGraphic);
    l.registerFileFormat("scr", pcx, "Word 5.x screen capture images", kKindDefault, "TPCXGraphic", makePcxGraphic);
    l.registerFileFormat("rpf", rla, rla, kKindDefault, "TRLAGraphic", rlaClass);
    l.registerFileFormat("rla", rla, rla, kKindDefault, "TRLAGraphic", rlaClass);
    l.registerFileFormat("sgi", sgi, "SGI true color images", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("rgba", sgi, "SGI true color images with alpha", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("rgb", sgi, "SGI true color images", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("bw", sgi, "SGI black/white images", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("psd", psd, psd, kKindPhotoshop, "TPSDGraphic", makePsdGraphic);
    l.registerFileFormat("pdd", psd, psd, kKindPhotoshop, "TPSDGraphic", makePsdGraphic);
    l.registerFileFormat("ppm", ppm, "Portable pixel map images", kKindDefault, "TPPMGraphic", makePpmGraphic);
    l.registerFileFormat("pgm", ppm, "Portable gray map images", kKindDefault, "TPPMGraphic", makePpmGraphic);
    l.registerFileFormat("pbm", ppm, "Portable bitmap images", kKindDefault, "TPPMGraphic", makePpmGraphic);
    l.registerFileFormat("cel", autodesk, autodesk, kKindDefault, "TAutodeskGraphic", autodeskClass);
    l.registerFileFormat("pic", autodesk, autodesk, kKindDefault, "TAutodeskGraphic", autodeskClass);
    l.registerFileFormat("pcd", "Kodak Photo-CD images", "Kodak Photo-CD images", kKindDefault, "TPCDGraphic", pcdClass);
    l.registerFileFormat("cut", "Dr. Halo images", "Dr. Halo images", kKindDefault, "TCUTGraphic", cutClass);
    l.registerFileFormat("psp", "Paintshop Pro images", "Paintshop Pro images", kKindPaintShopPro, "TPSPGraphic", pspClass);
    l.registerFileFormat("png", "Portable network graphic images", "Portable network graphic images", kKindDefault, "TPNGGraphic", makePngGraphic);
    const char* jpeg2000 = "JPEG 2000 images";
    l.registerFileFormat("jp2", jpeg2000, "JPEG 2000 images", kKindDefault, "TJPEG2000Graphic", jpeg2000Class);
    l.registerFileFormat("j2k", jpeg2000, "JPEG 2000 codestreams", kKindDefault, "TJPEG2000Graphic", jpeg2000Class);
}

void registerViewerFormats(PictureRegistry& r)
{
    r.registerFileFormat("wsq", "WSQFile", "TWSQImage", makeWsqImage);
    r.registerFileFormat("tiff", "TIFFFile", "TTIFFImage", makeTiffImage);
    r.registerFileFormat("png", "PNGFile", "TPNGImage", makePngImage);
    r.registerFileFormat("gif", "GIFFile", "TGIFImage", makeGifImage);
    r.registerFileFormat("tga", "TGAFile", "TTGAImage", makeTgaImage);
    r.registerFileFormat("cel", "CELFile", "TCELImage", makeCelImage);
    r.registerFileFormat("rgb", "RGBFile", "TRGBImage", makeRgbImage);
    r.registerFileFormat("rgba", "RGBFile", "TRGBImage", makeRgbImage);
    r.registerFileFormat("pcx", "PCXFile", "TPCXImage", makePcxImage);
    r.registerFileFormat("iff", "IFFFile", "TIFFImage", makeIffImage);
    for (const char* ext : {"jpg", "jpeg", "jpe"})
        r.registerFileFormat(ext, "JPEGFile", "TJPEGImage", jpegClass);
}

}  // namespace pictures
