// The package builder, the package program and the uninstaller it leaves behind, run for real
// against temporary folders, with the desktop and menu folders pointed into them.
#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Text.h"
#include "platform/UserRegistry.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"
#include "tools/package/PackageFile.h"

namespace Package {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::RunTool;
using testsupport::ScopedEnv;
using testsupport::TempFolder;
using testsupport::ToolResult;

const std::string kBin = MAVRIX_TOOLS_BIN;
const std::string kBuilder = kBin + "/mavrix-package-builder";
const std::string kStub = kBin + "/mavrix-package-stub";
constexpr wchar_t kRecordKey[] = L"Software\\VarnoSoft\\Mavrix";

// The arguments a command line gives once split by the rules the installer's child processes
// follow: "-instdir=" in quotes arrives whole, "/D=" and "_?=" at the end arrive cut at blanks.
std::vector<std::string> Split(const std::string& commandLine) {
    std::vector<std::string> arguments;
    for (const auto& argument : platform::SplitCommandLine(platform::Utf8ToWide(commandLine))) {
        arguments.push_back(platform::WideToUtf8(argument));
    }
    return arguments;
}

std::vector<std::string> InstallerArguments(const std::string& package, const std::string& folder, bool desktop,
                                            bool menu, bool withInstdir = true) {
    std::string line = "\"" + package + "\" /S -console=show -version=1.0.0 -adminact=false -authorizationact=false";
    line += std::string(" -dsc=") + (desktop ? "true" : "false") + " -ssc=" + (menu ? "true" : "false");
    if (withInstdir) line += " -instdir=\"" + folder + "\"";
    return Split(line + " /D=" + folder);
}

std::vector<std::string> UninstallerArguments(const std::string& copy, const std::string& folder) {
    return Split("\"" + copy + "\" /S -adminact=false -authorizationact=false -console=show _?=" + folder);
}

std::vector<std::string> WithoutProgress(const std::vector<std::string>& lines) {
    std::vector<std::string> rest;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(rest), [](const std::string& line) {
        return !line.starts_with("Progress=");
    });
    return rest;
}

// Progress lines run from 0 to 1 without going back.
void ExpectProgressRuns(const std::vector<std::string>& lines) {
    std::vector<double> values;
    for (const auto& line : lines) {
        if (line.starts_with("Progress=")) values.push_back(std::stod(line.substr(9)));
    }
    ASSERT_GE(values.size(), 2u);
    EXPECT_EQ(values.front(), 0.0);
    EXPECT_EQ(values.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
}

bool HasLine(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(prefix); });
}

