// Unplug and replug at a stable link, and the links in the runtime folder.

#include "platform/RuntimeDir.h"
#include "sim/SimulatedBoard.h"
#include "tests/sim/HostLine.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace plovex::sim;
using namespace simtest;
namespace fs = std::filesystem;

namespace {

std::string target(const std::string& link)
{
    std::error_code ec;
    const auto t = fs::read_symlink(link, ec);
    return ec ? std::string() : t.string();
}

} // namespace

TEST(BoardPlug, UnplugHangsUpTheHostAndReplugServesTheSameLink)
{
    testsupport::TempDir dir;
    BoardOptions o;
    o.linkPath = (dir / "board").string();
    o.publish = false;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start()) << board.error();
    const auto link = board.linkPath();
    {
        HostLine host(link);
        ASSERT_TRUE(host.ok());
        ASSERT_EQ(pollOnce(host).size(), 21u);
        ASSERT_TRUE(board.unplug());
        EXPECT_FALSE(board.pluggedIn());
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
        EXPECT_TRUE(host.waitHangup());
        EXPECT_FALSE(host.send({0xEE}) && host.read(21, 100ms).size() == 21u);
    }
    ASSERT_TRUE(board.replug()) << board.error();
    EXPECT_EQ(target(link), board.slavePath());
    HostLine again(link);
    ASSERT_TRUE(again.ok()) << again.openError();
    EXPECT_EQ(pollOnce(again).size(), 21u);
    EXPECT_EQ(board.counters().unplugs, 1u);
    EXPECT_EQ(board.counters().replugs, 1u);
}

TEST(BoardPlug, WhatAHostLeftUnreadIsGoneForTheNextHost)
{
    testsupport::TempDir dir;
    BoardOptions o;
    o.linkPath = (dir / "board").string();
    o.publish = false;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start()) << board.error();
    {
        HostLine first(board.linkPath());
        ASSERT_TRUE(first.send({0xEE, 0x08, 0x01}));
        ASSERT_TRUE(testsupport::waitFor([&] { return board.counters().readsAnswered == 1; }, 2s));
        ASSERT_TRUE(testsupport::waitFor([&] { return board.counters().bytesSent == 23; }, 2s));
    }
    ASSERT_TRUE(testsupport::waitFor([&] { return board.counters().hostHangUps == 1; }, 2s));
    HostLine next(board.linkPath());
    ASSERT_TRUE(next.ok());
    EXPECT_TRUE(next.readFor(50ms).empty());
    ASSERT_TRUE(next.send({0x08, 0x02}));
    EXPECT_EQ(next.read(2), (Bytes{0x00, 0x0A}));
}

TEST(BoardPlug, AHundredCyclesLeakNoDescriptor)
{
    testsupport::TempDir dir;
    BoardOptions o;
    o.linkPath = (dir / "board").string();
    o.publish = false;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start()) << board.error();
    const int before = testsupport::openDescriptorCount();
    for (int i = 0; i < 100; ++i) {
        HostLine host(board.linkPath());
        ASSERT_TRUE(host.ok()) << "cycle " << i << ": " << host.openError();
        ASSERT_EQ(pollOnce(host).size(), 21u) << "cycle " << i;
        ASSERT_TRUE(board.unplug());
        ASSERT_TRUE(host.waitHangup()) << "cycle " << i;
        ASSERT_TRUE(board.replug()) << board.error();
    }
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
    EXPECT_EQ(board.counters().pollsAnswered, 100u);
}

TEST(BoardPlug, PublishesItsLinkInTheRuntimeFolderWhileRunning)
{
    testsupport::TempDir dir;
    testsupport::ScopedEnv env("XDG_RUNTIME_DIR", dir.path().string());
    const auto runtime = platform::simulatorLinkDir();
    std::string own, published, given;
    {
        SimulatedBoard plain;
        ASSERT_TRUE(plain.start()) << plain.error();
        own = plain.linkPath();
        EXPECT_EQ(fs::path(own).parent_path(), runtime);
        EXPECT_EQ(plain.publishedLinkPath(), own);
        EXPECT_EQ(plain.displayName().rfind("plovex-sim-", 0), 0u) << plain.displayName();
        EXPECT_EQ(target(own), plain.slavePath());

        BoardOptions o;
        o.linkPath = (dir / "mine").string();
        SimulatedBoard named(o);
        ASSERT_TRUE(named.start()) << named.error();
        given = named.linkPath();
        published = named.publishedLinkPath();
        EXPECT_EQ(published, (runtime / "mine").string());
        EXPECT_EQ(named.displayName(), "mine");
        EXPECT_EQ(target(given), named.slavePath());
        EXPECT_EQ(target(published), named.slavePath());
        EXPECT_EQ(platform::simulatorLinkHeld(published), true) << "discovery must see the board alive";

        // A second live board of the same name gets a name of its own.
        BoardOptions o2;
        o2.linkPath = (dir / "other" / "mine").string();
        fs::create_directory(dir / "other");
        SimulatedBoard twin(o2);
        ASSERT_TRUE(twin.start()) << twin.error();
        EXPECT_NE(twin.publishedLinkPath(), published);
        EXPECT_EQ(target(published), named.slavePath());

        ASSERT_TRUE(named.unplug());
        EXPECT_FALSE(fs::exists(fs::symlink_status(published)));
        EXPECT_FALSE(fs::exists(fs::symlink_status(given)));
        ASSERT_TRUE(named.replug());
        EXPECT_EQ(target(published), named.slavePath());
        EXPECT_EQ(target(given), named.slavePath());
    }
    EXPECT_TRUE(fs::is_empty(runtime)) << "links left behind";
    EXPECT_FALSE(fs::exists(fs::symlink_status(given)));
}

TEST(BoardPlug, RefusesToReplaceAFileAndReplacesAStaleLink)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "file", "keep me");
    BoardOptions o;
    o.linkPath = (dir / "file").string();
    o.publish = false;
    SimulatedBoard board(o);
    EXPECT_FALSE(board.start());
    EXPECT_NE(board.error().find("not a symbolic link"), std::string::npos) << board.error();
    EXPECT_EQ(testsupport::readFile(dir / "file"), "keep me");

    fs::create_symlink("/dev/pts/nonexistent-99999", dir / "stale");
    o.linkPath = (dir / "stale").string();
    SimulatedBoard again(o);
    ASSERT_TRUE(again.start()) << again.error();
    EXPECT_EQ(target(again.linkPath()), again.slavePath());
}
