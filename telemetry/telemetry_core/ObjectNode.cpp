#include "telemetry/telemetry_core/ObjectNode.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace telemetry_core::utils {
namespace {

void AppendNumber(std::string& out, double value) {
    // A non-finite number has no JSON form; written as text it would make the whole batch
    // unreadable for the collection service.
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%g", value);  // the stream's default form
    out.append(buffer, static_cast<size_t>(n));
}

struct ValueWriter {
    std::string& out;
    void operator()(double v) const { AppendNumber(out, v); }
    void operator()(int64_t v) const { out += std::to_string(v); }
    void operator()(const std::string& v) const { AppendJsonString(out, v); }
    void operator()(const std::vector<std::string>& v) const {
        out += '[';
        for (size_t i = 0; i < v.size(); ++i) {
            if (i) out += ',';
            AppendJsonString(out, v[i]);
        }
        out += ']';
    }
    void operator()(const DateTime& v) const {
        out += '"';
        out += FormatLocalDateTime(v);
        out += '"';
    }
    void operator()(bool v) const { out += v ? "true" : "false"; }
    void operator()(const std::shared_ptr<const ObjectNode>& v) const {
        if (v) v->AppendJson(out);
        else out += "{}";
    }
};

}  // namespace

void ObjectNode::SetObject(const std::string& key, ObjectNode node) {
    Set(key, std::make_shared<const ObjectNode>(std::move(node)));
}

const NodeValue* ObjectNode::Find(const std::string& key) const {
    const auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

void ObjectNode::Merge(const ObjectNode& other) {
    for (const auto& [key, value] : other.entries_) entries_.insert_or_assign(key, value);
}

std::string ObjectNode::ToJson() const {
    std::string out;
    AppendJson(out);
    return out;
}

void ObjectNode::AppendJson(std::string& out) const {
    out += '{';
    bool first = true;
    for (const auto& [key, value] : entries_) {
        if (!first) out += ',';
        first = false;
        out += '"';
        out += key;
        out += "\":";
        std::visit(ValueWriter{out}, value);
    }
    out += '}';
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    out += '"';
}

std::string FormatLocalDateTime(const DateTime& value) {
    const std::time_t seconds = static_cast<std::time_t>(value.seconds);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, value.milliseconds);
    return buffer;
}

DateTime DateTimeFromSecondsOrMilliseconds(int64_t value) {
    constexpr int64_t kLastSecondsValue = 157789439999;
    if (value > kLastSecondsValue) return DateTime{value / 1000, static_cast<int>(value % 1000)};
    return DateTime{value, 0};
}

}  // namespace telemetry_core::utils
