#include "src/pipeline/InstallProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallProgress, DownloadFillsItsShare) {
    const InstallProgress progress(0.7);
    EXPECT_EQ(progress.OnDownload(0.5), 35);
    EXPECT_EQ(progress.OnDownload(1.0), 70);
    EXPECT_EQ(InstallProgress(1e300).OnDownload(1.0), 1000000000);  // a wild share cannot overflow
}

TEST(InstallProgress, InstallerReportsMoveOnAtLeastFifteenPercent) {
    InstallProgress progress(0.7);
    EXPECT_EQ(progress.OnInstall(0.0), 74);
    EXPECT_EQ(progress.OnInstall(0.0), 78);  // 78.999... truncated
    EXPECT_EQ(progress.OnInstall(0.0), 83);
    EXPECT_EQ(progress.OnInstall(0.9), 97);
    EXPECT_EQ(progress.OnInstall(0.0), 98);  // the estimate stops at 0.95 ... unless reported higher
    EXPECT_EQ(progress.OnInstall(1.0), 100);
}

}  // namespace
