#include "viewer/picture_filters.h"

namespace viewer {

const std::vector<FilterEntry>& openFilterEntries()
{
    // The blank before "*.rpf" and the pattern "*gif" are as the dialog has
    // always had them.
    static const std::vector<FilterEntry> entries = {
        {"All images",
         "*.wsq;*.bmp;*.tiff;*.tif;*.jpg;*.jpe;*.jpeg;*.png;*.gif;*.iff;*.ico;*.wmf;*.emf;*.jfif;*.rle;*.dib;"
         "*.win;*.vst;*.vda;*.tga;*.icb;*.fax;*.eps;*.pcx;*.pcc;*.scr; *.rpf;*.rla;*.sgi;*.rgba;*.rgb;*.bw;"
         "*.psd;*.pdd;*.ppm;*.pgm;*.pbm;*.cel;*.pic;*.pcd;*.cut;*.psp;*.jp2;*.j2k"},
        {"FBI Wavelet Scalar Quantization (*.wsq)", "*.wsq"},
        {"Windows bitmaps (*.bmp)", "*.bmp"},
        {"Macintosh TIFF images (*.tiff)", "*.tiff"},
        {"PC TIFF images (*.tif)", "*.tif"},
        {"JPG images (*.jpg)", "*.jpg"},
        {"JPE images (*.jpe)", "*.jpe"},
        {"JPEG images (*.jpeg)", "*.jpeg"},
        {"Portable network graphic images (*.png)", "*.png"},
        {"Compuserve Graphic Interchange Format(*.gif)", "*gif"},
        {"Paintshop Pro images (*.psp)", "*.psp"},
        {"JFIF images (*.jfif)", "*.jfif"},
        {"Run length encoded Windows bitmaps (*.rle)", "*.rle"},
        {"Device independant Windows bitmaps (*.dib)", "*.dib"},
        {"Truevision images (*.win)", "*.win"},
        {"Truevision images (*.vst)", "*.vst"},
        {"Truevision images (*.vda)", "*.vda"},
        {"Truevision images (*.tga)", "*.tga"},
        {"Truevision images (*.icb)", "*.icb"},
        {"GFI fax images (*.fax)", "*.fax"},
        {"Encapsulated Postscript images (*.eps)", "*.eps"},
        {"ZSoft Paintbrush images (*.pcx)", "*.pcx"},
        {"ZSoft Paintbrush images (*.pcc)", "*.pcc"},
        {"Word 5.x screen capture images (*.scr)", "*.scr"},
        {"Alias/Wavefront images (*.rpf)", "*.rpf"},
        {"Alias/Wavefront images (*.rla)", "*.rla"},
        {"SGI true color images (*.sgi)", "*.sgi"},
        {"SGI true color images with alpha (*.rgba)", "*.rgba"},
        {"SGI true color images (*.rgb)", "*.rgb"},
        {"SGI black/white images (*.bw)", "*.bw"},
        {"Photoshop images (*.psd)", "*.psd"},
        {"Photoshop images (*.pdd)", "*.pdd"},
        {"Portable pixel map images (*.ppm)", "*.ppm"},
        {"Portable gray map images (*.pgm)", "*.pgm"},
        {"Portable bitmap images (*.pbm)", "*.pbm"},
        {"Autodesk images (*.cel)", "*.cel"},
        {"Autodesk images (*.pic)", "*.pic"},
        {"Kodak Photo-CD images (*.pcd)", "*.pcd"},
        {"Dr. Halo images (*.cut)", "*.cut"},
        {"Amiga Bitmap Graphic (8 bits)", "*.iff"},
        {"Windows icons (*.ico)", "*.ico"},
        {"Windows metafiles (*.wmf)", "*.wmf"},
        {"Windows enhanced meta files (*.emf)", "*.emf"},
        {"JPEG 2000 images (*.jp2)", "*.jp2"},
        {"JPEG 2000 codestreams (*.j2k)", "*.j2k"},
    };
    return entries;
}

const std::vector<FilterEntry>& saveFilterEntries()
{
    static const std::vector<FilterEntry> entries = {
        {"WSQ Files (*.wsq)", "*.wsq"},     {"Windows BMP (*.bmp)", "*.bmp"}, {"TIFF Files (*.tif)", "*.tif"},
        {"PNG Files (*.png)", "*.png"},     {"JPEG Files (*.jpg)", "*.jpg"},  {"Targa Files (*.tga)", "*.tga"},
        {"RGB Files (*.rgb)", "*.rgb"},
    };
    return entries;
}

std::string joinFilter(const std::vector<FilterEntry>& entries)
{
    std::string filter;
    for (const FilterEntry& entry : entries)
        filter += entry.description + "|" + entry.pattern + "|";
    return filter;
}

}  // namespace viewer
