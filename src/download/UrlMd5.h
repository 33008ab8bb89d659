#pragma once
// The expected MD5 of a download, carried by the download service in its final address:
// the name of the address's last folder ("…/<md5>/package.exe").
#include <string>

// The last folder name of the address, or empty when it has none. Only a result of exactly
// 32 characters counts as an MD5; the caller checks that.
std::string GetUrlMd5(const std::string& url);
