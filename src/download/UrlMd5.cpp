#include "src/download/UrlMd5.h"

std::string GetUrlMd5(const std::string& url) {
    const size_t lastSlash = url.rfind('/');
    if (lastSlash == std::string::npos || lastSlash == 0) return {};
    const size_t folderSlash = url.rfind('/', lastSlash - 1);
    if (folderSlash == std::string::npos) return {};
    return url.substr(folderSlash + 1, lastSlash - folderSlash - 1);
}
