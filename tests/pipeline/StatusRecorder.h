#pragma once
// Collects the status calls of a pipeline stage from its worker threads, and lets a test
// wait for a code to arrive.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "src/pipeline/InstallStatus.h"
#include "support/TempFolder.h"

class StatusRecorder {
public:
    InstallStatusCallback Callback() {
        return [this](int32_t code, double value, const std::wstring& text) {
            if (onRecord) onRecord(StatusRecord{code, value, text});
            std::lock_guard lock(mutex_);
            records_.push_back(StatusRecord{code, value, text});
            changed_.notify_all();
        };
    }

    // Waits (at most 30 s, a hang guard) until `code` has arrived `count` times.
    bool WaitFor(int32_t code, int count = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return CountLocked(code) >= count; });
    }

    std::vector<StatusRecord> Records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }

    std::vector<int32_t> Codes() const {
        std::vector<int32_t> codes;
        for (const auto& record : Records()) codes.push_back(record.code);
        return codes;
    }

    // The codes without the progress reports, whose number depends on timing.
    std::vector<int32_t> Milestones() const {
        std::vector<int32_t> codes;
        for (const auto& record : Records()) {
            if (record.code != DL_CODE_PROGRESS && record.code != IST_CODE_PROGRESS &&
                record.code != UNIST_CODE_PROGRESS) {
                codes.push_back(record.code);
            }
        }
        return codes;
    }

    // Called on the reporting thread before the stage reacts to the code; set it before
    // the stage starts.
    std::function<void(const StatusRecord&)> onRecord;

private:
    int CountLocked(int32_t code) const {
        int count = 0;
        for (const auto& record : records_) count += record.code == code;
        return count;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<StatusRecord> records_;
};

// A test that runs the scripted stand-in program: it records the statuses and writes the
// script the program plays (MAVRIX_SCRIPT).
class ScriptedProgramTest : public ::testing::Test {
protected:
    testsupport::TempFolder folder;
    StatusRecorder recorder;

    void Script(const std::string& text) {
        script_ = std::make_unique<testsupport::ScopedEnv>("MAVRIX_SCRIPT", folder.Write("script.txt", text).string());
    }

private:
    std::unique_ptr<testsupport::ScopedEnv> script_;
};
