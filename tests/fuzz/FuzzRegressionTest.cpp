// Every saved fuzz input runs through its target again: the seeds
// (fuzz/corpus/<target>/) and the inputs that once found a fault
// (fuzz/regressions/<target>/). A finding named "open-..." belongs to a fault
// not mended yet and is left out until the file is renamed.

#include "fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TEST(SavedFuzzInputs, KeepEveryInvariant)
{
    int inputs = 0;
    for (const auto& target : plovex::fuzz::fuzzTargets()) {
        EXPECT_FALSE(fs::is_empty(fs::path(PLOVEX_FUZZ_DIR) / "corpus" / std::string(target.name))) << target.name;
        EXPECT_NO_THROW(target.run(nullptr, 0)) << target.name << ": libFuzzer may pass the empty input as a null pointer";
        for (const char* kind : {"corpus", "regressions"}) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(fs::path(PLOVEX_FUZZ_DIR) / kind / std::string(target.name), ec)) {
                if (e.path().filename().string().rfind("open-", 0) == 0)
                    continue;
                std::ifstream in(e.path(), std::ios::binary);
                const std::string bytes{std::istreambuf_iterator<char>(in), {}};
                try {
                    target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                } catch (const std::exception& x) {
                    ADD_FAILURE() << e.path() << ": " << x.what();
                }
                ++inputs;
            }
        }
    }
    EXPECT_GT(inputs, 100);
    for (const char* kind : {"corpus", "regressions"}) // an input saved under a misspelt folder would never run
        for (const auto& e : fs::directory_iterator(fs::path(PLOVEX_FUZZ_DIR) / kind))
            EXPECT_NE(plovex::fuzz::findFuzzTarget(e.path().filename().string()), nullptr) << e.path();
}
