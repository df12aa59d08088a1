// Why a port does not open, told with what to do about it.

#include "link/OpenFailure.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using plovex::OpenProblem;

static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(OpenFailure, EachReasonSaysWhatToDo)
{
    // message: for the window and the monitor, which try again; reason: for a command that tries once.
    const std::tuple<const char*, int, OpenProblem, const char*, const char*> cases[] = {
        {"/dev/ttyUSB0", EBUSY, OpenProblem::Busy,
         "/dev/ttyUSB0 is in use by another program; close it there and the port opens within a second.",
         "/dev/ttyUSB0 is in use by another program; close it there first."},
        {"/dev/ttyUSB0", EWOULDBLOCK, OpenProblem::Busy, "in use by another program", "in use by another program"},
        {"/dev/ttyUSB0", ENOENT, OpenProblem::Missing, "/dev/ttyUSB0 is not present; waiting for it to be plugged in.",
         "/dev/ttyUSB0 is not present."},
        {"/dev/ttyUSB0", ENXIO, OpenProblem::Missing, "not present", "not present"},
        {"/dev/ttyUSB0", EIO, OpenProblem::Other, "Cannot open /dev/ttyUSB0: Input/output error.",
         "Cannot open /dev/ttyUSB0: Input/output error."},
    };
    for (const auto& [path, error, kind, message, reason] : cases) {
        const auto f = plovex::describeOpenFailure(path, error);
        EXPECT_EQ(f.kind, kind) << path << " " << error;
        EXPECT_TRUE(has(f.message, message)) << f.message;
        EXPECT_TRUE(has(f.reason, reason)) << f.reason;
    }
}

TEST(OpenFailure, PermissionAdviceNamesOnlyWhoMayOpenTheDevice)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the test files their owners";
    // Join a group only when it may read and write the device and is not
    // root's; else say who may, and point at the udev rule.
    const std::string udev = "(packaging/udev/60-plovex.rules).";
    const std::tuple<mode_t, gid_t, std::string, std::string> cases[] = {
        {0660, 20, "; it belongs to the group dialout. Join the group with 'sudo usermod -aG dialout $USER', then "
                   "log out and in again.", ""},
        {0660, 4711, "; it belongs to the group 4711. Join the group with 'sudo usermod -aG 4711 $USER'", ""}, // no name
        {0660, 0, "; only its owner root and the group root may open it.", udev},
        {0600, 0, "; only its owner root may open it.", udev},
        {0620, 5, "; only its owner root may open it.", udev}, // tty may only write
        {0640, 20, "; only its owner root may open it.", udev}, // dialout may only read
        {0000, 20, "; only root may open it.", udev},
    };
    testsupport::TempDir dir;
    const std::string path = (dir / "ttyUSB9").string();
    testsupport::writeFile(path, "");
    for (const auto& [mode, gid, says, pointer] : cases) {
        ASSERT_EQ(::chown(path.c_str(), 0, gid) + ::chmod(path.c_str(), mode), 0);
        const auto f = plovex::describeOpenFailure(path, EACCES);
        EXPECT_EQ(f.kind, OpenProblem::PermissionDenied);
        EXPECT_EQ(f.message.rfind("No permission to open " + path + says, 0), 0u) << f.message;
        EXPECT_TRUE(has(f.message, pointer)) << f.message;
        EXPECT_EQ(f.reason, f.message);
        EXPECT_TRUE(pointer.empty() || !has(f.message, "usermod")) << f.message;
    }
    const auto unseen = plovex::describeOpenFailure((dir / "missing").string(), EACCES);
    EXPECT_EQ(unseen.message, "No permission to open " + (dir / "missing").string() +
                                  ". A udev rule can let your user open it: see the example rule the README points to " + udev);
}
