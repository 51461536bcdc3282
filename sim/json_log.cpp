#include "sim/json_log.h"

#include <charconv>
#include <ctime>

namespace tlx::sim {

std::string JsonEscape(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x7f) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

void JsonLine::Key(std::string_view key) {
    if (body_.size() > 1) body_ += ',';
    body_ += '"';
    body_ += JsonEscape(key);
    body_ += "\":";
}

JsonLine& JsonLine::Str(std::string_view key, std::string_view value) {
    Key(key);
    body_ += '"';
    body_ += JsonEscape(value);
    body_ += '"';
    return *this;
}

JsonLine& JsonLine::Num(std::string_view key, std::int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Real(std::string_view key, double value) {
    Key(key);
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    body_.append(buf, ec == std::errc() ? end : buf);
    if (ec != std::errc()) body_ += "null";
    return *this;
}

JsonLine& JsonLine::Bool(std::string_view key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Hex(std::string_view key, std::span<const std::uint8_t> bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const auto b : bytes) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return Str(key, hex);
}

JsonLine& JsonLine::Raw(std::string_view key, std::string_view json) {
    Key(key);
    body_ += json;
    return *this;
}

std::unique_ptr<JsonLog> JsonLog::Open(const std::string& path, std::string* error) {
    auto log = std::make_unique<JsonLog>();
    if (path == "-") {
        log->file_ = stdout;
        return log;
    }
    log->file_ = std::fopen(path.c_str(), "ab");
    if (!log->file_) {
        if (error) *error = "cannot open log file \"" + path + "\"";
        return nullptr;
    }
    log->owned_ = true;
    return log;
}

JsonLog::~JsonLog() {
    if (file_ && owned_)
        std::fclose(file_);
    else if (file_)
        std::fflush(file_);
}

JsonLine JsonLog::Begin() const {
    using namespace std::chrono;
    const auto wall = system_clock::now();
    const auto ms_total = duration_cast<milliseconds>(wall.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms_total / 1000);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char stamp[40];
    const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    std::string t(stamp, n);
    const auto ms = ms_total % 1000;
    t += '.';
    t += static_cast<char>('0' + ms / 100);
    t += static_cast<char>('0' + ms / 10 % 10);
    t += static_cast<char>('0' + ms % 10);
    t += 'Z';
    JsonLine line;
    line.Str("t", t).Num("ms", duration_cast<milliseconds>(steady_clock::now() - start_).count());
    return line;
}

void JsonLog::Write(const JsonLine& line) {
    if (!file_) return;
    const std::string text = line.Done();
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputc('\n', file_);
}

void JsonLog::Flush() {
    if (file_) std::fflush(file_);
}

}  // namespace tlx::sim
