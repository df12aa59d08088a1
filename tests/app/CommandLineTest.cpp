// The plovex command line: options, the display check, the screenshot
// path check, and the program itself for the cases that need no window.

#include "app/CommandLine.h"
#include "app/Screenshot.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <sys/wait.h>

namespace {

using plovex::parseCommandLine;

std::optional<plovex::AppOptions> parse(std::vector<std::string> args, std::string* err = nullptr)
{
    std::string e;
    auto o = parseCommandLine(args, &e);
    if (err)
        *err = e;
    return o;
}

TEST(CommandLine, RefusesWhatItCannotUseWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--port"},                              // no value
        {"--port="},                             // empty value
        {"--simulate", "--port", "/dev/x"},      // two ports
        {"--after", "3"},                        // nothing to wait for
        {"--screenshot", "a.png", "--after", "-1"},
        {"--screenshot", "a.png", "--after", "soon"},
        {"--screenshot", "a.png", "--after", "nan"},
        {"--frobnicate"},
        {"extra"},
    };
    for (const auto& args : bad) {
        std::string err;
        EXPECT_FALSE(parse(args, &err)) << args.front();
        EXPECT_FALSE(err.empty()) << args.front();
    }
}

TEST(Screenshot, PathProblemsAreFoundBeforeAnyWait)
{
    testsupport::TempDir dir;
    EXPECT_TRUE(plovex::screenshotWritable((dir / "shot.png").string(), nullptr));
    EXPECT_FALSE(plovex::screenshotWritable((dir / "missing" / "shot.png").string(), nullptr));
    EXPECT_FALSE(plovex::screenshotWritable(dir.path().string() + "/", nullptr));
    EXPECT_FALSE(plovex::screenshotWritable(dir.path().string(), nullptr));
}

// Runs the plovex program with env set (the display variables removed
// first) and returns its exit status and everything it printed.
std::pair<int, std::string> runPlovex(const std::string& args, const std::string& env = "")
{
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " '" PLOVEX_PROGRAM "' " +
                            args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return {-1, ""};
    std::string out;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), buf.size(), p))
        out += buf.data();
    const int status = ::pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(PlovexProgram, HelpVersionAndUsageErrors)
{
    auto [code, out] = runPlovex("--help");
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("--simulate"), std::string::npos);
    EXPECT_NE(out.find("--screenshot FILE"), std::string::npos);

    std::tie(code, out) = runPlovex("--version");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.rfind("plovex ", 0), 0u);

    std::tie(code, out) = runPlovex("--bogus");
    EXPECT_EQ(code, 2);
    EXPECT_NE(out.find("--bogus"), std::string::npos);
}

TEST(PlovexProgram, WithoutADisplayItSaysHowToRunAndExitsOne)
{
    auto [code, out] = runPlovex("--simulate");
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("QT_QPA_PLATFORM=offscreen"), std::string::npos);
    EXPECT_NE(out.find("plovex-cli monitor"), std::string::npos);
}

TEST(PlovexProgram, AnUnwritableScreenshotFailsAtOnce)
{
    testsupport::TempDir dir;
    auto [code, out] = runPlovex("--port /nonexistent --screenshot '" + (dir / "no" / "shot.png").string() + "'",
                                 "QT_QPA_PLATFORM=offscreen");
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("cannot save the screenshot"), std::string::npos);
}

TEST(PlovexProgram, ScreenshotOfTheSimulatedBoardIsAPng)
{
    testsupport::TempDir dir;
    const auto shot = dir / "shot.png";
    auto [code, out] =
        runPlovex("--simulate --screenshot '" + shot.string() + "' --after 1.5",
                  "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR='" + dir.path().string() + "' XDG_CONFIG_HOME='" +
                      dir.path().string() + "'");
    EXPECT_EQ(code, 0) << out;
    const std::string png = testsupport::readFile(shot);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // A run on a simulated board stores no port.
    EXPECT_FALSE(std::filesystem::exists(dir / "plovex" / "plovex.conf"));
}

} // namespace
