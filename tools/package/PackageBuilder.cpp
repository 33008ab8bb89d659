#include "tools/package/PackageBuilder.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "tools/package/EntryNames.h"
#include "tools/package/InstallManifest.h"
#include "tools/package/PackageFile.h"

namespace Package {
namespace {

namespace fs = std::filesystem;
using Result = platform::Status<std::string>;
using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;
using EntryPtr = std::unique_ptr<archive_entry, void (*)(archive_entry*)>;

struct SourceItem {
    std::string name;  // relative, "/"-separated
    fs::path path;
};

bool IsReservedName(const std::string& name) {
    return name == kUninstallerName || name == kUninstallerEntryName || name == kManifestName ||
           name.starts_with("__Package_");
}

platform::Expected<std::vector<SourceItem>, std::string> ListProduct(const BuildRequest& request, uint64_t& bytes) {
    std::vector<SourceItem> items;
    std::error_code error;
    const fs::path root(request.productFolder);
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().lexically_relative(root).generic_string();
        const auto normal = NormaliseEntryName(name);
        if (!normal || *normal != name) return platform::MakeUnexpected("the product holds an unusable name: " + name);
        if (IsReservedName(name)) return platform::MakeUnexpected("the product may not hold " + name + " (the package makes it)");
        const auto status = it->symlink_status(error);
        if (error) break;
        if (fs::is_symlink(status)) {
            if (!IsLinkTargetInside(name, fs::read_symlink(it->path(), error).string())) {
                return platform::MakeUnexpected("the product's link " + name + " points outside the product folder");
            }
        } else if (fs::is_regular_file(status)) {
            bytes += fs::file_size(it->path(), error);
        } else if (!fs::is_directory(status)) {
            return platform::MakeUnexpected("the product holds a special file: " + name);
        }
        items.push_back({name, it->path()});
    }
    if (error) return platform::MakeUnexpected("cannot read the product folder " + request.productFolder + ": " + error.message());
    std::sort(items.begin(), items.end(), [](const SourceItem& a, const SourceItem& b) { return a.name < b.name; });
    return items;
}

std::string ArchiveError(archive* a, const std::string& what) {
    const char* text = archive_error_string(a);
    return what + ": " + (text ? text : "unknown archive error");
}

Result AddItem(archive* writer, const SourceItem& item) {
    struct stat status {};
    if (::lstat(item.path.c_str(), &status) != 0) return platform::MakeUnexpected("cannot read " + item.path.string());
    EntryPtr entry(archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname(entry.get(), item.name.c_str());
    archive_entry_copy_stat(entry.get(), &status);
    archive_entry_set_perm(entry.get(), status.st_mode & 0777);
    archive_entry_set_uid(entry.get(), 0);
    archive_entry_set_gid(entry.get(), 0);
    archive_entry_set_uname(entry.get(), "root");
    archive_entry_set_gname(entry.get(), "root");
    if (S_ISLNK(status.st_mode)) {
        std::error_code error;
        archive_entry_set_symlink(entry.get(), fs::read_symlink(item.path, error).c_str());
    }
    if (!S_ISREG(status.st_mode)) archive_entry_set_size(entry.get(), 0);
    if (archive_write_header(writer, entry.get()) != ARCHIVE_OK) return platform::MakeUnexpected(ArchiveError(writer, item.name));
    if (!S_ISREG(status.st_mode)) return {};
    std::ifstream in(item.path, std::ios::binary);
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (got > 0 && archive_write_data(writer, buffer.data(), got) != static_cast<la_ssize_t>(got)) {
            return platform::MakeUnexpected(ArchiveError(writer, item.name));
        }
    }
    if (!in.eof()) return platform::MakeUnexpected("cannot read " + item.path.string());
    return {};
}

Result WriteArchive(int fd, const std::vector<SourceItem>& items) {
    ArchivePtr writer(archive_write_new(), archive_write_free);
    archive_write_set_format_pax_restricted(writer.get());
    archive_write_add_filter_gzip(writer.get());
    if (archive_write_open_fd(writer.get(), fd) != ARCHIVE_OK) {
        return platform::MakeUnexpected(ArchiveError(writer.get(), "cannot start the archive"));
    }
    for (const auto& item : items) {
        if (auto added = AddItem(writer.get(), item); !added) return added;
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        return platform::MakeUnexpected(ArchiveError(writer.get(), "cannot finish the archive"));
    }
    return {};
}

Result CopyStub(const std::string& stubPath, const std::string& outputPath) {
    std::error_code error;
    fs::copy_file(stubPath, outputPath, fs::copy_options::overwrite_existing, error);
    if (error) return platform::MakeUnexpected("cannot copy the package stub " + stubPath + ": " + error.message());
    return {};
}

Result CheckRequest(const BuildRequest& request) {
    if (!IsThreePartVersion(request.version)) {
        return platform::MakeUnexpected("the version must be three numbers such as 1.0.0, not \"" + request.version + "\"");
    }
    if (!fs::is_directory(request.productFolder)) return platform::MakeUnexpected(request.productFolder + " is not a folder");
    const fs::path exe = fs::path(request.productFolder) / request.exeName;
    if (!fs::is_regular_file(exe) || ::access(exe.c_str(), X_OK) != 0) {
        return platform::MakeUnexpected("the product folder has no executable " + request.exeName);
    }
    if (::access(request.uninstallerPath.c_str(), X_OK) != 0) {
        return platform::MakeUnexpected("no uninstaller program at " + request.uninstallerPath);
    }
    return {};
}

}  // namespace

Result BuildPackage(const BuildRequest& request) {
    if (auto checked = CheckRequest(request); !checked) return checked;
    uint64_t bytes = 0;
    auto items = ListProduct(request, bytes);
    if (!items) return platform::MakeUnexpected(items.error());
    items->push_back({kUninstallerName, fs::canonical(request.uninstallerPath)});
    bytes += fs::file_size(request.uninstallerPath);

    const std::string partial = request.outputPath + ".part";
    if (auto copied = CopyStub(request.stubPath, partial); !copied) return copied;
    const int fd = ::open(partial.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0) return platform::MakeUnexpected("cannot open " + partial);
    const off_t stubSize = ::lseek(fd, 0, SEEK_END);
    const PackageInfo info{request.productName, request.version, request.exeName, bytes};
    Result result = WriteArchive(fd, *items);
    if (result) result = FinishPackage(fd, static_cast<uint64_t>(stubSize), info);
    if (result && ::fchmod(fd, 0755) != 0) result = platform::MakeUnexpected("cannot make " + partial + " executable");
    if (::close(fd) != 0 && result) result = platform::MakeUnexpected("cannot write " + partial);
    std::error_code error;
    if (result) fs::rename(partial, request.outputPath, error);
    if (error) result = platform::MakeUnexpected("cannot write " + request.outputPath + ": " + error.message());
    if (!result) fs::remove(partial, error);
    return result;
}

}  // namespace Package
