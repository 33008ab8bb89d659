#include "tools/package/SafeExtractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/SystemError.h"
#include "tools/package/EntryNames.h"

namespace Package {
namespace {

using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;

constexpr int kDiskFlags = ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                           ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS |
                           ARCHIVE_EXTRACT_UNLINK;

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

std::string ArchiveError(archive* a, const std::string& what) {
    const char* text = archive_error_string(a);
    return what + ": " + (text ? text : "unknown archive error");
}

// Why an entry may not be written, or empty when it may.
std::string RefusalReason(archive_entry* entry, const std::string& name) {
    if (archive_entry_hardlink(entry)) return "it is a hard link";
    switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
        case AE_IFDIR:
            return {};
        case AE_IFLNK: {
            const char* target = archive_entry_symlink(entry);
            if (!target || !IsLinkTargetInside(name, target)) return "it is a link that points outside the install folder";
            return {};
        }
        default:
            return "it is neither a file, a folder nor a link";
    }
}

}  // namespace

void SafeExtractor::NoteMissingFolders(const std::string& name, bool isFolder) {
    // libarchive makes missing parent folders itself; note them first so they can be undone.
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
        const std::string parent = name.substr(0, slash);
        if (!Exists(parent)) folders_.push_back(parent);
    }
    if (isFolder && !Exists(name)) folders_.push_back(name);
}

platform::Status<std::string> SafeExtractor::Extract(std::string_view archiveBytes, const ProgressFn& progress) {
    if (::chdir(folder_.c_str()) != 0) {
        return platform::MakeUnexpected("cannot enter the install folder " + folder_ + ": " +
                                        platform::SystemError::FromErrno().Message());
    }
    ArchivePtr reader(archive_read_new(), archive_read_free);
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_tar(reader.get());
    if (archive_read_open_memory(reader.get(), archiveBytes.data(), archiveBytes.size()) != ARCHIVE_OK) {
        return platform::MakeUnexpected(ArchiveError(reader.get(), "the product archive is unreadable"));
    }
    ArchivePtr writer(archive_write_disk_new(), archive_write_free);
    archive_write_disk_set_options(writer.get(), kDiskFlags);

    uint64_t bytesDone = 0;
    while (true) {
        archive_entry* entry = nullptr;
        const int header = archive_read_next_header(reader.get(), &entry);
        if (header == ARCHIVE_EOF) break;
        if (header != ARCHIVE_OK) {
            return platform::MakeUnexpected(ArchiveError(reader.get(), "the product archive is damaged"));
        }
        const std::string original = archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "";
        const auto name = NormaliseEntryName(original);
        if (!name) return platform::MakeUnexpected("the package refuses the archive entry \"" + original +
                                                   "\": its name leads outside the install folder");
        if (const std::string reason = RefusalReason(entry, *name); !reason.empty()) {
            return platform::MakeUnexpected("the package refuses the archive entry \"" + original + "\": " + reason);
        }
        const bool isFolder = archive_entry_filetype(entry) == AE_IFDIR;
        NoteMissingFolders(*name, isFolder);
        archive_entry_set_pathname(entry, name->c_str());
        archive_entry_set_uid(entry, ::geteuid());
        archive_entry_set_gid(entry, ::getegid());
        // Before the write: the name must be taken back even when the write fails half-way.
        if (!isFolder) files_.push_back(*name);
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK) {
            return platform::MakeUnexpected(ArchiveError(writer.get(), "cannot write " + *name));
        }
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int data;
        while ((data = archive_read_data_block(reader.get(), &block, &size, &offset)) == ARCHIVE_OK) {
            if (archive_write_data_block(writer.get(), block, size, offset) != ARCHIVE_OK) {
                return platform::MakeUnexpected(ArchiveError(writer.get(), "cannot write " + *name));
            }
            bytesDone += size;
            if (progress) progress(bytesDone);
        }
        if (data != ARCHIVE_EOF) {
            return platform::MakeUnexpected(ArchiveError(reader.get(), "the product archive is damaged at " + *name));
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK) {
            return platform::MakeUnexpected(ArchiveError(writer.get(), "cannot finish " + *name));
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        return platform::MakeUnexpected(ArchiveError(writer.get(), "cannot finish the product files"));
    }
    return {};
}

void SafeExtractor::Rollback() {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) ::unlink((folder_ + "/" + *it).c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) ::rmdir((folder_ + "/" + *it).c_str());
    files_.clear();
    folders_.clear();
}

}  // namespace Package
