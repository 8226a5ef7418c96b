#include <gtest/gtest.h>

#include "pictures/viewer_extensions.h"

TEST(ViewerExtensions, LowerCasedFromTheLastDotOfTheName)
{
    EXPECT_EQ(pictures::lowerCaseExtension("SCAN.WSQ"), ".wsq");
    EXPECT_EQ(pictures::lowerCaseExtension("/a.b/print"), "");
    EXPECT_EQ(pictures::lowerCaseExtension("x.tar.Gz"), ".gz");
    EXPECT_TRUE(pictures::isViewerExtension("/tmp/SCAN.WSQ"));
    EXPECT_TRUE(pictures::isViewerExtension("photo.JPEG"));
    EXPECT_TRUE(pictures::isViewerExtension("amiga.iff"));
    EXPECT_FALSE(pictures::isViewerExtension("notes.txt"));
    EXPECT_FALSE(pictures::isViewerExtension("transaction.nist"));
    EXPECT_FALSE(pictures::isViewerExtension("wsq"));
    EXPECT_TRUE(pictures::isViewerExtension("face.JP2"));
    EXPECT_TRUE(pictures::isViewerExtension("print.j2k"));
    EXPECT_EQ(pictures::viewerExtensions().size(), 46u);
}
