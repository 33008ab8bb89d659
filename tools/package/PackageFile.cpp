#include "tools/package/PackageFile.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/SystemError.h"

namespace Package {
namespace {

constexpr char kMagic[8] = {'M', 'V', 'X', 'P', 'K', 'G', '1', '\n'};
constexpr size_t kDigestSize = 32;
constexpr size_t kTrailerSize = 8 + 3 * 8 + kDigestSize;

struct Trailer {
    uint64_t archiveOffset = 0;
    uint64_t archiveSize = 0;
    uint64_t infoSize = 0;
    std::array<unsigned char, kDigestSize> digest{};
};

void PutU64(std::string& out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

uint64_t GetU64(const unsigned char* bytes) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

std::string EncodeTrailer(const Trailer& trailer) {
    std::string out(kMagic, sizeof kMagic);
    PutU64(out, trailer.archiveOffset);
    PutU64(out, trailer.archiveSize);
    PutU64(out, trailer.infoSize);
    out.append(reinterpret_cast<const char*>(trailer.digest.data()), kDigestSize);
    return out;
}

std::optional<Trailer> DecodeTrailer(const unsigned char* bytes) {
    if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return std::nullopt;
    Trailer trailer;
    trailer.archiveOffset = GetU64(bytes + 8);
    trailer.archiveSize = GetU64(bytes + 16);
    trailer.infoSize = GetU64(bytes + 24);
    std::memcpy(trailer.digest.data(), bytes + 32, kDigestSize);
    return trailer;
}

// SHA-256 over the given pieces in order.
class Digest {
public:
    Digest() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) { EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr); }
    void Add(std::string_view bytes) { EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()); }
    std::array<unsigned char, kDigestSize> Finish() {
        std::array<unsigned char, kDigestSize> digest{};
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
        return digest;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

std::string ErrnoText(const std::string& what) { return what + ": " + platform::SystemError::FromErrno().Message(); }

platform::Status<std::string> WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return platform::MakeUnexpected(ErrnoText("cannot write the package"));
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return {};
}

}  // namespace

std::string PackageInfo::ToText() const {
    return "Name=" + name + "\nVersion=" + version + "\nExe=" + exeName + "\nBytes=" + std::to_string(bytes) + "\n";
}

std::optional<PackageInfo> PackageInfo::FromText(std::string_view text) {
    PackageInfo info;
    bool haveBytes = false;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "Name") info.name = value;
        else if (key == "Version") info.version = value;
        else if (key == "Exe") info.exeName = value;
        else if (key == "Bytes") {
            haveBytes = std::from_chars(value.data(), value.data() + value.size(), info.bytes).ec == std::errc{};
        }
    }
    if (info.name.empty() || info.exeName.empty() || !IsThreePartVersion(info.version) || !haveBytes) {
        return std::nullopt;
    }
    return info;
}

bool IsThreePartVersion(std::string_view version) {
    int parts = 0;
    while (true) {
        size_t digits = 0;
        while (digits < version.size() && version[digits] >= '0' && version[digits] <= '9') ++digits;
        if (digits == 0 || digits > 9) return false;
        ++parts;
        version.remove_prefix(digits);
        if (version.empty()) return parts == 3;
        if (version.front() != '.' || parts == 3) return false;
        version.remove_prefix(1);
    }
}

platform::Status<std::string> FinishPackage(int fd, uint64_t archiveOffset, const PackageInfo& info) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return platform::MakeUnexpected(ErrnoText("cannot inspect the package"));
    const uint64_t end = static_cast<uint64_t>(status.st_size);
    if (end < archiveOffset) return platform::MakeUnexpected(std::string("the package is shorter than its stub"));

    Digest digest;
    std::vector<char> buffer(1 << 16);
    for (uint64_t at = archiveOffset; at < end;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return platform::MakeUnexpected(ErrnoText("cannot read the package back"));
        digest.Add(std::string_view(buffer.data(), static_cast<size_t>(got)));
        at += static_cast<uint64_t>(got);
    }
    const std::string infoText = info.ToText();
    digest.Add(infoText);

    Trailer trailer;
    trailer.archiveOffset = archiveOffset;
    trailer.archiveSize = end - archiveOffset;
    trailer.infoSize = infoText.size();
    trailer.digest = digest.Finish();
    if (::lseek(fd, 0, SEEK_END) < 0) return platform::MakeUnexpected(ErrnoText("cannot seek in the package"));
    return WriteAll(fd, infoText + EncodeTrailer(trailer));
}

