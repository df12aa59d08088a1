#include "discovery/Uevent.h"

#include <gtest/gtest.h>

#include <string>

using plovex::isUsableDevName;
using plovex::ueventValue;
using namespace std::string_literals;

TEST(Uevent, FindsKeysOnWholeLinesOnly)
{
    const std::string text = "MAJOR=188\nMINOR=0\nXDEVNAME=wrong\nDEVNAME=ttyUSB0\nDEVNAME=second\n";
    EXPECT_EQ(ueventValue(text, "DEVNAME"), "ttyUSB0");
    EXPECT_EQ(ueventValue(text, "MINOR"), "0");
    EXPECT_EQ(ueventValue("DEVNAME=ttyS0", "DEVNAME"), "ttyS0"); // no final newline
    EXPECT_EQ(ueventValue("DEVNAME=\n", "DEVNAME"), "");
    EXPECT_FALSE(ueventValue("DEVNAME\nDEVNAMEttyS0\n", "DEVNAME"));
    EXPECT_FALSE(ueventValue("", "DEVNAME"));
    EXPECT_FALSE(ueventValue("\0\0\n=\n\n"s, "DEVNAME"));
}

TEST(Uevent, DevNamesThatLeaveTheDeviceRootAreRefused)
{
    EXPECT_TRUE(isUsableDevName("ttyUSB0"));
    EXPECT_TRUE(isUsableDevName("tts/0"));
    EXPECT_FALSE(isUsableDevName(""));
    EXPECT_FALSE(isUsableDevName("/etc/passwd"));
    EXPECT_FALSE(isUsableDevName("../etc/passwd"));
    EXPECT_FALSE(isUsableDevName("tts/../../x"));
    EXPECT_FALSE(isUsableDevName("tts//0"));
    EXPECT_FALSE(isUsableDevName("tts/"));
    EXPECT_FALSE(isUsableDevName("."));
    EXPECT_FALSE(isUsableDevName("tty\tS0"));
    EXPECT_FALSE(isUsableDevName("tty\0S0"s));
}
