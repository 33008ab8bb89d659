#pragma once
// Helpers shared by the download tests: paths in a temporary folder, a recorder of status
// reports and timings that record pauses instead of sleeping.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "src/download/DownloadStatus.h"
#include "src/download/DownloadTimings.h"
#include "support/TempFolder.h"
#include "support/download_service/DownloadService.h"

namespace DownloadTest {

using testsupport::TempFolder;

inline std::string PathIn(const TempFolder& folder, const std::string& name) { return (folder / name).string(); }
inline std::wstring WidePathIn(const TempFolder& folder, const std::string& name) { return (folder / name).wstring(); }

// Writes other bytes over the start of a file, as something outside the download would.
inline void OverwriteStart(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fputs("other bytes", file);
    std::fclose(file);
}

// libcurl's global set-up, once per test program, before any thread uses it.
class CurlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { curl_global_init(CURL_GLOBAL_ALL); }
    void TearDown() override { curl_global_cleanup(); }
};

struct StatusEntry {
    int32_t code;
    double value;
    std::wstring text;
};

// Collects the reports of one downloader; an optional reaction runs inside the callback,
// on the reporting thread, as the install pipeline's does.
class StatusLog {
public:
    DownloadStatusCallback Callback(std::function<void(int32_t)> reaction = {}) {
        return [this, reaction](int32_t code, double value, const std::wstring& text) {
            {
                std::lock_guard lock(mutex_);
                entries_.push_back({code, value, text});
            }
            changed_.notify_all();
            if (reaction) reaction(code);
        };
    }

    // Waits until `count` runs have ended with 1003 or 1004; false when that takes over a
    // minute, which only a hung download does.
    bool WaitForEnd(int count = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [&] {
            int ends = 0;
            for (const auto& e : entries_) ends += e.code == DL_CODE_SUCCESS || e.code == DL_CODE_FAIL;
            return ends >= count;
        });
    }

    std::vector<StatusEntry> Entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    // The codes in order, progress left out.
    std::vector<int32_t> Codes() const {
        std::vector<int32_t> codes;
        for (const auto& e : Entries()) {
            if (e.code != DL_CODE_PROGRESS) codes.push_back(e.code);
        }
        return codes;
    }
    std::vector<double> ProgressValues() const {
        std::vector<double> values;
        for (const auto& e : Entries()) {
            if (e.code == DL_CODE_PROGRESS) values.push_back(e.value);
        }
        return values;
    }
    const StatusEntry Last() const { return Entries().back(); }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<StatusEntry> entries_;
};

// Pauses are recorded, not slept; the clock moves one second per look, so that every
// progress callback may report; a stalled transfer fails after one second.
class FakeTime {
public:
    Download::DownloadTimings Timings() {
        Download::DownloadTimings timings;
        timings.sleep = [this](std::chrono::milliseconds pause) {
            std::lock_guard lock(mutex_);
            pauses_.push_back(pause);
        };
        timings.nowSeconds = [this] { return ++seconds_; };
        timings.lowSpeedTime = std::chrono::seconds(1);
        return timings;
    }
    std::vector<std::chrono::milliseconds> Pauses() const {
        std::lock_guard lock(mutex_);
        return pauses_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::chrono::milliseconds> pauses_;
    std::atomic<int64_t> seconds_{1000};
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFileRange(const std::string& path, int64_t offset, size_t count) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(offset);
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

inline std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace DownloadTest