platform::Status<std::string> WritePackage(const std::string& stubPath, std::string_view archive,
                                           const PackageInfo& info, const std::string& outputPath) {
    const int stub = ::open(stubPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (stub < 0) return platform::MakeUnexpected(ErrnoText("cannot open the package stub " + stubPath));
    const int out = ::open(outputPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
    if (out < 0) {
        ::close(stub);
        return platform::MakeUnexpected(ErrnoText("cannot create " + outputPath));
    }
    platform::Status<std::string> result;
    std::vector<char> buffer(1 << 16);
    uint64_t stubSize = 0;
    for (ssize_t got; result && (got = ::read(stub, buffer.data(), buffer.size())) != 0;) {
        if (got < 0) {
            if (errno == EINTR) continue;
            result = platform::MakeUnexpected(ErrnoText("cannot read the package stub"));
            break;
        }
        result = WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(got)));
        stubSize += static_cast<uint64_t>(got);
    }
    if (result) result = WriteAll(out, archive);
    if (result) result = FinishPackage(out, stubSize, info);
    ::close(stub);
    if (::close(out) != 0 && result) result = platform::MakeUnexpected(ErrnoText("cannot write " + outputPath));
    return result;
}

platform::Expected<PackageView, std::string> PackageView::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return platform::MakeUnexpected(ErrnoText("cannot open the package " + path));
    struct stat status {};
    const bool sized = ::fstat(fd, &status) == 0;
    const size_t size = sized ? static_cast<size_t>(status.st_size) : 0;
    void* map = size >= kTrailerSize ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (map == MAP_FAILED) return platform::MakeUnexpected(std::string("the package carries no product (it is too short)"));
    PackageView view(map, size);

    const auto* bytes = static_cast<const unsigned char*>(map);
    const auto trailer = DecodeTrailer(bytes + size - kTrailerSize);
    if (!trailer) return platform::MakeUnexpected(std::string("the package carries no product (its trailer is missing)"));
    const uint64_t payloadEnd = size - kTrailerSize;
    if (trailer->archiveOffset > payloadEnd || trailer->archiveSize > payloadEnd - trailer->archiveOffset ||
        trailer->infoSize != payloadEnd - trailer->archiveOffset - trailer->archiveSize) {
        return platform::MakeUnexpected(std::string("the package is damaged (its trailer does not fit the file)"));
    }
    const char* base = static_cast<const char*>(map);
    view.archive_ = std::string_view(base + trailer->archiveOffset, trailer->archiveSize);
    const std::string_view infoText(base + trailer->archiveOffset + trailer->archiveSize, trailer->infoSize);
    Digest digest;
    digest.Add(view.archive_);
    digest.Add(infoText);
    if (digest.Finish() != trailer->digest) {
        return platform::MakeUnexpected(std::string("the package is damaged (checksum mismatch); download it again"));
    }
    const auto info = PackageInfo::FromText(infoText);
    if (!info) return platform::MakeUnexpected(std::string("the package is damaged (its product facts are unreadable)"));
    view.info_ = *info;
    return view;
}

PackageView::PackageView(PackageView&& other) noexcept
    : map_(std::exchange(other.map_, nullptr)), size_(std::exchange(other.size_, 0)),
      archive_(other.archive_), info_(std::move(other.info_)) {}

PackageView::~PackageView() {
    if (map_) ::munmap(map_, size_);
}

}  // namespace Package
