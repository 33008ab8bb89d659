#include "telemetry/source/src/ProfileIni.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace varno::telemetry {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::string> SectionName(const std::string& line) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return Trim(t.substr(1, t.size() - 2));
}

// The key of a "key=value" line, or nullopt.
std::optional<std::string> KeyOf(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

std::vector<std::string> ReadLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key) {
    bool inSection = false;
    for (const auto& line : ReadLines(file)) {
        if (const auto name = SectionName(line)) {
            inSection = EqualNoCase(*name, section);
        } else if (inSection) {
            const auto k = KeyOf(line);
            if (k && EqualNoCase(*k, key)) return Trim(line.substr(line.find('=') + 1));
        }
    }
    return std::nullopt;
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    auto lines = ReadLines(file);
    const std::string entry = key + "=" + value;
    // Pass 1: replace the key inside its section, or note where the section ends.
    std::optional<size_t> sectionEnd;
    bool inSection = false, written = false;
    for (size_t i = 0; i < lines.size() && !written; ++i) {
        if (const auto name = SectionName(lines[i])) {
            if (inSection) break;
            inSection = EqualNoCase(*name, section);
            if (inSection) sectionEnd = i + 1;
        } else if (inSection) {
            const auto k = KeyOf(lines[i]);
            if (k && EqualNoCase(*k, key)) {
                lines[i] = entry;
                written = true;
            } else if (!Trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    // Pass 2: add the key at the end of its section, or a new section at the end.
    if (!written && sectionEnd) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), entry);
    } else if (!written) {
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    }
    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const auto& line : lines) out << line << "\r\n";
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
}

}  // namespace varno::telemetry
