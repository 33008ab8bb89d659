#pragma once
// The MD5 of a file computed from the bytes as they are written to it, so that checking a
// download needs no second pass over the file. Bytes are hashed in the order they are
// added, on a thread of its own so that hashing overlaps the transfer (on the adding
// thread when no thread can be made). Used by one thread at a time.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/SystemProbes.h"

namespace Download {

class StreamMd5 {
public:
    StreamMd5();
    // Waits for the hashing thread to end.
    ~StreamMd5();
    StreamMd5(const StreamMd5&) = delete;
    StreamMd5& operator=(const StreamMd5&) = delete;

    // Copies the bytes; waits while the hashing thread is too far behind.
    void Add(const void* data, size_t size);
    // Bytes added so far.
    int64_t size() const { return added_; }
    // The digest of every byte added, as 32 lower-case hexadecimal digits. Once only.
    std::string Finish();

private:
    void HashQueued();
    void StopThread();

    platform::Md5 md5_;  // used by the hashing thread while it runs
    int64_t added_ = 0;
    std::mutex lock_;  // guards the counters below and closing_
    std::condition_variable changed_;
    std::vector<char> ring_;
    uint64_t hashed_ = 0;  // ring bytes hashed
    uint64_t queued_ = 0;  // ring bytes added
    bool closing_ = false;
    std::thread hasher_;  // not joinable: Add hashes on the caller's thread
};

}  // namespace Download
