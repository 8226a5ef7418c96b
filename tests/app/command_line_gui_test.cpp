// nistviewer --help and --version: printed before any window exists, so they
// work without a display.
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

std::optional<std::string> requestOf(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "nistviewer");
    return app::informationRequest(static_cast<int>(arguments.size()), arguments.data());
}

}  // namespace

TEST(CommandLine, HelpAndVersionAreAnsweredOtherArgumentsStartTheWindows)
{
    const std::optional<std::string> help = requestOf({"--help"});
    ASSERT_TRUE(help);
    EXPECT_EQ(help->rfind("Usage: nistviewer [FILE]\n", 0), 0u);
    EXPECT_EQ(requestOf({"-h"}), help);
    EXPECT_EQ(requestOf({"prints.nist", "--help"}), help);
    EXPECT_EQ(requestOf({"--version"}).value_or("").rfind("nistviewer ", 0), 0u);
    EXPECT_EQ(requestOf({}), std::nullopt);
    EXPECT_EQ(requestOf({"prints.nist"}), std::nullopt);
    // After "--" every argument is a file name.
    EXPECT_EQ(requestOf({"--", "--help"}), std::nullopt);
}

#ifdef NV_NISTVIEWER
TEST(CommandLine, TheProgramPrintsAndExitsWithoutADisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    // A window system that cannot start here: reaching it would end the program with an error.
    environment.insert("QT_QPA_PLATFORM", "xcb");
    for (const char* option : {"--help", "--version"}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(NV_NISTVIEWER), {QString::fromLatin1(option)});
        ASSERT_TRUE(program.waitForFinished(20000)) << option;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(program.exitCode(), 0) << option;
        const std::string out = program.readAllStandardOutput().toStdString();
        EXPECT_EQ(out, *requestOf({option})) << option;
        EXPECT_TRUE(program.readAllStandardError().isEmpty()) << option;
    }
}
#endif