// Every name below `folder`, relative, sorted.
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator(); ++it) {
        names.push_back(it->path().lexically_relative(folder).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class PackageTest : public ::testing::Test {
protected:
    PackageTest()
        : desktop_("XDG_DESKTOP_DIR", (temp_ / "desktop").string()),
          data_("XDG_DATA_HOME", (temp_ / "data").string()),
          config_("XDG_CONFIG_HOME", (temp_ / "config").string()) {}

    // A product with a sub-folder, a non-ASCII name, a link inside and an empty folder.
    fs::path MakeProduct(const std::string& name = "product") {
        const fs::path product = temp_ / name;
        fs::create_directories(product / "empty");
        fs::copy_file(MAVRIX_DEMO_PRODUCT, product / "Mavrix.exe");
        temp_.Write(name + "/docs/readme.txt", "read me\n");
        temp_.Write(name + "/视频/说明.txt", "说明\n");
        temp_.Write(name + "/lib/libcodec.so.1", std::string(300000, 'x'));
        fs::create_symlink("libcodec.so.1", product / "lib/libcodec.so");
        return product;
    }

    ToolResult Build(const fs::path& product, const fs::path& output, const std::string& version = "1.2.3") {
        return RunTool({kBuilder, product.string(), version, output.string()});
    }

    fs::path BuildProduct() {
        const fs::path package = temp_ / "Mavrix_Setup.exe";
        const ToolResult built = Build(MakeProduct(), package);
        EXPECT_EQ(built.exitCode, 0) << built.output;
        return package;
    }

    fs::path InstallFolder() const { return temp_ / "Program Files" / "My Mavrix"; }
    fs::path DesktopEntry() const { return temp_ / "desktop" / "Mavrix.desktop"; }
    fs::path MenuEntry() const { return temp_ / "data" / "applications" / "Mavrix.desktop"; }

    TempFolder temp_;
    ScopedEnv desktop_;
    ScopedEnv data_;
    ScopedEnv config_;
};

TEST_F(PackageTest, InstallsTheProductAndReportsEveryLine) {
    const fs::path package = BuildProduct();
    const std::string folder = InstallFolder().string();

    const ToolResult run = RunTool(InstallerArguments(package.string(), folder, true, true));

    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto lines = run.Lines();
    ExpectProgressRuns(lines);
    const std::vector<std::string> expected = {
        "Encode=UTF8",
        "InstallVersion=1.2.3",
        "InstPath=" + folder,
        "ExePath=" + folder + "/Mavrix.exe",
        "UninstExePath=" + folder + "/uninst.exe",
        "UninstEp=" + folder + "/uninst.ep",
        "StartupStyle=UserStartup",
        "State=Success",
    };
    EXPECT_EQ(WithoutProgress(lines), expected) << run.output;
    EXPECT_EQ(lines.front(), "Encode=UTF8");
    EXPECT_EQ(lines.back(), "State=Success");

    const std::vector<std::string> tree = {"Mavrix.exe", "docs", "docs/readme.txt", "empty", "lib", "lib/libcodec.so",
                                           "lib/libcodec.so.1", "uninst.ep", "uninst.exe", "uninst.manifest", "视频",
                                           "视频/说明.txt"};
    EXPECT_EQ(Tree(InstallFolder()), tree);
    EXPECT_EQ(ReadFile(InstallFolder() / "视频/说明.txt"), "说明\n");
    EXPECT_EQ(ReadFile(InstallFolder() / "Mavrix.exe"), ReadFile(MAVRIX_DEMO_PRODUCT));
    EXPECT_EQ(fs::read_symlink(InstallFolder() / "lib/libcodec.so"), "libcodec.so.1");
    for (const char* program : {"Mavrix.exe", "uninst.exe", "uninst.ep"}) {
        EXPECT_EQ(::access((InstallFolder() / program).c_str(), X_OK), 0) << program;
    }
    for (const auto& entry : {DesktopEntry(), MenuEntry()}) {
        const std::string text = ReadFile(entry);
        EXPECT_NE(text.find("\nExec=\"" + folder + "/Mavrix.exe\"\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nName=Mavrix\n"), std::string::npos) << text;
    }
}

TEST_F(PackageTest, ShortcutSwitchesDecideTheEntries) {
    const fs::path package = BuildProduct();
    struct Case { bool desktop; bool menu; };
    for (const Case c : {Case{false, false}, Case{true, false}, Case{false, true}}) {
        SCOPED_TRACE(std::to_string(c.desktop) + std::to_string(c.menu));
        const fs::path folder = temp_ / ("install-" + std::to_string(c.desktop) + std::to_string(c.menu));
        fs::remove(DesktopEntry());
        fs::remove(MenuEntry());

        const ToolResult run = RunTool(InstallerArguments(package.string(), folder.string(), c.desktop, c.menu));

        EXPECT_EQ(run.Lines().back(), "State=Success") << run.output;
        EXPECT_EQ(fs::exists(DesktopEntry()), c.desktop);
        EXPECT_EQ(fs::exists(MenuEntry()), c.menu);
    }
}

TEST_F(PackageTest, FolderAtTheEndOfTheLineKeepsItsBlanksWithoutInstdir) {
    const fs::path package = BuildProduct();
    const std::string folder = (temp_ / "a folder with  two blanks").string();

    const ToolResult run = RunTool(InstallerArguments(package.string(), folder, false, false, false));

    // The split loses the double blank; the joined folder has single blanks. With "-instdir="
    // present it arrives exactly.
    const std::string joined = (temp_ / "a folder with two blanks").string();
    EXPECT_TRUE(HasLine(run.Lines(), "InstPath=" + joined)) << run.output;
    EXPECT_TRUE(fs::exists(fs::path(joined) / "Mavrix.exe"));
    const ToolResult exact = RunTool(InstallerArguments(package.string(), folder, false, false, true));
    EXPECT_TRUE(HasLine(exact.Lines(), "InstPath=" + folder)) << exact.output;
}

TEST_F(PackageTest, UninstallerCopyRemovesWhatWasInstalledAndKeepsTheUsersFiles) {
    const fs::path package = BuildProduct();
    const std::string folder = InstallFolder().string();
    ASSERT_EQ(RunTool(InstallerArguments(package.string(), folder, true, true)).exitCode, 0);
    temp_.Write("Program Files/My Mavrix/docs/my notes.txt", "mine");
    temp_.Write("Program Files/My Mavrix/set.ini", "[Install]\nAppName=Mavrix\n");
    ASSERT_TRUE(platform::UserRegistry::WriteString(kRecordKey, L"InstallPath", platform::Utf8ToWide(folder)));
    // The installer copies the entry file into its temporary folder and runs the copy there.
    const fs::path copy = temp_ / "tmp" / "Mavrix_un_asa.exe";
    fs::create_directories(copy.parent_path());
    fs::copy_file(InstallFolder() / "uninst.ep", copy);

    const ToolResult run = RunTool(UninstallerArguments(copy.string(), folder));

    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto lines = run.Lines();
    ExpectProgressRuns(lines);
    EXPECT_EQ(WithoutProgress(lines), (std::vector<std::string>{"Encode=UTF8", "State=Success"}));
    EXPECT_EQ(Tree(InstallFolder()), (std::vector<std::string>{"docs", "docs/my notes.txt"}));
    EXPECT_FALSE(fs::exists(DesktopEntry()));
    EXPECT_FALSE(fs::exists(MenuEntry()));
    EXPECT_FALSE(platform::UserRegistry::ReadString(kRecordKey, L"InstallPath"));
}

TEST_F(PackageTest, UninstallerLeavesNothingOfAnUntouchedInstallation) {
    const fs::path package = BuildProduct();
    ASSERT_EQ(RunTool(InstallerArguments(package.string(), InstallFolder().string(), true, false)).exitCode, 0);

    // Run in place, without "_?=": it removes the folder it lives in, itself included.
    const ToolResult run = RunTool({(InstallFolder() / "uninst.exe").string(), "/S"});

    EXPECT_EQ(run.Lines().back(), "State=Success") << run.output;
    EXPECT_FALSE(fs::exists(InstallFolder()));
    EXPECT_FALSE(fs::exists(DesktopEntry()));
}

TEST_F(PackageTest, UninstallerLeavesAnEntryThatAnotherInstallationTookOver) {
    const fs::path package = BuildProduct();
    const fs::path other = temp_ / "other";
    ASSERT_EQ(RunTool(InstallerArguments(package.string(), InstallFolder().string(), true, false)).exitCode, 0);
    ASSERT_EQ(RunTool(InstallerArguments(package.string(), other.string(), true, false)).exitCode, 0);

    const ToolResult run = RunTool(UninstallerArguments((InstallFolder() / "uninst.ep").string(), InstallFolder().string()));

    EXPECT_EQ(run.Lines().back(), "State=Success") << run.output;
    EXPECT_NE(ReadFile(DesktopEntry()).find(other.string() + "/Mavrix.exe"), std::string::npos);
}

TEST_F(PackageTest, UninstallerRefusesAFolderWithoutAnInstallation) {
    temp_.Write("plain/keep.txt", "keep");
    const fs::path uninstaller = kBin + "/mavrix-uninstaller";

    const ToolResult run = RunTool(UninstallerArguments(uninstaller.string(), (temp_ / "plain").string()));

    const auto lines = run.Lines();
    ASSERT_GE(lines.size(), 2u) << run.output;
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("Error=no Mavrix installation in ")) << run.output;
    EXPECT_EQ(lines.back(), "State=Fail");
    EXPECT_EQ(ReadFile(temp_ / "plain/keep.txt"), "keep");
}

TEST_F(PackageTest, SecondInstallIntoTheSameFolderIsRemovedWithTheFirst) {
    const fs::path first = MakeProduct("first");
    temp_.Write("first/only-in-first.txt", "old");
    const fs::path second = MakeProduct("second");
    ASSERT_EQ(Build(first, temp_ / "first.exe", "1.0.0").exitCode, 0);
    ASSERT_EQ(Build(second, temp_ / "second.exe", "2.0.0").exitCode, 0);
    const std::string folder = InstallFolder().string();
    ASSERT_EQ(RunTool(InstallerArguments((temp_ / "first.exe").string(), folder, false, false)).exitCode, 0);
    const ToolResult again = RunTool(InstallerArguments((temp_ / "second.exe").string(), folder, false, true));
    ASSERT_TRUE(HasLine(again.Lines(), "InstallVersion=2.0.0")) << again.output;

    const ToolResult run = RunTool(UninstallerArguments((InstallFolder() / "uninst.ep").string(), folder));

    EXPECT_EQ(run.Lines().back(), "State=Success") << run.output;
    EXPECT_FALSE(fs::exists(InstallFolder()));
    EXPECT_FALSE(fs::exists(MenuEntry()));
}

// A package whose bytes went bad on the way is refused before anything is extracted.
TEST_F(PackageTest, DamagedPackageFailsWithoutReportingSuccess) {
    const fs::path package = BuildProduct();
    const std::string bytes = ReadFile(package);
    const std::string stub = ReadFile(kStub);
    struct Case { std::string name; std::string content; };
    std::string flipped = bytes;
    flipped[stub.size() + (bytes.size() - stub.size()) / 2] ^= 0x20;
    const Case cases[] = {
        {"flipped byte in the archive", flipped},
        {"cut short", bytes.substr(0, bytes.size() - 1000)},
        {"stub without a product", stub},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path damaged = temp_.Write("damaged.exe", c.content);
        fs::permissions(damaged, fs::perms::owner_all);
        const fs::path folder = temp_ / "damaged-install";

        const ToolResult run = RunTool(InstallerArguments(damaged.string(), folder.string(), true, true));

        const auto lines = run.Lines();
        ASSERT_GE(lines.size(), 2u) << run.output;
        EXPECT_TRUE(lines[lines.size() - 2].starts_with("Error=")) << run.output;
        EXPECT_EQ(lines.back(), "State=Fail");
        EXPECT_FALSE(HasLine(lines, "State=Success"));
        EXPECT_FALSE(HasLine(lines, "InstPath="));
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(Tree(folder).empty());
        EXPECT_FALSE(fs::exists(DesktopEntry()));
    }
}

// Hand-made archives, wrapped into a package with the real stub.
class HandMadeArchive {
public:
    HandMadeArchive() : writer_(archive_write_new(), archive_write_free) {
        archive_write_set_format_pax_restricted(writer_.get());
        archive_write_add_filter_gzip(writer_.get());
        archive_write_open(writer_.get(), &bytes_, nullptr, &HandMadeArchive::Append, nullptr);
    }

    void File(const std::string& name, const std::string& content, int mode = 0644) {
        Add(name, AE_IFREG, mode, content);
    }
    void Link(const std::string& name, const std::string& target) { Add(name, AE_IFLNK, 0777, "", target); }
    void HardLink(const std::string& name, const std::string& target) { Add(name, AE_IFREG, 0644, "", "", target); }
    void Fifo(const std::string& name) { Add(name, AE_IFIFO, 0644, ""); }

    std::string Finish() {
        archive_write_close(writer_.get());
        return bytes_;
    }

private:
    static la_ssize_t Append(archive*, void* data, const void* buffer, size_t length) {
        static_cast<std::string*>(data)->append(static_cast<const char*>(buffer), length);
        return static_cast<la_ssize_t>(length);
    }

    void Add(const std::string& name, unsigned type, int mode, const std::string& content,
             const std::string& symlink = "", const std::string& hardlink = "") {
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), type);
        archive_entry_set_perm(entry.get(), static_cast<mode_t>(mode));
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(content.size()));
        if (!symlink.empty()) archive_entry_set_symlink(entry.get(), symlink.c_str());
        if (!hardlink.empty()) archive_entry_set_hardlink(entry.get(), hardlink.c_str());
        archive_write_header(writer_.get(), entry.get());
        if (!content.empty()) archive_write_data(writer_.get(), content.data(), content.size());
    }

    std::string bytes_;
    std::unique_ptr<archive, int (*)(archive*)> writer_;
};

