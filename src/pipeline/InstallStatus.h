#pragma once
// The status codes of the install pipeline's stages and the callback that receives them.
// The callback is called on the stages' worker threads and must return at once.
#include <cstdint>
#include <string>

#include "src/download/DownloadStatus.h"

using InstallStatusCallback = DownloadStatusCallback;

// The package installer's run.
enum InstallStatusCode : int32_t {
    IST_CODE_START = 2001,
    IST_CODE_PROGRESS = 2002,  // value: the package's fraction done
    IST_CODE_SUCCESS = 2003,   // value 0.0 after "State=Success", 1.0 when the package ended without a state
    IST_CODE_FAIL = 2004,      // value 0.0 after "State=Fail", 1000.0 after "Error=", 2.0 when it did not start
    IST_INFO_INST_PATH = 3000,
    IST_INFO_EXE_PATH = 3001,
    IST_INFO_UNINST_EXE = 3002,
    IST_INFO_UNINST_EP = 3003,
    IST_INFO_START_URL = 3004,
    IST_INFO_STARTUP_STYLE = 3005,  // value 0 never launch, 1 launch when done, 2 launch when the user asks
    IST_INFO_TOP_SHOW_DETENTION = 3007,
    IST_INFO_FINISH_CLOSE_DETENTION = 3008,
    IST_INFO_MESSAGE = 3009,
};

// The removal of an installed older version.
enum UninstallStatusCode : int32_t {
    UNIST_CODE_PROGRESS = 5002,
    UNIST_CODE_SUCCESS = 5003,  // value 0.0 after "State=Success", 1.0 when it ended without a state
    UNIST_CODE_FAIL = 5004,     // value 1.0 uninstaller missing, 2.0 it did not start
    UNIST_CODE_ERROR = 5005,    // the uninstaller reported failure
};

// One copied report, made on the reporting thread and handled on the thread that owns
// the installation's view of it.
struct StatusRecord {
    int32_t code = 0;
    double value = 0.0;
    std::wstring text;
};
