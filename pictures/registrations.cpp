// Every registration of the running program, in the order the program makes
// them. Replacing the class behind an extension is a change of one line here.
#include "pictures/picture_classes.h"
#include "pictures/registry.h"
#include "pictures/viewer_classes.h"

namespace pictures {

namespace {

PictureClassFactory unavailable(const char* className, const char* format)
{
    return [=] { return makeUnavailable(className, format); };
}

}  // namespace

void registerPlatformFormats(PictureRegistry& r)
{
    r.registerFileFormat("bmp", "Windows bitmaps", "TBitmap", makeLibraryBitmap);
    r.registerFileFormat("ico", "Windows icons", "TIcon", unavailable("TIcon", "ICO"));
    r.registerFileFormat("wmf", "Windows metafiles", "TMetafile", unavailable("TMetafile", "WMF"));
    r.registerFileFormat("emf", "Windows enhanced meta files", "TMetafile", unavailable("TMetafile", "EMF"));
    r.registerFileFormat("jpg", "JPEG images", "TJPEGImage", makeLibraryJpeg);
    r.registerFileFormat("jpeg", "JPEG images", "TJPEGImage", makeLibraryJpeg);
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
    l.registerFileFormat("ico", "Windows icons", "Windows icons", kKindDefault, "TIcon", unavailable("TIcon", "ICO"));
    l.registerFileFormat("wmf", metafiles, "Windows metafiles", kKindMetafile, "TMetafile", unavailable("TMetafile", "WMF"));
    l.registerFileFormat("emf", metafiles, "Windows enhanced meta files", kKindMetafile, "TMetafile", unavailable("TMetafile", "EMF"));
    l.registerFileFormat("jfif", "JPG images", "JFIF images", kKindDefault, "TJPEGImage", makeLibraryJpeg);
    l.registerFileFormat("rle", bitmaps, "Run length encoded Windows bitmaps", kKindDefault, "TBitmap", makeLibraryBitmap);
    l.registerFileFormat("dib", bitmaps, "Device independant Windows bitmaps", kKindDefault, "TBitmap", makeLibraryBitmap);
    for (const char* ext : {"win", "vst", "vda", "tga", "icb"})
        l.registerFileFormat(ext, targa, targa, kKindDefault, "TTargaGraphic", makeTargaGraphic);
    l.registerFileFormat("tiff", tiff, "Macintosh TIFF images", kKindTiff, "TTIFFGraphic", makeTiffGraphic);
    l.registerFileFormat("tif", tiff, "PC TIF images", kKindTiff, "TTIFFGraphic", makeTiffGraphic);
    l.registerFileFormat("fax", tiff, "GFI fax images", kKindTiff, "TTIFFGraphic", makeTiffGraphic);
    l.registerFileFormat("eps", "Encapsulated Postscript images", "Encapsulated Postscript images", kKindDefault, "TEPSGraphic", makeEpsGraphic);
    l.registerFileFormat("pcx", pcx, pcx, kKindDefault, "TPCXGraphic", makePcxGraphic);
    l.registerFileFormat("pcc", pcx, pcx, kKindDefault, "TPCXGraphic", makePcxGraphic);
    l.registerFileFormat("scr", pcx, "Word 5.x screen capture images", kKindDefault, "TPCXGraphic", makePcxGraphic);
    l.registerFileFormat("rpf", rla, rla, kKindDefault, "TRLAGraphic", unavailable("TRLAGraphic", "RLA"));
    l.registerFileFormat("rla", rla, rla, kKindDefault, "TRLAGraphic", unavailable("TRLAGraphic", "RLA"));
    l.registerFileFormat("sgi", sgi, "SGI true color images", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("rgba", sgi, "SGI true color images with alpha", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("rgb", sgi, "SGI true color images", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("bw", sgi, "SGI black/white images", kKindDefault, "TSGIGraphic", makeSgiGraphic);
    l.registerFileFormat("psd", psd, psd, kKindPhotoshop, "TPSDGraphic", makePsdGraphic);
    l.registerFileFormat("pdd", psd, psd, kKindPhotoshop, "TPSDGraphic", makePsdGraphic);
    l.registerFileFormat("ppm", ppm, "Portable pixel map images", kKindDefault, "TPPMGraphic", makePpmGraphic);
    l.registerFileFormat("pgm", ppm, "Portable gray map images", kKindDefault, "TPPMGraphic", makePpmGraphic);
    l.registerFileFormat("pbm", ppm, "Portable bitmap images", kKindDefault, "TPPMGraphic", makePpmGraphic);
    l.registerFileFormat("cel", autodesk, autodesk, kKindDefault, "TAutodeskGraphic", unavailable("TAutodeskGraphic", "Autodesk"));
    l.registerFileFormat("pic", autodesk, autodesk, kKindDefault, "TAutodeskGraphic", unavailable("TAutodeskGraphic", "Autodesk"));
    l.registerFileFormat("pcd", "Kodak Photo-CD images", "Kodak Photo-CD images", kKindDefault, "TPCDGraphic", unavailable("TPCDGraphic", "Photo-CD"));
    l.registerFileFormat("cut", "Dr. Halo images", "Dr. Halo images", kKindDefault, "TCUTGraphic", unavailable("TCUTGraphic", "CUT"));
    l.registerFileFormat("psp", "Paintshop Pro images", "Paintshop Pro images", kKindPaintShopPro, "TPSPGraphic", unavailable("TPSPGraphic", "PSP"));
    l.registerFileFormat("png", "Portable network graphic images", "Portable network graphic images", kKindDefault, "TPNGGraphic", makePngGraphic);
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
        r.registerFileFormat(ext, "JPEGFile", "TJPEGImage", makeLibraryJpeg);
}

}  // namespace pictures
