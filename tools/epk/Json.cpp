#include "tools/epk/Json.h"

#include <cstdio>

namespace tarvex::epk {

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void JsonWriter::Separate()
{
    if (first_.empty()) return;
    if (!first_.back()) out_ += ",";
    first_.back() = false;
}

void JsonWriter::Key(std::string_view key)
{
    Separate();
    if (!key.empty()) out_ += JsonString(key) + ":";
}

JsonWriter& JsonWriter::BeginObject(std::string_view key)
{
    Key(key);
    out_ += "{";
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndObject()
{
    out_ += "}";
    first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::BeginArray(std::string_view key)
{
    Key(key);
    out_ += "[";
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndArray()
{
    out_ += "]";
    first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Field(std::string_view key, std::string_view text)
{
    Key(key);
    out_ += JsonString(text);
    return *this;
}

JsonWriter& JsonWriter::Number(std::string_view key, uint64_t number)
{
    Key(key);
    out_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::Flag(std::string_view key, bool flag)
{
    Key(key);
    out_ += flag ? "true" : "false";
    return *this;
}

}  // namespace tarvex::epk
