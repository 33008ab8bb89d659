#pragma once
// An ordered map of JSON values (keys in ascending byte order) and its compact text form:
// the container every analytics record and property set is built from. No checks here;
// PropertiesNode adds the validating setters.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace telemetry_core::utils {

// A local date and time as seconds since 1970 plus milliseconds.
struct DateTime {
    int64_t seconds = 0;
    int milliseconds = 0;
};

class ObjectNode;

// The seven value kinds, in the order of their codes: number, integer, string, list,
// date-time, bool, object.
using NodeValue = std::variant<double, int64_t, std::string, std::vector<std::string>, DateTime, bool,
                               std::shared_ptr<const ObjectNode>>;

enum class ValueKind { Number = 0, Integer = 1, String = 2, List = 3, DateTime = 4, Bool = 5, Object = 6 };

inline ValueKind KindOf(const NodeValue& value) { return static_cast<ValueKind>(value.index()); }

class ObjectNode {
public:
    void Set(const std::string& key, NodeValue value) { entries_.insert_or_assign(key, std::move(value)); }
    void SetObject(const std::string& key, ObjectNode node);
    const NodeValue* Find(const std::string& key) const;
    bool Remove(const std::string& key) { return entries_.erase(key) > 0; }
    // Copies every entry of `other` in, replacing entries of the same key.
    void Merge(const ObjectNode& other);
    void Clear() { entries_.clear(); }

    bool Empty() const { return entries_.empty(); }
    size_t Size() const { return entries_.size(); }
    const std::map<std::string, NodeValue, std::less<>>& Entries() const { return entries_; }

    // Compact JSON: no spaces, no line breaks, keys unescaped, strings escaped byte-wise.
    std::string ToJson() const;
    void AppendJson(std::string& out) const;

private:
    std::map<std::string, NodeValue, std::less<>> entries_;
};

// The JSON text of one string value, quotation marks included.
void AppendJsonString(std::string& out, std::string_view text);

// "%04d-%02d-%02d %02d:%02d:%02d.%03d" in local time.
std::string FormatLocalDateTime(const DateTime& value);

// Seconds since 1970 when the value is at most 157789439999, milliseconds above it: the
// rule the tracker uses for every time it is handed.
DateTime DateTimeFromSecondsOrMilliseconds(int64_t value);

}  // namespace telemetry_core::utils
