#pragma once
// A small writer of JSON text for epk's machine-readable output: objects and
// arrays nest, keys keep the order they are written in.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::epk {

// The layout of epk's JSON, carried as "format" by every document: it goes
// up when a field changes its meaning or goes away, not when one is added.
inline constexpr uint64_t kJsonFormat = 1;

class JsonWriter {
public:
    JsonWriter& BeginObject(std::string_view key = {});
    JsonWriter& EndObject();
    JsonWriter& BeginArray(std::string_view key = {});
    JsonWriter& EndArray();
    JsonWriter& Field(std::string_view key, std::string_view text);
    JsonWriter& Field(std::string_view key, const char* text) { return Field(key, std::string_view(text)); }
    JsonWriter& Number(std::string_view key, uint64_t number);
    JsonWriter& Flag(std::string_view key, bool flag);
    // A text as an item of the array being written.
    JsonWriter& Value(std::string_view text) { return Field({}, text); }

    // The text, ended by a line break.
    std::string Text() const { return out_ + "\n"; }

private:
    void Key(std::string_view key);
    void Separate();

    std::string out_;
    std::vector<bool> first_;  // per open level: nothing written in it yet
};

// A JSON string literal of UTF-8 text.
std::string JsonString(std::string_view text);

}  // namespace tarvex::epk