fs::path WrapArchive(const TempFolder& temp, const std::string& archive) {
    const fs::path package = temp / "hand-made.exe";
    const PackageInfo info{"Mavrix", "1.0.0", "Mavrix.exe", 100};
    const auto written = WritePackage(kStub, archive, info, package.string());
    EXPECT_TRUE(written) << (written ? "" : written.error());
    return package;
}

TEST_F(PackageTest, HandMadeArchiveWithInsideLinksInstalls) {
    HandMadeArchive archive;
    archive.File("Mavrix.exe", "#!/bin/sh\necho hi\n", 0755);
    archive.File("uninst.exe", ReadFile(kBin + "/mavrix-uninstaller"), 0755);
    archive.File("deep/er/file.txt", "text");
    archive.Link("deep/er/up", "../../Mavrix.exe");
    const fs::path package = WrapArchive(temp_, archive.Finish());

    const ToolResult run = RunTool(InstallerArguments(package.string(), InstallFolder().string(), false, false));

    EXPECT_EQ(run.Lines().back(), "State=Success") << run.output;
    EXPECT_EQ(fs::read_symlink(InstallFolder() / "deep/er/up"), "../../Mavrix.exe");
    // The folders the archive only implied are the package's too, and go with it.
    ASSERT_EQ(RunTool(UninstallerArguments((InstallFolder() / "uninst.ep").string(), InstallFolder().string())).exitCode, 0);
    EXPECT_FALSE(fs::exists(InstallFolder()));
}

