#pragma once
// Read access to the tracker's own log of recorded events, as handed out by getLogger.
#include <cstdint>
#include <string>
#include <vector>

namespace varno::telemetry {

struct TrackLogEntry {
    std::string time;        // "%04d-%02d-%02d %02d:%02d:%02d.000", local
    std::string typeName;    // the VnEventType text
    std::string properties;  // the event's property set as compact JSON
};

class TrackLogger {
public:
    virtual ~TrackLogger() = default;
    // Replaces `lines` with up to `count` entries starting at line `firstLine`.
    virtual void readLines(std::vector<TrackLogEntry>& lines, int64_t firstLine, int count) = 0;
    // Empties the log and closes it.
    virtual void clear() = 0;
};

}  // namespace varno::telemetry
