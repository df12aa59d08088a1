// The runner of the --on-alarm program, against real programs: what the
// program is given, and what is said when it fails, overruns or falls behind.

#include "alarm/ProgramRunner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <mutex>
#include <sys/stat.h>

using namespace plovex::alarm;
using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// The reports, as they come from the runner's thread.
struct Reports {
    std::mutex mutex;
    std::vector<std::string> lines;
    ProgramRunner::Report callback()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    bool saw(const std::string& part)
    {
        return waitFor([&] {
            std::lock_guard lock(mutex);
            for (const auto& l : lines)
                if (l.find(part) != std::string::npos)
                    return true;
            return false;
        }, 10s);
    }
    std::size_t count()
    {
        std::lock_guard lock(mutex);
        return lines.size();
    }
};

std::string script(const TempDir& dir, const std::string& name, const std::string& body)
{
    const auto path = dir / name;
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path.string();
}

// Appends "start" to LOG, waits for the file GO (20 s at most), appends "end".
std::string blocking(const TempDir& dir)
{
    const std::string d = dir.path().string();
    return script(dir, "blocking", "echo start >> " + d + "/log\ni=0\nwhile [ ! -e " + d + "/go ] && [ $i -lt 1000 ]; do sleep 0.02; i=$((i+1)); done\necho end >> " + d + "/log");
}

std::size_t lineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(ProgramRunner, GivesTheChangeInTheEnvironmentAndSaysWhatWentWrong)
{
    TempDir dir;
    const std::string d = dir.path().string();
    const struct {
        const char* body;
        std::chrono::milliseconds limit;
        const char* says; // "": nothing to say
    } rows[] = {
        {"env | grep ^PLOVEX_ALARM_ | sort > %/env; read line; echo \"$line\" > %/stdin", 10s, ""},
        {"exit 3", 10s, "failed with exit status 3 (alarm raised: x_deg>2.5)"},
        {"kill -SEGV $$", 10s, "was ended by signal 11"},
        // A child of the program goes with it: the whole group is stopped.
        {"sleep 600 & echo $! > %/child; wait", 200ms, "did not end within 0.2 s (alarm raised: x_deg>2.5); it was stopped"},
    };
    for (const auto& row : rows) {
        std::string body = row.body;
        for (std::size_t at; (at = body.find('%')) != std::string::npos;)
            body.replace(at, 1, d);
        Reports reports;
        {
            ProgramRunner runner({.program = script(dir, "program", body), .limit = row.limit}, reports.callback());
            runner.run({{"PLOVEX_ALARM_STATE", "raised"}, {"PLOVEX_ALARM_RULE", "x_deg>2.5"}, {"PATH", "/usr/bin:/bin"}},
                       "alarm raised: x_deg>2.5");
            if (*row.says)
                EXPECT_TRUE(reports.saw(row.says)) << row.body;
            else
                EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(dir / "stdin"); }, 10s));
            runner.finish(10s);
        }
        EXPECT_EQ(reports.count(), *row.says ? 1u : 0u) << row.body;
    }
    EXPECT_EQ(readFile(dir / "env"), "PLOVEX_ALARM_RULE=x_deg>2.5\nPLOVEX_ALARM_STATE=raised\n");
    EXPECT_EQ(readFile(dir / "stdin"), "\n") << "standard input is empty";
    const std::string child = readFile(dir / "child");
    ASSERT_FALSE(child.empty());
    EXPECT_TRUE(waitFor([&] {
        const std::string stat = readFile("/proc/" + child.substr(0, child.size() - 1) + "/stat");
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    })) << "the program's child still runs";
}

TEST(ProgramRunner, DropsTheOldestWhenBehindAndStopsAtTheEnd)
{
    TempDir dir;
    Reports reports;
    ProgramRunner runner({.program = blocking(dir), .limit = 20s, .queueLimit = 2}, reports.callback());
    runner.run({}, "change 1");
    ASSERT_TRUE(waitFor([&] { return readFile(dir / "log") == "start\n"; }));
    for (int i = 2; i <= 5; ++i)
        runner.run({}, "change " + std::to_string(i)); // returns at once: the first still runs
    writeFile(dir / "go", "");
    EXPECT_TRUE(reports.saw("is behind: 2 older alarm changes were not passed to it"));
    EXPECT_TRUE(waitFor([&] { return lineCount(readFile(dir / "log")) == 6; })) << "changes 1, 4 and 5 ran";
    std::filesystem::remove(dir / "go");
    runner.run({}, "change 6");
    runner.run({}, "change 7");
    ASSERT_TRUE(waitFor([&] { return lineCount(readFile(dir / "log")) == 7; }));
    runner.finish(0ms);
    EXPECT_TRUE(reports.saw("was still running at the end (change 6); it was stopped"));
    EXPECT_TRUE(reports.saw("1 alarm changes were not passed to"));
}

TEST(ProgramRunner, FindsTheProgramOrSaysWhyNot)
{
    TempDir dir;
    writeFile(dir / "plain", "not a program");
    const std::string sh = "sh", missing = "/nonexistent-plovex/x", plain = (dir / "plain").string();
    const struct {
        const std::string& program;
        const char* says; // "": found
    } rows[] = {{sh, ""}, {missing, "No such file or directory"}, {plain, "not an executable file"},
                {"no-such-program-plovex", "no such program on PATH"}, {"", "needs a program"}};
    for (const auto& row : rows) {
        std::string error;
        const auto found = findProgram(row.program, &error);
        EXPECT_EQ(found.has_value(), !*row.says) << row.program << ": " << error;
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
        EXPECT_TRUE(!found || found->ends_with("/sh")) << *found;
    }
}
