#include "telemetry/source/src/NativeTrackLogger.h"

#include <chrono>
#include <limits>

namespace varno::telemetry {
namespace {

// Every "\r\n", then every "\n", then every "\t" becomes one space: one line per event.
std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else {
            out += (c == '\n' || c == '\t') ? ' ' : c;
        }
    }
    return out;
}

std::string NowText() {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch()).count();
    return telemetry_core::utils::FormatLocalDateTime({seconds, 0});
}

}  // namespace

void NativeTrackLogger::open(const std::string& path) {
    std::unique_lock guard(lock_, std::try_to_lock);
    if (!guard || path == path_) return;
    if (stream_.is_open()) stream_.close();
    linePosition_ = 0;
    readOffset_ = 0;
    std::ofstream(path, std::ios::app).close();  // creates a missing file, keeps an existing one
    stream_.open(path, std::ios::in | std::ios::out | std::ios::binary);
    path_ = path;
}

void NativeTrackLogger::write(const std::string& typeName, const telemetry_core::PropertiesNode& properties) {
    std::unique_lock guard(lock_, std::try_to_lock);
    if (!guard || !stream_.is_open()) return;
    const std::string json = OneLine(properties.ToJson());
    stream_.clear();
    stream_.seekp(0, std::ios::end);
    stream_ << NowText() << '\t' << typeName << '\t' << json << '\n';
    stream_.flush();
}

void NativeTrackLogger::readLines(std::vector<TrackLogEntry>& lines, int64_t firstLine, int count) {
    lines.clear();
    std::unique_lock guard(lock_, std::try_to_lock);
    if (!guard || !stream_.is_open()) return;
    if (firstLine < linePosition_ || linePosition_ < 0) {
        linePosition_ = 0;
        readOffset_ = 0;
    }
    // Writes move the one file position of the stream: reading resumes where it stopped.
    stream_.clear();
    stream_.seekg(readOffset_);
    std::string line;
    while (linePosition_ < firstLine && std::getline(stream_, line)) ++linePosition_;
    while (static_cast<int>(lines.size()) < count && std::getline(stream_, line)) {
        ++linePosition_;
        if (line.empty()) continue;
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;
        const auto tab3 = line.find('\t', tab2 + 1);
        lines.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1),
                         line.substr(tab2 + 1, tab3 == std::string::npos ? std::string::npos : tab3 - tab2 - 1)});
    }
    stream_.clear();
    readOffset_ = stream_.tellg();
}

void NativeTrackLogger::clear() {
    std::unique_lock guard(lock_, std::try_to_lock);
    if (!guard) return;
    if (stream_.is_open()) stream_.close();
    linePosition_ = -1;
    if (!path_.empty()) std::ofstream(path_, std::ios::trunc) << '\n';
}

}  // namespace varno::telemetry