TEST_F(PackageTest, EntryThatWouldLeaveTheInstallFolderFailsTheInstallation) {
    const fs::path outside = temp_ / "outside";
    fs::create_directories(outside);
    struct Case { std::string name; std::function<void(HandMadeArchive&)> add; std::string entry; };
    const Case cases[] = {
        {"parent folder", [](HandMadeArchive& a) { a.File("../outside/escaped.txt", "x"); }, "../outside/escaped.txt"},
        {"deeper parent", [](HandMadeArchive& a) { a.File("docs/../../outside/escaped.txt", "x"); }, "docs/../../outside/escaped.txt"},
        {"absolute name", [&](HandMadeArchive& a) { a.File((outside / "escaped.txt").string(), "x"); }, (outside / "escaped.txt").string()},
        {"link out", [](HandMadeArchive& a) { a.Link("docs/out", "../../outside"); }, "docs/out"},
        {"absolute link", [&](HandMadeArchive& a) { a.Link("out", outside.string()); }, "out"},
        {"link then file through it",
         [](HandMadeArchive& a) {
             a.Link("out", "../outside");
             a.File("out/escaped.txt", "x");
         },
         "out"},
        {"hard link", [](HandMadeArchive& a) { a.HardLink("passwd", "/etc/passwd"); }, "passwd"},
        {"special file", [](HandMadeArchive& a) { a.Fifo("pipe"); }, "pipe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HandMadeArchive archive;
        archive.File("Mavrix.exe", "#!/bin/sh\n", 0755);  // written before the bad entry, then taken back
        archive.File("docs/readme.txt", "read me");
        c.add(archive);
        const fs::path package = WrapArchive(temp_, archive.Finish());
        const fs::path folder = temp_ / "install" / "Mavrix";

        const ToolResult run = RunTool(InstallerArguments(package.string(), folder.string(), true, false));

        const auto lines = run.Lines();
        ASSERT_GE(lines.size(), 2u) << run.output;
        EXPECT_EQ(lines[lines.size() - 2].rfind("Error=", 0), 0u) << run.output;
        EXPECT_NE(lines[lines.size() - 2].find(c.entry), std::string::npos) << run.output;
        EXPECT_EQ(lines.back(), "State=Fail");
        EXPECT_FALSE(HasLine(lines, "State=Success"));
        EXPECT_TRUE(Tree(outside).empty());
        EXPECT_TRUE(Tree(folder).empty()) << run.output;
        EXPECT_FALSE(fs::exists(DesktopEntry()));
    }
}

TEST_F(PackageTest, UnreadableArchiveFailsTheInstallation) {
    const fs::path package = WrapArchive(temp_, "this is not an archive at all");

    const ToolResult run = RunTool(InstallerArguments(package.string(), InstallFolder().string(), false, false));

    const auto lines = run.Lines();
    ASSERT_GE(lines.size(), 2u) << run.output;
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("Error=the product archive")) << run.output;
    EXPECT_EQ(lines.back(), "State=Fail");
}

