// Every fuzz target's committed corpus, replayed through its check: a parser
// that breaks on an input the fuzzers once kept fails here, under the
// sanitizers of the test build (and under Wine for the Windows build).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

struct Target {
  const char* name;  // the corpus folder, and the libFuzzer program's name before "_fuzzer"
  Fuzz::Check check;
};

const Target kTargets[] = {
    {"settings_file", Fuzz::CheckSettingsFile},
    {"command_line", Fuzz::CheckCommandLine},
    {"package_protocol", Fuzz::CheckPackageProtocol},
    {"removal_protocol", Fuzz::CheckRemovalProtocol},
    {"http_answer", Fuzz::CheckHttpAnswer},
    {"location_reply", Fuzz::CheckLocationReply},
    {"analytics_identity", Fuzz::CheckAnalyticsIdentity},
    {"staging_journal", Fuzz::CheckStagingJournal},
    {"record_model", Fuzz::CheckRecordModel},
    {"layout", Fuzz::CheckLayout},
    {"skin_image", Fuzz::CheckSkinImage},
    {"language_table", Fuzz::CheckLanguageTable},
    {"skin_archive", Fuzz::CheckSkinArchive},
};

class FuzzCorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpusReplay, EveryKeptInputPassesItsCheck) {
  // The build copies tests/fuzz/corpus beside the test program.
  const std::filesystem::path folder = std::filesystem::path("fuzz-corpus") / GetParam().name;
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder.string();
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty()) << "no corpus for " << GetParam().name;
  for (const std::filesystem::path& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(GetParam().check(bytes.data(), bytes.size()), "") << input.filename().string();
  }
}

INSTANTIATE_TEST_SUITE_P(Parsers, FuzzCorpusReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& target) { return std::string(target.param.name); });

}  // namespace
