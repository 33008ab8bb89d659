#include "src/download/CreateDownloader.h"

#include "src/download/CCurlDownloader.h"
#include "src/download/CMTCurlDownloader.h"
#include "src/download/CWinDownloader.h"

std::unique_ptr<CDownloader> CreateDownloader(int downloadType, DownloadStatusCallback status, std::wstring url,
                                              std::wstring path) {
    switch (downloadType) {
        case 2:
            return std::make_unique<CWinDownloader>(std::move(status), std::move(url), std::move(path));
        case 3:
            return std::make_unique<CMTCurlDownloader>(std::move(status), std::move(url), std::move(path));
        default:
            return std::make_unique<CCurlDownloader>(std::move(status), std::move(url), std::move(path));
    }
}
