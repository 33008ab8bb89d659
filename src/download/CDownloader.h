#pragma once
// The interface of the package downloaders. Start begins a run on the downloader's own
// worker thread and returns at once; everything else arrives through the status callback
// given at construction. Destroying a downloader stops its run and waits for its threads.

class CDownloader {
public:
    virtual ~CDownloader() = default;
    // 0 when a run was started; the owner learns the outcome from the status callback.
    virtual int Start() = 0;
};
