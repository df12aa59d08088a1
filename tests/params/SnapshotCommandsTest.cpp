// plovex-cli params, params save, params restore and the snapshot an upload
// saves first, against simulated boards.

#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sys/stat.h>

using namespace testsupport;
using plovex::sim::FrameKind;

TEST(ParamsRestore, PutsBackTheSavedValuesAndNamesThoseThatDidNotTake)
{
    struct Case {
        const char* name;
        std::vector<int> readOnly;
        std::vector<std::pair<int, int16_t>> changes; // made on the board after the save
        const char* flag;
        int exitCode;
        std::size_t writes;
        const char* output; // a regular expression standard output or error must match
    };
    const Case cases[] = {
        {"restore", {}, {{1, 555}, {9, -7}}, "--yes", 0, 2, "\n +1 +Sx Primary Gain +555 +1000\n +9 +-7 +2\n"},
        {"read-only", {3}, {{3, 42}, {5, 77}}, "--yes", 1, 2,
         "parameter 3 \\(Rx measurement variance\\): wrote 300, the board holds 42\n$"},
        {"dry run", {}, {{2, 11}}, "--dry-run", 0, 0, " +2 +Qx process variance +11 +10\nDry run"},
        {"nothing differs", {}, {}, "--yes", 0, 0, "nothing to write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plovex::sim::BoardOptions options;
        options.readOnly = c.readOnly;
        Board board(options);
        TempDir dir;
        const std::string file = (dir / "board.json").string();
        ASSERT_EQ(runCli({"params", "save", file, "--port", board.path()}).exitCode, 0);
        std::vector<int16_t> expected;
        for (int a = 0; a < 16; ++a)
            expected.push_back(board->eeprom(a));
        for (const auto& [address, value] : c.changes) {
            board->setEeprom(address, value);
            if (c.flag == std::string("--dry-run") || std::count(c.readOnly.begin(), c.readOnly.end(), address))
                expected[address] = value;
        }
        board->clearFrames();
        const auto r = runCli({"params", "restore", file, c.flag, "--port", board.path()});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_TRUE(std::regex_search(r.out + r.err, std::regex(c.output))) << r.out << r.err;
        EXPECT_EQ(board->frames(FrameKind::Write).size(), c.writes);
        for (int a = 0; a < 16; ++a)
            EXPECT_EQ(board->eeprom(a), expected[a]) << "parameter " << a;
    }
}

TEST(ParamsRestore, RefusesAFileThatIsNoSnapshotAndWritesNothing)
{
    const std::string head = R"({"format": "plovex-parameters", "version": 1, "parameters": [)";
    const std::pair<std::string, const char*> cases[] = {
        {head + R"({"address": 1, "value": 5}]})", nullptr}, // a good file: it writes
        {head + R"({"address": 1, "value": 5},]})", "not valid JSON"},
        {"", "not valid JSON"},
        {head + R"({"address": 1, "value": 5}]} x)", "not valid JSON"},
        {R"({"format": "plovex-parameters", "version": 2, "parameters": []})", "format version 2"},
        {R"({"version": 1, "parameters": []})", "not a parameter snapshot"},
        {head + R"({"address": 16, "value": 5}]})", "from 0 to 15"},
        {head + R"({"address": -1, "value": 5}]})", "from 0 to 15"},
        {head + R"({"address": 1, "value": 32768}]})", "from -32768 to 32767"},
        {head + R"({"address": 1, "value": -32769}]})", "from -32768 to 32767"},
        {head + R"({"address": 1, "value": 1.5}]})", "from -32768 to 32767"},
        {head + R"({"address": 1, "value": 5}, {"address": 1, "value": 6}]})", "more than once"},
    };
    Board board;
    TempDir dir;
    for (const auto& [text, refusal] : cases) {
        SCOPED_TRACE(text);
        writeFile(dir / "bad.json", text);
        board->setEeprom(1, 1000);
        board->clearFrames();
        const auto r = runCli({"params", "restore", (dir / "bad.json").string(), "--yes", "--port", board.path()});
        EXPECT_EQ(r.exitCode, refusal ? 1 : 0) << r.err;
        EXPECT_EQ(board->frames(FrameKind::Write).size(), refusal ? 0u : 1u);
        EXPECT_NE(r.err.find(refusal ? refusal : ""), std::string::npos) << r.err;
    }
}

// A snapshot is whatever its file holds: what it says of itself is printed
// escaped, and a name that is no regular file is refused, not waited on.
TEST(ParamsRestore, PrintsWhatTheFileSaysOfItselfEscapedAndWaitsOnNoFifo)
{
    Board board;
    TempDir dir;
    writeFile(dir / "crafted.json", R"({"format": "plovex-parameters", "version": 1,
        "saved": "2026-01-01T00:00:00+00:00\r\u001b[2K        1 Sx Primary Gain  1000  1000",
        "port": {"path": "/dev/ttyUSB0\u202e"}, "parameters": [{"address": 1, "value": 5}]})");
    const auto r = runCli({"params", "restore", (dir / "crafted.json").string(), "--dry-run", "--port", board.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find_first_of("\r\x1b"), std::string::npos) << r.out;
    EXPECT_TRUE(contains(r.out, "(saved 2026-01-01T00:00:00+00:00\\r\\x1B[2K        1 Sx Primary Gain  1000  1000 "
                                "from /dev/ttyUSB0\\u{202E})")) << r.out;

    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::pair<std::string, const char*> others[] = {{(dir / "fifo").string(), "is a FIFO, not a regular file"},
                                                         {dir.path().string(), "is a folder, not a regular file"}};
    board->clearFrames();
    for (const auto& [path, refusal] : others) {
        const auto refused = runCli({"params", "restore", path, "--yes", "--port", board.path()});
        EXPECT_EQ(refused.exitCode, 1) << refused.err;
        EXPECT_NE(refused.err.find(path + ": " + refusal), std::string::npos) << refused.err;
    }
    EXPECT_TRUE(board->frames().empty());
}

TEST(Params, PrintsEveryParameterWithItsDescription)
{
    Board board;
    board->setEeprom(0, -2);
    board->setEeprom(8, 0x1234);
    const char* const descriptions[8] = {"Status Bits",         "Sx Primary Gain",         "Qx process variance",
                                         "Rx measurement variance", "Sy Primary Gain",     "Qy process variance",
                                         "Ry measurement variance", "data selector"};
    std::string expected = "address,description,value\n";
    for (int a = 0; a < 16; ++a)
        expected += std::to_string(a) + "," + (a < 8 ? descriptions[a] : "") + "," + std::to_string(board->eeprom(a)) + "\n";
    const auto r = runCli({"params", "--format", "csv", "--port", board.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

// Stray bytes before every reply shift a reply's two bytes: every command that
// reads parameters names the one it cannot trust, exits 1 and prints, saves,
// writes or sends nothing on the strength of it.
TEST(ParameterCommands, UseNothingOfABoardWhoseRepliesCannotBeTrusted)
{
    Board board;
    TempDir dir;
    const std::string saved = (dir / "saved.json").string();
    ASSERT_EQ(runCli({"params", "save", saved, "--port", board.path()}).exitCode, 0);
    board->setEeprom(4, -4); // a restore would have this to write
    writeFile(dir / "fw.bin", std::string(100, 'x'));
    board->setStrayBeforeReplies(1);
    board->clearFrames();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"read-param", "5"}, "parameter 5 could not be read: replies came"},
        {{"params", "--format", "csv"}, "parameter 0 could not be read"},
        {{"params", "save", (dir / "new.json").string()}, "parameter 0 could not be read"},
        {{"params", "restore", saved, "--yes"}, "parameter 0 could not be read"},
        {{"write-param", "5", "77", "--yes"}, "parameter 5 (Qy process variance): wrote 77, it could not be read back"},
        {{"upload", (dir / "fw.bin").string()}, "parameter 0 could not be read"},
    };
    CliOptions options;
    options.env["XDG_STATE_HOME"] = (dir / "state").string();
    for (auto [args, named] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        args.insert(args.end(), {"--port", board.path()});
        const auto r = runCli(args, options);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "new.json"));
    EXPECT_FALSE(std::filesystem::exists(dir / "state" / "plovex" / "snapshots" ));
    EXPECT_EQ(board->frames(FrameKind::Write).size(), 1u) << "write-param's own write, and no restore";
    EXPECT_EQ(board->eeprom(4), -4);
    EXPECT_TRUE(board->frames(FrameKind::ProgramBlock).empty());
}

