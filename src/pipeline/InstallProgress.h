#pragma once
// One percentage for the whole installation: the download fills the bar up to the
// download share, the package installer the rest. Every installer report moves the bar
// on by at least 15 % of the installer's share until 95 % of it.
class InstallProgress {
public:
    explicit InstallProgress(double downloadScale) : scale_(downloadScale) {}

    int OnDownload(double fraction) const;
    int OnInstall(double fraction);

private:
    double scale_;
    double installEstimate_ = 0.0;  // kept across attempts
};
