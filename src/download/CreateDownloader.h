#pragma once
// Picks the package downloader for a DownloadType setting: 2 the system downloader, 3 the
// segmented one, every other value the single-stream one.
#include <memory>
#include <string>

#include "src/download/CDownloader.h"
#include "src/download/DownloadStatus.h"

std::unique_ptr<CDownloader> CreateDownloader(int downloadType, DownloadStatusCallback status, std::wstring url,
                                              std::wstring path);
