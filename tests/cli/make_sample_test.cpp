#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include "platform/files.h"
#include "test_support/temp_dir.h"

#ifdef MAKE_SAMPLE_PATH
// data/README.md promises that make_sample gives the shipped sample again.
TEST(MakeSampleTest, ReproducesTheShippedSampleByteForByte)
{
    TempDir dir;
    const std::string out = (dir.path() / "sample.nist").string();
    const std::string command = std::string("'") + MAKE_SAMPLE_PATH + "' '" + out + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    const platform::FileContents made = platform::readWholeFile(out);
    const platform::FileContents shipped = platform::readWholeFile(NV_SAMPLE_DIR "/sample.nist");
    ASSERT_EQ(shipped.status, platform::ReadStatus::Ok);
    EXPECT_EQ(made.bytes.size(), shipped.bytes.size());
    EXPECT_TRUE(made.bytes == shipped.bytes) << "make_sample no longer reproduces data/sample.nist";
}
#endif
