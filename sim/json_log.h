// The simulator's record of everything that crossed a connection, one JSON object a line.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tlx::sim {

// Builds one JSON object field by field.
class JsonLine {
  public:
    JsonLine& Str(std::string_view key, std::string_view value);
    JsonLine& Num(std::string_view key, std::int64_t value);
    JsonLine& Real(std::string_view key, double value);
    JsonLine& Bool(std::string_view key, bool value);
    JsonLine& Hex(std::string_view key, std::span<const std::uint8_t> bytes);
    // Appends an already formed JSON value (object or array).
    JsonLine& Raw(std::string_view key, std::string_view json);
    std::string Done() const { return body_ + "}"; }

  private:
    void Key(std::string_view key);
    std::string body_ = "{";
};

// Texts on the wire are 8-bit ANSI; each byte of 0x80 and above is written as \u00XX so
// the line stays valid UTF-8 and every byte can be read back.
std::string JsonEscape(std::string_view text);

class JsonLog {
  public:
    JsonLog() = default;  // writes nothing
    // "-" writes to standard output. Returns an empty pointer when the file cannot be opened.
    static std::unique_ptr<JsonLog> Open(const std::string& path, std::string* error);
    ~JsonLog();
    JsonLog(const JsonLog&) = delete;
    JsonLog& operator=(const JsonLog&) = delete;

    bool enabled() const { return file_ != nullptr; }
    // Starts a record with the time stamps: "t" (UTC wall clock, ms) and "ms" since start.
    JsonLine Begin() const;
    void Write(const JsonLine& line);
    void Flush();

  private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace tlx::sim
