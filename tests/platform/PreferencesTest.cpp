#include "platform/Preferences.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::FilePreferences;
using testsupport::TempDir;

TEST(Preferences, MissingFileIsAnEmptyStoreWithoutWarning)
{
    TempDir dir;
    FilePreferences p(dir / "plovex" / "plovex.conf");
    EXPECT_FALSE(p.objectForKey("serialPortPath"));
    EXPECT_EQ(p.loadWarning(), "");
}

TEST(Preferences, ValuesSurviveARoundTripWhateverTheirBytes)
{
    TempDir dir;
    const auto file = dir / "sub" / "plovex.conf";
    const std::string odd = "/dev/serial/by-id/usb-FTDI a=b\\c\nline\x01\xff";
    {
        FilePreferences p(file);
        p.setObject("ttyUSB0", "serialPortName");
        p.setObject(odd, "serialPortPath");
        EXPECT_TRUE(p.synchronize());
    }
    FilePreferences again(file);
    EXPECT_EQ(again.objectForKey("serialPortName"), "ttyUSB0");
    EXPECT_EQ(again.objectForKey("serialPortPath"), odd);
    EXPECT_EQ(again.loadWarning(), "");
    // Written atomically: no temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(file.parent_path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(Preferences, CorruptOrUnreadableFilesReadAsEmptyWithOneWarningAndStayUntouched)
{
    TempDir dir;
    const std::vector<std::string> corrupt = {
        "serialPortPath\n",               // no '='
        "bad key=1\n",                    // space in the key
        "serialPortPath=/dev/x\\q\n",     // unknown escape
        "serialPortPath=/dev/x\\x4\n",    // short hex escape
        std::string("a=b\0c\n", 6),       // NUL byte
        std::string(70 * 1024, 'x'),      // far too large
    };
    for (const auto& text : corrupt) {
        const auto file = dir / "plovex.conf";
        testsupport::writeFile(file, text);
        FilePreferences p(file);
        EXPECT_FALSE(p.objectForKey("serialPortPath"));
        EXPECT_NE(p.loadWarning(), "") << text.substr(0, 40);
        EXPECT_TRUE(p.synchronize()) << "nothing stored: nothing written";
        EXPECT_EQ(testsupport::readFile(file), text) << "a corrupt file is kept until the user stores a value";
    }
    // A folder where the file should be.
    std::filesystem::create_directory(dir / "folder.conf");
    FilePreferences folder(dir / "folder.conf");
    EXPECT_NE(folder.loadWarning(), "");
    folder.setObject("x", "serialPortPath");
    EXPECT_FALSE(folder.synchronize()) << "a failed write is reported";
}

TEST(Preferences, CommentsBlankLinesAndCarriageReturnsAreAccepted)
{
    std::string error;
    auto v = platform::parsePreferences("# comment\n\nserialPortName=ttyS0\r\nserialPortPath=/dev/ttyS0\n", &error);
    ASSERT_TRUE(v) << error;
    EXPECT_EQ(v->at("serialPortName"), "ttyS0");
    EXPECT_EQ(v->at("serialPortPath"), "/dev/ttyS0");
}

TEST(Preferences, DefaultLocationFollowsXdgConfigHome)
{
    {
        testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg-test");
        EXPECT_EQ(FilePreferences::defaultFile(), "/tmp/xdg-test/plovex/plovex.conf");
    }
    testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    testsupport::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(FilePreferences::defaultFile(), "/home/someone/.config/plovex/plovex.conf");
}

TEST(Preferences, AStoreTooLargeToLoadAgainIsNotWrittenAndTheOldFileStays)
{
    TempDir dir;
    const auto file = dir / "plovex.conf";
    {
        FilePreferences p(file);
        p.setObject("/dev/ttyUSB0", "serialPortPath");
        ASSERT_TRUE(p.synchronize());
        p.setObject(std::string(20 * 1024, '\x01'), "huge"); // four bytes each once escaped
        EXPECT_FALSE(p.synchronize());
    }
    FilePreferences again(file);
    EXPECT_EQ(again.objectForKey("serialPortPath"), "/dev/ttyUSB0");
    EXPECT_EQ(again.loadWarning(), "");
}
