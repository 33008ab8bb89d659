#include "download/DownloadTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const curlEnvironment =
    ::testing::AddGlobalTestEnvironment(new DownloadTest::CurlEnvironment);

}  // namespace
