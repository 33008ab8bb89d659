#pragma once
// The process-wide recording layer: turns an event name and a property set into one JSON
// record (with the super properties, the distinct id and a track id), validates names and
// values, and queues the record for delivery. Every operation does nothing before Init and
// after Shutdown. Thread-safe.
#include <cstdint>
#include <string>

#include "telemetry/telemetry_core/PropertiesNode.h"

namespace telemetry_core {

inline constexpr char kLibName[] = "cpp";
inline constexpr char kLibVersion[] = "0.9";

class Sdk {
public:
    // Creates the process-wide recorder unless one exists. False when the distinct id breaks
    // the id rule. `stagingFile` keeps unsent records between runs; empty: none are kept.
    static bool Init(const std::string& stagingFile, const std::string& serverUrl, const std::string& distinctId,
                     bool isLoginId);
    // Stages what is still queued and destroys the recorder.
    static void Shutdown();
    static bool IsInitialized();

    static void Track(const std::string& eventName, const PropertiesNode& properties);
    // A track record whose "$ios_install_source" defaults to an empty text.
    static void TrackInstallation(const std::string& eventName, const PropertiesNode& properties);
    // Records "$SignUp" from the current id to `loginId`, then sends under `loginId`.
    static void Login(const std::string& loginId);

    static void ProfileSet(const PropertiesNode& properties);
    static void ProfileSetOnce(const PropertiesNode& properties);
    static void ProfileIncrement(const PropertiesNode& properties);
    static void ProfileAppend(const std::string& key, const std::string& value);

    static void RegisterSuperProperties(const PropertiesNode& properties);
    static void ClearSuperProperties();

    // Sends everything queued; false at the first failed batch (the rest stays queued).
    static bool Flush();
    static size_t QueuedRecords();

    static std::string DistinctId();
    static bool IsLoginId();
    static void SetDistinctId(const std::string& distinctId, bool isLoginId);
};

}  // namespace telemetry_core
