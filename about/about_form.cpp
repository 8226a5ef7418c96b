#include "about/about_form.h"

namespace about {

namespace {

const AboutLayout kLayout = {
    406,
    QRect(112, 8, 280, 24),
    QRect(8, 32, 385, 65),
    QRect(96, 104, 225, 81),
    QRect(104, 184, 204, 20),
    QRect(8, 224, 313, 33),
    QRect(328, 224, 73, 33),
};

std::vector<const char*> description()
{
    return {
        "Reads and converts between WSQ and other graphic file formats.",
        "Supported formats for reading:",
        "WSQ - FBI's Wavelet Scalar Quantization",
        "BMP - Windows bitmaps",
        "TIFF - Macintosh Tagged Information File Format images",
        "TIF - PC Tagged Information File Format images",
        "JPG, JPEG - Joint Photographic Experts Group images",
        "JPE - JPE images",
        "PNG - Portable network graphic images",
        "GIF - Compuserve Graphic Interchange Format",
        "PSP - Paintshop Pro images",
        "JFIF - JFIF images",
        "RLE - Run length encoded Windows bitmaps",
        "DIB - Device independant Windows bitmaps",
        "TGA,WIN,VST,VDA,ICB - Truevision images",
        "FAX - GFI fax images",
        "EPS - Encapsulated Postscript images",
        "PCX,PCC - ZSoft Paintbrush images",
        "SCR - Word 5.x screen capture images",
        "RPF,RLA - Alias/Wavefront images",
        "SGI,RGBA,RGB - SGI true color images",
        "BW - SGI black/white images",
        "PSD - Photoshop images",
        "PDD - Photoshop images",
        "PPM - Portable pixel map images",
        "PGM - Portable gray map images",
        "PBM - Portable bitmap images",
        "CEL - Autodesk images",
        "PIC - Autodesk images",
        "PCD - Kodak Photo-CD images",
        "CUT - Dr. Halo images",
        "IFF - Amiga Bitmap Graphic (8 bits)",
        "ICO - Windows icons",
        "WMF - Windows metafiles",
        "EMF - Windows enhanced meta files",
        "Supported formats for writing:",
        "WSQ  - FBI's Wavelet Scalar Quantization",
        "BMP  - Windows Bitmap Graphics",
        "TIFF - Tagged Information File Format  (no LZW compression)",
        "PNG  - Portable Network Graphics",
        "JPEG  - Joint Photographic Experts Group",
        "RGB   - Silicon Graphics International (uncompressed)",
        "TGA   - Truevision Targa Graphic",
        "For latest version and more information please visit:",
    };
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : AboutBox("RAR ovadez v. 2.7", description(), kLayout, parent)
{
    setModal(true);
}

}  // namespace about
