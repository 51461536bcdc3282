#include "options.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>

namespace uidriver {

namespace {

// Options that take a value; everything else starting with "--" is a flag from this list.
const std::vector<std::wstring> kValued = {
    L"--title", L"--class",   L"--hwnd",   L"--id",       L"--child-class", L"--child-text",
    L"--index", L"--timeout", L"--equals", L"--contains", L"--value",       L"--value-file",
    L"--x",     L"--y",       L"--button", L"--action",   L"--out",         L"--pid",
    L"--exe",   L"--text",    L"--ms",     L"--vk"};
const std::vector<std::wstring> kFlags = {L"--force",   L"--any",     L"--deselect",
                                          L"--only",    L"--visible", L"--print-window",
                                          L"--no-deep", L"--notify"};

bool Contains(const std::vector<std::wstring>& list, const std::wstring& w) {
    return std::find(list.begin(), list.end(), w) != list.end();
}

}  // namespace

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

bool Command::Has(const std::wstring& option) const {
    return options.count(option) != 0;
}

bool Command::Flag(const std::wstring& flag) const {
    return Contains(flags, flag);
}

std::optional<std::wstring> Command::Get(const std::wstring& option) const {
    auto it = options.find(option);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

std::wstring Command::Require(const std::wstring& option) const {
    auto v = Get(option);
    if (!v) throw Failure("missing " + Utf8(option));
    return *v;
}

long Command::Int(const std::wstring& option, long fallback) const {
    auto v = Get(option);
    return v ? ParseInt(*v, Utf8(option).c_str()) : fallback;
}

double Command::Seconds(const std::wstring& option, double fallback) const {
    auto v = Get(option);
    if (!v) return fallback;
    wchar_t* end = nullptr;
    errno = 0;
    double d = std::wcstod(v->c_str(), &end);
    if (v->empty() || *end != L'\0' || errno != 0 || !(d >= 0) || d > 86400)
        throw Failure(Utf8(option) + " wants seconds, got \"" + Utf8(*v) + "\"");
    return d;
}

long ParseInt(const std::wstring& text, const char* what) {
    wchar_t* end = nullptr;
    errno = 0;
    long v = std::wcstol(text.c_str(), &end, 0);
    if (text.empty() || *end != L'\0' || errno != 0)
        throw Failure(std::string(what) + " wants a number, got \"" + Utf8(text) + "\"");
    return v;
}

std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring out = L"Z:" + path;
    std::replace(out.begin(), out.end(), L'/', L'\\');
    return out;
}

std::vector<Command> ParseCommands(const std::vector<std::wstring>& words) {
    std::vector<Command> commands;
    Command current;
    bool open = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& w = words[i];
        if (w == L"::") {
            if (!open) throw Failure("empty command before \"::\"");
            commands.push_back(std::move(current));
            current = Command{};
            open = false;
            continue;
        }
        if (!open) {
            current.name = w;
            open = true;
            continue;
        }
        if (w.size() > 2 && w.compare(0, 2, L"--") == 0) {
            if (Contains(kValued, w)) {
                if (i + 1 >= words.size() || words[i + 1] == L"::")
                    throw Failure(Utf8(w) + " wants a value");
                current.options[w] = words[++i];
            } else if (Contains(kFlags, w)) {
                current.flags.push_back(w);
            } else {
                throw Failure("unknown option " + Utf8(w));
            }
            continue;
        }
        current.values.push_back(w);
    }
    if (open) commands.push_back(std::move(current));
    if (commands.empty()) throw Failure("no command given (try: tlx-uidriver help)");
    return commands;
}

}  // namespace uidriver
