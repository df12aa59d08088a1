// Every saved fuzz input runs through its target again, one test per file:
// the seeds (fuzz/corpus/<target>/) and the inputs that once found a fault
// (fuzz/regressions/<target>/). A finding named "open-..." belongs to a fault
// not mended yet; its test is listed, disabled, until the file is renamed.

#include "fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using plovex::fuzz::findFuzzTarget;

struct Saved {
    std::string target;
    fs::path file;
};

std::vector<Saved> saved(bool open)
{
    std::vector<Saved> inputs;
    for (const char* kind : {"corpus", "regressions"})
        for (const auto& t : plovex::fuzz::fuzzTargets()) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(fs::path(PLOVEX_FUZZ_DIR) / kind / std::string(t.name), ec))
                if ((std::string(kind) == "regressions" && e.path().filename().string().rfind("open-", 0) == 0) == open)
                    inputs.push_back({std::string(t.name), e.path()});
        }
    return inputs;
}

void PrintTo(const Saved& s, std::ostream* os)
{
    *os << s.file;
}

class SavedFuzzInput : public ::testing::TestWithParam<Saved> {};

TEST_P(SavedFuzzInput, KeepsEveryInvariant)
{
    std::ifstream in(GetParam().file, std::ios::binary);
    ASSERT_TRUE(in) << GetParam().file;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NO_THROW(findFuzzTarget(GetParam().target)->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string name(const ::testing::TestParamInfo<Saved>& info)
{
    std::string n = info.param.target + "_" + info.param.file.parent_path().parent_path().filename().string() + "_" +
                    info.param.file.filename().string() + "_" + std::to_string(info.index);
    for (char& c : n)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Saved, SavedFuzzInput, ::testing::ValuesIn(saved(false)), name);
INSTANTIATE_TEST_SUITE_P(DISABLED_Open, SavedFuzzInput, ::testing::ValuesIn(saved(true)), name);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SavedFuzzInput);

// Every target has seeds, every saved folder a target, and the empty input
// (which libFuzzer may pass as a null pointer) passes every target.
TEST(SavedFuzzInputs, EveryTargetHasSeedsAndEveryFolderATarget)
{
    for (const auto& t : plovex::fuzz::fuzzTargets()) {
        EXPECT_FALSE(fs::is_empty(fs::path(PLOVEX_FUZZ_DIR) / "corpus" / std::string(t.name))) << t.name;
        EXPECT_NO_THROW(t.run(nullptr, 0)) << t.name;
    }
    for (const char* kind : {"corpus", "regressions"})
        for (const auto& e : fs::directory_iterator(fs::path(PLOVEX_FUZZ_DIR) / kind))
            EXPECT_NE(findFuzzTarget(e.path().filename().string()), nullptr) << e.path();
}

} // namespace
