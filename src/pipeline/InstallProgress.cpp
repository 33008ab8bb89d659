#include "src/pipeline/InstallProgress.h"

#include <algorithm>
#include <cmath>

namespace {

// The integer part of a percentage; a download share far outside 0 to 1 cannot overflow it.
int Truncate(double percent) {
    if (std::isnan(percent)) return 0;
    return static_cast<int>(std::clamp(percent, -1e9, 1e9));
}

}  // namespace

int InstallProgress::OnDownload(double fraction) const { return Truncate(fraction * scale_ * 100); }

int InstallProgress::OnInstall(double fraction) {
    installEstimate_ = std::min(installEstimate_ + 0.15, 0.95);
    if (fraction > installEstimate_) installEstimate_ = fraction;
    // In this order, in double precision: the share, the product, the sum, then percent.
    return Truncate(((1 - scale_) * installEstimate_ + scale_) * 100);
}
