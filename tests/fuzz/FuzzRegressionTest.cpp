// Every saved fuzz input runs through its target again: the seed corpora
// (fuzz/corpus/<target>/) and the inputs that once found a fault
// (fuzz/regressions/<target>/). One test per file, named after the target and
// the file. A regression input whose file name begins with "open-" belongs to
// a fault that is not mended yet; its test is listed, disabled, under
// DISABLED_Open until the file is renamed.

#include "fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using plovex::fuzz::findFuzzTarget;
using plovex::fuzz::fuzzTargets;

const fs::path kFuzzDir = PLOVEX_FUZZ_DIR;

struct SavedInput {
    std::string target;
    fs::path file;
    std::string testName;
};

void PrintTo(const SavedInput& input, std::ostream* os)
{
    *os << input.file.string();
}

std::string identifier(const std::string& s)
{
    std::string out;
    for (const char c : s)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}

// The saved inputs of faults still open (open-*), or all the others.
std::vector<SavedInput> savedInputs(bool open)
{
    std::vector<SavedInput> inputs;
    std::set<std::string> names;
    for (const char* kind : {"corpus", "regressions"}) {
        for (const auto& target : fuzzTargets()) {
            const fs::path folder = kFuzzDir / kind / std::string(target.name);
            std::error_code ec;
            if (!fs::is_directory(folder, ec))
                continue;
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(folder))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                const std::string base = file.filename().string();
                const bool isOpen = std::string(kind) == "regressions" && base.rfind("open-", 0) == 0;
                if (isOpen != open)
                    continue;
                std::string name = std::string(target.name) + "_" + kind + "_" + identifier(base);
                while (!names.insert(name).second)
                    name += "_";
                inputs.push_back({std::string(target.name), file, name});
            }
        }
    }
    return inputs;
}

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SavedFuzzInput : public ::testing::TestWithParam<SavedInput> {};

TEST_P(SavedFuzzInput, KeepsEveryInvariant)
{
    const SavedInput& input = GetParam();
    const auto* target = findFuzzTarget(input.target);
    ASSERT_NE(target, nullptr);
    std::ifstream probe(input.file, std::ios::binary);
    ASSERT_TRUE(probe.good()) << "cannot read " << input.file;
    const std::string bytes = readAll(input.file);
    try {
        EXPECT_EQ(target->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    } catch (const std::exception& e) {
        ADD_FAILURE() << input.file.string() << ": " << e.what();
    }
}

std::string testName(const ::testing::TestParamInfo<SavedInput>& info)
{
    return info.param.testName;
}

INSTANTIATE_TEST_SUITE_P(Saved, SavedFuzzInput, ::testing::ValuesIn(savedInputs(false)), testName);
INSTANTIATE_TEST_SUITE_P(DISABLED_Open, SavedFuzzInput, ::testing::ValuesIn(savedInputs(true)), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SavedFuzzInput);

// Every target has a seed corpus, and every folder of saved inputs belongs to
// a target: an input saved under a misspelt folder would never run.
TEST(SavedFuzzInputs, EveryTargetHasSeedsAndEveryFolderATarget)
{
    for (const auto& target : fuzzTargets()) {
        const fs::path folder = kFuzzDir / "corpus" / std::string(target.name);
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_FALSE(fs::is_empty(folder)) << folder;
    }
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = kFuzzDir / kind;
        if (!fs::is_directory(folder))
            continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_TRUE(entry.is_directory()) << entry.path() << " is not a target folder";
            EXPECT_NE(findFuzzTarget(entry.path().filename().string()), nullptr)
                << entry.path() << " names no fuzz target";
        }
    }
}

// libFuzzer starts every run with the empty input, which may come as a null
// pointer; no target may read through it.
TEST(SavedFuzzInputs, EmptyInputPassesEveryTarget)
{
    for (const auto& target : fuzzTargets())
        EXPECT_NO_THROW(target.run(nullptr, 0)) << target.name;
    EXPECT_EQ(findFuzzTarget("no_such_target"), nullptr);
}

} // namespace
