// libcurl's global state is set up once for the whole test program, before
// any test runs, as the installer's entry does before any client exists.
#include <curl/curl.h>
#include <gtest/gtest.h>

namespace {

class CurlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK); }
  void TearDown() override { curl_global_cleanup(); }
};

// gtest owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const kCurlEnvironment =
    ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

}  // namespace
