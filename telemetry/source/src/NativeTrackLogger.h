#pragma once
// The tracker log as a text file: one line per recorded event (time, type name and
// properties, separated by tabs), appended and read back. Every operation gives up silently
// when another thread holds the log.
#include <fstream>
#include <mutex>
#include <string>

#include "telemetry/source/src/TrackLogger.h"
#include "telemetry/telemetry_core/PropertiesNode.h"

namespace varno::telemetry {

class NativeTrackLogger : public TrackLogger {
public:
    // Creates the file when missing; nothing when `path` is the file already open.
    void open(const std::string& path);
    void write(const std::string& typeName, const telemetry_core::PropertiesNode& properties);
    void readLines(std::vector<TrackLogEntry>& lines, int64_t firstLine, int count) override;
    void clear() override;

private:
    std::mutex lock_;
    std::string path_;
    std::fstream stream_;
    int64_t linePosition_ = -1;  // lines read so far; -1 when not positioned
    std::streampos readOffset_ = 0;  // where the line at linePosition_ starts
};

}  // namespace varno::telemetry