TEST_F(PackageTest, BuilderRefusesProductsThePackageCouldNotInstallSafely) {
    struct Case { std::string name; std::function<void(const fs::path&)> spoil; std::string version; std::string message; };
    const Case cases[] = {
        {"version", [](const fs::path&) {}, "1.0", "the version must be three numbers"},
        {"no program", [](const fs::path& p) { fs::remove(p / "Mavrix.exe"); }, "1.0.0", "no executable Mavrix.exe"},
        {"link out", [](const fs::path& p) { fs::create_symlink("../../etc", p / "docs/out"); }, "1.0.0", "points outside"},
        {"reserved name", [](const fs::path& p) { std::ofstream(p / "uninst.ep") << "x"; }, "1.0.0", "may not hold uninst.ep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path product = MakeProduct("spoiled-" + c.name);
        c.spoil(product);
        const fs::path output = temp_ / ("spoiled-" + c.name + ".exe");

        const ToolResult built = Build(product, output, c.version);

        EXPECT_EQ(built.exitCode, 1);
        EXPECT_NE(built.output.find(c.message), std::string::npos) << built.output;
        EXPECT_FALSE(fs::exists(output));
        EXPECT_FALSE(fs::exists(output.string() + ".part"));
    }
}

TEST_F(PackageTest, DemoPackageInstallsAProductThatSaysWhatItIs) {
    const std::string folder = InstallFolder().string();
    const ToolResult run = RunTool(InstallerArguments(MAVRIX_DEMO_PACKAGE, folder, false, false));
    ASSERT_EQ(run.Lines().back(), "State=Success") << run.output;
    EXPECT_TRUE(HasLine(run.Lines(), std::string("InstallVersion=") + MAVRIX_DEMO_VERSION));

    // Without a display the product prints its line instead of opening a window.
    ScopedEnv noX("DISPLAY", "");
    ScopedEnv noWayland("WAYLAND_DISPLAY", "");
    const ToolResult product = RunTool({folder + "/Mavrix.exe"});

    EXPECT_EQ(product.exitCode, 0);
    EXPECT_EQ(product.Lines().front(), std::string("Mavrix ") + MAVRIX_DEMO_VERSION + " is installed in " + folder);
}

}  // namespace
}  // namespace Package
