#include "src/utils/ChildProcess.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace Utils {
namespace {

const std::wstring kChild = platform::Utf8ToWide(MAVRIX_TEST_CHILD);

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Reads the child's output the way the package runner does, chunk by chunk, to the end.
std::string ReadAll(ChildProcess& child, std::vector<size_t>* chunkSizes = nullptr) {
    std::string all;
    for (std::string chunk; !(chunk = child.ReadOutput()).empty();) {
        if (chunkSizes) chunkSizes->push_back(chunk.size());
        all += chunk;
    }
    return all;
}

std::vector<std::string> SplitAtZeros(const std::string& bytes) {
    std::vector<std::string> parts;
    for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
        parts.push_back(bytes.substr(start, end - start));
    }
    return parts;
}

size_t OpenDescriptorCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Switches the process's locale (the "ANSI code page") for one test.
class Utf8Locale {
public:
    Utf8Locale() : previous_(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, "C.UTF-8"); }
    ~Utf8Locale() { std::setlocale(LC_ALL, previous_.c_str()); }

private:
    std::string previous_;
};

TEST(ChildProcess, ReadsOutputThenTheEndThenTheExitCode) {
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" write \"hello from the child\" 3");
    EXPECT_EQ(ReadAll(child), "hello from the child");
    EXPECT_EQ(child.ReadOutput(), "");  // the end stays the end
    EXPECT_EQ(child.Wait(), 3);
    EXPECT_EQ(child.GetExitCode(), 3);
    child.Close();
}

TEST(ChildProcess, ReadsAtMost1024BytesAtATime) {
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" write-bytes 70000");
    std::vector<size_t> sizes;
    const std::string all = ReadAll(child, &sizes);
    ASSERT_EQ(all.size(), 70000u);
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<char>('a' + i % 26)) << i;
    for (size_t size : sizes) EXPECT_LE(size, ChildProcess::kReadChunk);
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, SilentChildIsStillActiveAndItsReadWaitsForItsExit) {
    const auto start = std::chrono::steady_clock::now();
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" silent 1000 5");
    EXPECT_EQ(child.GetExitCode(), ChildProcess::kStillActive);
    EXPECT_EQ(child.ReadOutput(), "");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(child.Wait(), 5);
    EXPECT_EQ(child.GetExitCode(), 5);
}

TEST(ChildProcess, FailedLaunchThrowsEmptyAndLeavesNoDescriptor) {
    const size_t before = OpenDescriptorCount();
    for (const std::wstring line : {L"/nonexistent/mavrix-program.exe -s", L"mavrix-no-such-program", L"", L"\"\" x"}) {
        SCOPED_TRACE(platform::WideToUtf8(line));
        ChildProcess child;
        try {
            child.Launch(line);
            ADD_FAILURE() << "launched";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "");
        }
        EXPECT_EQ(child.GetExitCode(), -1);
        EXPECT_EQ(child.ReadOutput(), "");  // returns at once, no child to wait for
        child.Close();
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(ChildProcess, LaunchesOnlyOnce) {
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" write once 0");
    EXPECT_THROW(child.Launch(Quoted(kChild) + L" write twice 0"), Exception);
    EXPECT_EQ(ReadAll(child), "once");
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, CommandLineKeepsItsWindowsMeaning) {
    // A program folder with a blank, as "Program Files" has.
    const std::filesystem::path folder =
        std::filesystem::path(testing::TempDir()) / ("mavrix child " + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path program = folder / "Mavrix_un_asa.exe";
    std::filesystem::copy_file(MAVRIX_TEST_CHILD, program, std::filesystem::copy_options::overwrite_existing);

    ChildProcess child;
    child.Launch(Quoted(platform::Utf8ToWide(program.string())) +
                 L" echo-args /S \"-instdir=/opt/My Apps\" a\\\"b \"\" c\\\\ \"d\\\\\"");
    const std::vector<std::string> expected = {"/S", "-instdir=/opt/My Apps", "a\"b", "", "c\\\\", "d\\"};
    EXPECT_EQ(SplitAtZeros(ReadAll(child)), expected);
    EXPECT_EQ(child.Wait(), 0);
    std::filesystem::remove_all(folder);
}

TEST(ChildProcess, LongCommandLinesArriveWhole) {
    std::wstring longArgument;
    for (int i = 0; longArgument.size() < 5000; ++i) longArgument += L"/segment" + std::to_wstring(i);
    const std::wstring line = Quoted(kChild) + L" echo-args \"" + longArgument + L"\" last";
    ASSERT_GT(line.size(), 1024u);

    ChildProcess child;
    child.Launch(line);
    EXPECT_EQ(child.CommandLine(), line);
    EXPECT_EQ(SplitAtZeros(ReadAll(child)), (std::vector<std::string>{platform::WideToUtf8(longArgument), "last"}));
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, ArgumentsArriveInTheLocaleCharacterSet) {
    Utf8Locale utf8;
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" echo-args \"/opt/中文 目录\"");
    EXPECT_EQ(SplitAtZeros(ReadAll(child)), std::vector<std::string>{"/opt/中文 目录"});
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, ChildWritingMuchToStandardErrorNeverStalls) {
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" flood-stderr 8000000 done");
    EXPECT_EQ(ReadAll(child), "done");
    EXPECT_EQ(child.Wait(), 0);  // 142 (SIGALRM) when it stalled on a full stderr
}

TEST(ChildProcess, ChildSeesOnlyItsStandardDescriptors) {
    ChildProcess sibling;  // its pipes are open while the next child starts
    ChildProcess child;
    child.Launch(Quoted(kChild) + L" list-fds");
    EXPECT_EQ(ReadAll(child), "0\n1\n2\n");
    EXPECT_EQ(child.Wait(), 0);
}

// The output ends when the child exits, even while another child started after its pipes
// were made is still running: that one holds no copy of the first one's write end.
TEST(ChildProcess, OutputEndsWithItsOwnChildNotWithASibling) {
    ChildProcess writer;
    ChildProcess sibling;
    sibling.Launch(Quoted(kChild) + L" silent 2000 0");
    writer.Launch(Quoted(kChild) + L" write short 0");
    EXPECT_EQ(ReadAll(writer), "short");
    EXPECT_EQ(sibling.GetExitCode(), ChildProcess::kStillActive);
    EXPECT_EQ(writer.Wait(), 0);
    EXPECT_EQ(sibling.Wait(), 0);
}

TEST(Exception, MessageIsTheWideTextInTheLocaleCharacterSet) {
    EXPECT_STREQ(Exception().what(), "");
    Utf8Locale utf8;
    EXPECT_STREQ(Exception(L"启动失败: setup").what(), "启动失败: setup");
}

TEST(AnonymousPipe, CloseClosesBothEnds) {
    const size_t before = OpenDescriptorCount();
    AnonymousPipe pipe;
    EXPECT_GE(pipe.ReadEnd(), 0);
    EXPECT_GE(pipe.WriteEnd(), 0);
    EXPECT_EQ(OpenDescriptorCount(), before + 2);
    pipe.Close();
    EXPECT_EQ(pipe.ReadEnd(), -1);
    EXPECT_EQ(pipe.WriteEnd(), -1);
    EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace Utils
