#include "src/core/DebugLog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

namespace {

// Runs `body` with standard error sent to a file and returns what was written.
template <class Body>
std::string CaptureStderr(Body body) {
    testsupport::TempFolder folder;
    const auto file = folder / "stderr.txt";
    FILE* sink = std::fopen(file.c_str(), "w");
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(sink), STDERR_FILENO);
    body();
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::fclose(sink);
    return testsupport::ReadFile(file);
}

std::string Prefix(const std::string& function, const char* line) {
    char ids[64];
    std::snprintf(ids, sizeof ids, "<P%05d><T%05d>", getpid(), gettid());
    return std::string(ids) + "<\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}>\\(" + function + "\\)<" + line + ">: ";
}

struct CurlDownLoader {
    static void Report(int code) {
#line 46
        DebugLog(L"CurlDownLoader Code=%d\r\n", code);
    }
};

void LogFromLine1234() {
#line 1234
    DebugLog(L"DL_CODE_FAIL\r\n");
}

TEST(DebugLog, LineFormat) {
    const std::string out = CaptureStderr([] { CurlDownLoader::Report(28); });
    EXPECT_TRUE(std::regex_match(out, std::regex(Prefix("\\{anonymous\\}::CurlDownLoader::Report", "0046") +
                                                 "CurlDownLoader Code=28\r\n")))
        << out;
}

TEST(DebugLog, LiteralMessageKeepsOneLineBreakAndLongLineNumbers) {
    const std::string out = CaptureStderr([] { LogFromLine1234(); });
    EXPECT_TRUE(std::regex_match(out, std::regex(Prefix("\\{anonymous\\}::LogFromLine1234", "1234") + "DL_CODE_FAIL\r\n")))
        << out;
}

TEST(DebugLog, WideStringArgumentsAndOtherConversions) {
    const std::wstring url = L"http://h/\u4e0b\u8f7d";
    const std::string out = CaptureStderr([&] {
        DebugLog(L"url=%s name=%s size=%lld %%s %5.1f\r\n", url, L"x", 5000000000LL, 2.25);
    });
    EXPECT_NE(out.find("url=http://h/\xe4\xb8\x8b\xe8\xbd\xbd name=x size=5000000000 %s   2.2\r\n"), std::string::npos)
        << out;
}

TEST(DebugLog, LinesFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 8, kLines = 200;
    const std::string out = CaptureStderr([] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < kLines; ++i) DebugLog(L"thread %d line %d %s\r\n", t, i, std::wstring(100, L'x'));
            });
        }
        for (auto& thread : threads) thread.join();
    });
    std::istringstream lines(out);
    const std::regex shape("<P\\d{5,}><T\\d{5,}><[^>]+>\\(.*\\)<\\d{4}>: thread \\d line \\d+ x{100}\r");
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) ASSERT_TRUE(std::regex_match(line, shape)) << line;
    EXPECT_EQ(count, kThreads * kLines);
}

TEST(DebugLog, QualifiedFunctionNames) {
    struct Case {
        const char* pretty;
        const char* name;
    };
    const Case cases[] = {
        {"int CurlClient::Start(int)", "CurlClient::Start"},
        {"void Utils::CheckNetwork()", "Utils::CheckNetwork"},
        {"static void CurlClient::Tm(T) [with T = int]", "CurlClient::Tm"},
        {"void CurlClient::operator()() const", "CurlClient::operator()"},
        {"CDownloadInstaller::Start()::<lambda()>", "CDownloadInstaller::Start::<lambda()>"},
        {"std::vector<int> A::B(std::map<int, int>)", "A::B"},
        {"int main()", "main"},
    };
    for (const auto& c : cases) EXPECT_EQ(DebugLogDetail::QualifiedFunctionName(c.pretty), c.name) << c.pretty;
}

}  // namespace
