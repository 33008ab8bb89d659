#pragma once
// This build's fill-in of the installer's start-up steps: the composition root that
// decides what runs as the "main window".
#include "src/core/InstallerStartup.h"

class InstallerApp : public IInstallerSteps {
public:
    int RunMainWindow() override;
};
