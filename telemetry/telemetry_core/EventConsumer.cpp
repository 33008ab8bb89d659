#include "telemetry/telemetry_core/EventConsumer.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "telemetry/telemetry_core/BatchEncoding.h"
#include "telemetry/telemetry_core/Complaint.h"
#include "telemetry/telemetry_core/SendStatus.h"

namespace telemetry_core {

EventConsumer::EventConsumer(std::string stagingFile, std::string serverUrl)
    : stagingFile_(std::move(stagingFile)), sender_(std::move(serverUrl)) {}

EventConsumer::~EventConsumer() { Close(); }

void EventConsumer::Push(std::string record) {
    std::lock_guard guard(queueLock_);
    records_.push_back(std::move(record));
    if (records_.size() > kQueueCapacity) records_.pop_front();
}

size_t EventConsumer::QueuedRecords() const {
    std::lock_guard guard(queueLock_);
    return records_.size();
}

bool EventConsumer::Flush() {
    {
        std::lock_guard guard(queueLock_);
        if (stagingPending_) ReadStagingFileLocked();
    }
    while (QueuedRecords() > 0) {
        if (!SendBatch()) return false;
    }
    return true;
}

bool EventConsumer::SendBatch() {
    std::lock_guard flushGuard(flushLock_);
    // Pass 1: take up to one batch from the front of the queue.
    std::vector<std::string> batch;
    {
        std::lock_guard guard(queueLock_);
        while (!records_.empty() && batch.size() < kBatchSize) {
            batch.push_back(std::move(records_.front()));
            records_.pop_front();
        }
    }
    if (batch.empty()) return true;

    // Pass 2: join, compress and encode; a compression failure sends nothing.
    std::string json = "[";
    for (size_t i = 0; i < batch.size(); ++i) {
        if (i) json += ',';
        json += batch[i];
    }
    json += ']';
    bool sent = false;
    if (const auto body = EncodeBatchBody(json)) {
        const HttpResponse response = sender_.Post(*body);
        sent = response.status == 200;
        if (!sent) {
            Complain("[telemetry] Telemetry SDK send failed");
            Complain("Telemetry SDK send failed: " + response.body);
        }
        SetLastSendSucceeded(sent);
    }
    if (sent) return true;

    // Pass 3: put the batch back in front, newest records first, as far as there is room.
    std::lock_guard guard(queueLock_);
    const size_t room = records_.size() < kQueueCapacity ? kQueueCapacity - records_.size() : 0;
    const size_t keep = std::min(room, batch.size());
    for (size_t i = 0; i < keep; ++i) records_.push_front(std::move(batch[batch.size() - 1 - i]));
    return false;
}

void EventConsumer::ReadStagingFileLocked() {
    stagingPending_ = false;
    if (stagingFile_.empty() || records_.size() >= kQueueCapacity) return;
    std::ifstream in(stagingFile_);
    if (!in) return;
    std::deque<std::string> staged;
    const size_t room = kQueueCapacity - records_.size();
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 2 || line.front() != '{' || line.back() != '}') continue;
        staged.push_back(std::move(line));
        if (staged.size() > room) staged.pop_front();
    }
    in.close();
    records_.insert(records_.begin(), std::make_move_iterator(staged.begin()), std::make_move_iterator(staged.end()));
    std::ofstream(stagingFile_, std::ios::trunc);
}

void EventConsumer::WriteStagingFileLocked() {
    // Written aside and renamed over the old file, so a crash while writing loses nothing
    // that was staged before.
    if (stagingFile_.empty()) return;
    const std::string temporary = stagingFile_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc | std::ios::binary);
        if (!out) return;
        for (const auto& record : records_) out << record << '\n';
        if (!out.flush()) return;
    }
    std::error_code ignored;
    std::filesystem::rename(temporary, stagingFile_, ignored);
}

void EventConsumer::Close() {
    std::lock_guard flushGuard(flushLock_);
    std::lock_guard guard(queueLock_);
    if (closed_) return;
    closed_ = true;
    if (stagingPending_) ReadStagingFileLocked();
    WriteStagingFileLocked();
    records_.clear();
}

}  // namespace telemetry_core
