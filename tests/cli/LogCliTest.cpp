// plovex-cli log as a process: killed with SIGKILL while it writes, then
// started again on the same port and folder.

#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>

using namespace testsupport;

namespace {

std::vector<std::filesystem::path> csvFiles(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".csv")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(LogCli, AfterAKillTheNextStartCutsThePartRowOffAndWritesANewFile)
{
    Board board;
    TempDir dir;
    const std::vector<std::string> args = {"log", "--port", board.path(), "--dir", dir.path().string()};
    CliProcess first(args);
    ASSERT_TRUE(waitFor([&] {
        const auto files = csvFiles(dir.path());
        return files.size() == 1 && lines(readFile(files[0])).size() >= 3;
    }, std::chrono::seconds(20)));
    const auto file = csvFiles(dir.path()).at(0);
    EXPECT_EQ(file.filename().string().rfind("board-", 0), 0u) << file;

    // One logger of a port writes to a folder at a time.
    auto again = args;
    again.insert(again.end(), {"--seconds", "5"});
    const auto refused = runCli(again);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "plovex-cli log: another logger of board writes to " + dir.path().string() + "\n");

    first.signal(SIGKILL);
    first.finish();
    std::string kept = readFile(file);
    kept.erase(kept.rfind('\n') + 1); // whatever a write cut short, it is no row
    // A power cut leaves part of a row, and blocks of zeros.
    const std::string torn = "2026-12-07T08:30:00.123+00:00,12.345,1.2";
    std::ofstream(file, std::ios::app) << torn << std::string(4, '\0');
    const std::size_t cut = readFile(file).size() - kept.size();

    auto restart = args;
    restart.insert(restart.end(), {"--seconds", "3.5", "--average", "1"});
    const auto r = runCli(restart);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, file.filename().string() + " ended in a partly written row: cut off " + std::to_string(cut) +
                                    " bytes after its last whole row\n")) << r.err;
    EXPECT_EQ(readFile(file), kept);
    for (const auto& line : lines(kept))
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 16) << line;

    const auto files = csvFiles(dir.path());
    ASSERT_EQ(files.size(), 2u);
    const auto averaged = lines(readFile(files[1]));
    ASSERT_GE(averaged.size(), 3u);
    EXPECT_EQ(averaged[0].rfind("time,interval_s,count,x_deg_mean,", 0), 0u);
    // A whole second in the middle of the run, with the board answering.
    const auto& middle = averaged[averaged.size() - 2];
    EXPECT_TRUE(std::regex_match(middle, std::regex(kIsoTime + R"(,1\.000,[1-9]\d*(,-?\d+\.\d+){16},(0\.\d\d[1-9]|0\.\d[1-9]\d|0\.[1-9]\d\d|1\.000))")))
        << middle;
}
