#pragma once
// The record queue under the recording layer: holds up to 1024 serialised records in
// memory (oldest dropped), sends them in batches of 30, and keeps what could not be sent
// in a staging file that the next process reads back before its first send.
// Thread-safe: records are added from any thread; batch sends are serialised.
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "telemetry/telemetry_core/HttpSender.h"

namespace telemetry_core {

inline constexpr size_t kQueueCapacity = 1024;
inline constexpr size_t kBatchSize = 30;

class EventConsumer {
public:
    EventConsumer(std::string stagingFile, std::string serverUrl);
    ~EventConsumer();
    EventConsumer(const EventConsumer&) = delete;
    EventConsumer& operator=(const EventConsumer&) = delete;

    // Appends one record text; the oldest record goes when the queue is over capacity.
    void Push(std::string record);
    // Sends everything queued (staged records first); false at the first failed batch.
    bool Flush();
    // Stages what is still queued. Idempotent; the destructor calls it.
    void Close();

    size_t QueuedRecords() const;

private:
    bool SendBatch();
    void ReadStagingFileLocked();
    void WriteStagingFileLocked();

    const std::string stagingFile_;
    mutable std::mutex queueLock_;  // guards records_, stagingPending_, closed_
    std::mutex flushLock_;          // one batch on the wire at a time
    std::deque<std::string> records_;
    bool stagingPending_ = true;
    bool closed_ = false;
    HttpSender sender_;  // used under flushLock_ only
};

}  // namespace telemetry_core
