#include "src/download/StreamMd5.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace Download {
namespace {

// Enough to smooth the hand-over of a few receive buffers; more only costs memory.
constexpr size_t kRingSize = 4 * 1024 * 1024;

}  // namespace

StreamMd5::StreamMd5() : ring_(kRingSize) {
    try {
        hasher_ = std::thread([this] { HashQueued(); });
    } catch (const std::system_error&) {
        ring_.clear();  // no thread: Add hashes directly
    }
}

StreamMd5::~StreamMd5() { StopThread(); }

void StreamMd5::StopThread() {
    if (!hasher_.joinable()) return;
    {
        std::lock_guard lock(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    hasher_.join();
}

void StreamMd5::Add(const void* data, size_t size) {
    added_ += static_cast<int64_t>(size);
    if (!hasher_.joinable()) {
        md5_.Update(data, size);
        return;
    }
    // The bytes from queued_ on are free ring space that only this thread writes; the
    // hashing thread reads only those before queued_.
    auto from = static_cast<const char*>(data);
    while (size > 0) {
        uint64_t at = 0;
        size_t chunk = 0;
        {
            std::unique_lock lock(lock_);
            changed_.wait(lock, [this] { return queued_ - hashed_ < ring_.size(); });
            at = queued_ % ring_.size();
            chunk = std::min({size, static_cast<size_t>(ring_.size() - (queued_ - hashed_)),
                              static_cast<size_t>(ring_.size() - at)});
        }
        std::memcpy(ring_.data() + at, from, chunk);
        {
            std::lock_guard lock(lock_);
            queued_ += chunk;
        }
        changed_.notify_all();
        from += chunk;
        size -= chunk;
    }
}

void StreamMd5::HashQueued() {
    for (;;) {
        uint64_t at = 0;
        size_t chunk = 0;
        {
            std::unique_lock lock(lock_);
            changed_.wait(lock, [this] { return queued_ > hashed_ || closing_; });
            if (queued_ == hashed_) return;  // closing, and everything is hashed
            at = hashed_ % ring_.size();
            chunk = static_cast<size_t>(std::min<uint64_t>(queued_ - hashed_, ring_.size() - at));
        }
        md5_.Update(ring_.data() + at, chunk);
        {
            std::lock_guard lock(lock_);
            hashed_ += chunk;
        }
        changed_.notify_all();
    }
}

std::string StreamMd5::Finish() {
    StopThread();
    return md5_.FinishHex();
}

}  // namespace Download
