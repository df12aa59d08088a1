// Why a port does not open, told with what to do about it.

#include "link/OpenFailure.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(OpenFailure, EachReasonSaysWhatToDo)
{
    using plovex::OpenProblem;
    const std::tuple<const char*, int, OpenProblem, const char*> cases[] = {
        {"/nonexistent/ttyUSB0", EACCES, OpenProblem::PermissionDenied,
         "No permission to open /nonexistent/ttyUSB0; it belongs to the group dialout. Join the group with "
         "'sudo usermod -aG dialout $USER', then log out and in again."},
        {"/dev/null", EACCES, OpenProblem::PermissionDenied, "'sudo usermod -aG root $USER'"}, // the device's own group
        {"/dev/ttyUSB0", EBUSY, OpenProblem::Busy, "/dev/ttyUSB0 is in use by another program"},
        {"/dev/ttyUSB0", ENOENT, OpenProblem::Missing, "/dev/ttyUSB0 is not present; waiting for it to be plugged in."},
        {"/dev/ttyUSB0", ENXIO, OpenProblem::Missing, "not present"},
        {"/dev/ttyUSB0", EIO, OpenProblem::Other, "Cannot open /dev/ttyUSB0: Input/output error."},
    };
    for (const auto& [path, error, kind, says] : cases) {
        const auto f = plovex::describeOpenFailure(path, error);
        EXPECT_EQ(f.kind, kind) << path << " " << error;
        EXPECT_NE(f.message.find(says), std::string::npos) << f.message;
    }
}
