#pragma once
// Extra properties a caller attaches to chosen kinds of events without changing the event
// records: the A/B test group "vnc_ab", registered per event kind and merged by the tracker.
// Cheap to make; one per reported event. Throws VnException for every rejection.
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "telemetry/source/src/VnEnums.h"
#include "telemetry/telemetry_core/PropertiesNode.h"

namespace varno::telemetry {

class VnContextProperties {
public:
    struct Entry {
        int kind = 3;  // 3: string, the one kind registered in this system
        std::shared_ptr<const std::string> value;
        std::string key;
    };

    // Registers `value` as "vnc_ab" for each listed kind, in order.
    void setProperty(const std::string& value, const std::vector<VnEventType>& kinds);
    const std::vector<Entry>& getEventProperties(VnEventType kind) const;
    // False for an empty value; throws for values that are not one to three letters or
    // digits starting with an upper-case letter.
    static bool isValidABValue(const std::string& value);
    // Writes the entries of `kind` into `properties`; false when there were none.
    bool mergeInto(VnEventType kind, telemetry_core::PropertiesNode& properties) const;

private:
    std::unordered_set<std::string> keys_;
    std::vector<Entry> lists_[kVnEventTypeCount];
};

}  // namespace varno::telemetry