TEST(ParamsSave, ReplacesAnExistingFileOnlyWithForce)
{
    const std::tuple<bool, const char*, int> cases[] = {{false, "--port", 0}, {true, "--port", 1}, {true, "--force", 0}};
    Board board;
    for (const auto& [exists, flag, exitCode] : cases) {
        TempDir dir;
        if (exists)
            writeFile(dir / "p.json", "old");
        std::vector<std::string> args = {"params", "save", (dir / "p.json").string(), "--port", board.path()};
        if (flag != std::string("--port"))
            args.push_back(flag);
        EXPECT_EQ(runCli(args).exitCode, exitCode);
        EXPECT_EQ(readFile(dir / "p.json") == "old", exitCode != 0) << exists << flag;
    }
}

TEST(Upload, SavesTheParametersBeforeTheFirstBlockOrSendsNothing)
{
    struct Case {
        bool silent, noSnapshot;
        int exitCode;
    };
    for (const Case c : {Case{false, false, 0}, Case{true, false, 1}, Case{true, true, 0}}) {
        SCOPED_TRACE(testing::Message() << "silent " << c.silent << ", --no-snapshot " << c.noSnapshot);
        Board board;
        board->setSilent(c.silent);
        TempDir dir;
        writeFile(dir / "fw.bin", std::string(256, '\x5A'));
        std::vector<std::string> args = {"upload", (dir / "fw.bin").string(), "--port", board.path()};
        if (c.noSnapshot)
            args.push_back("--no-snapshot");
        CliOptions options;
        options.env["XDG_STATE_HOME"] = dir.path().string();
        CliProcess upload(args, options);
        const auto folder = dir / "plovex" / "snapshots";
        auto saved = [&] { return std::filesystem::exists(folder) && !std::filesystem::is_empty(folder); };
        // Once the first block is there, the snapshot must be; with none to come, the end is awaited.
        const bool savedFirst = c.exitCode == 0 && !board.frames(FrameKind::ProgramBlock, 1).empty() && saved();
        const auto r = upload.finish();
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(board->frames(FrameKind::ProgramBlock).empty(), c.exitCode != 0);
        EXPECT_EQ(savedFirst, !c.silent) << "a snapshot when the first block left";
        EXPECT_EQ(saved(), !c.silent);
        if (!saved())
            continue;
        // What was saved is the board's: a restore from it puts a changed value back.
        const auto snapshot = std::filesystem::directory_iterator(folder)->path();
        EXPECT_NE(r.err.find(snapshot.string()), std::string::npos) << r.err;
        board->setEeprom(4, -4);
        EXPECT_EQ(runCli({"params", "restore", snapshot.string(), "--yes", "--port", board.path()}).exitCode, 0);
        EXPECT_EQ(board->eeprom(4), 1000);
    }
}
