#include "sim/http.h"

#include <algorithm>

namespace tlx::sim {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        default:
            return "Error";
    }
}

HttpResponse Page(int status, std::string_view title, std::string_view body_html) {
    std::string body = "<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\"><title>" +
                       HtmlEscape(title) + "</title></head>\n<body>\n<h1>" + HtmlEscape(title) +
                       "</h1>\n" + std::string(body_html) + "</body></html>\n";
    HttpResponse r;
    r.status = status;
    r.bytes = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
              "\r\nContent-Type: text/html; charset=windows-1252\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\nCache-Control: no-store\r\nConnection: close\r\n";
    if (status == 405) r.bytes += "Allow: GET\r\n";
    r.bytes += "\r\n" + body;
    return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto low = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return low(x) == low(y);
           });
}

std::string ShopPage(const ShopState& shop) {
    std::string html;
    for (const auto& booth : shop.booths()) {
        html += "<h2>Booth " + HtmlEscape(booth.key) + "</h2>\n";
        if (booth.calls.empty()) {
            html += "<p>No calls.</p>\n";
            continue;
        }
        html +=
            "<table border=\"1\"><tr><th>Destination</th><th>Description</th><th>Rate</th>"
            "<th>State</th><th>Duration</th><th>Cost</th></tr>\n";
        for (const auto& c : booth.calls) {
            const bool done = c.state == "Finished";
            html += "<tr><td>" + HtmlEscape(c.destination) + "</td><td>" +
                    HtmlEscape(c.description) + "</td><td>" + HtmlEscape(c.rate) + "</td><td>" +
                    c.state + "</td><td>" + (done ? std::to_string(c.seconds) + " s" : "") +
                    "</td><td>" + (done ? HtmlEscape(c.cost) : "") + "</td></tr>\n";
        }
        html += "</table>\n";
    }
    return html;
}

}  // namespace

HeadStatus CheckRequestHead(std::string_view buffer) {
    const auto end = buffer.find("\r\n\r\n");
    const auto end_lf = buffer.find("\n\n");
    const auto found = std::min(end, end_lf);
    if (found != std::string_view::npos && found < kMaxRequestHead) return HeadStatus::kComplete;
    return buffer.size() >= kMaxRequestHead ? HeadStatus::kTooLarge : HeadStatus::kIncomplete;
}

std::optional<HttpRequest> ParseRequestLine(std::string_view head) {
    std::string_view line = head.substr(0, head.find('\n'));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto sp1 = line.find(' ');
    const auto sp2 = line.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 == sp1) return std::nullopt;
    HttpRequest r;
    r.line = std::string(line);
    r.method = std::string(line.substr(0, sp1));
    r.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    r.version = std::string(line.substr(sp2 + 1));
    if (r.method.empty() || r.target.empty() || r.version.rfind("HTTP/", 0) != 0)
        return std::nullopt;
    return r;
}

std::map<std::string, std::string> ParseQuery(std::string_view query) {
    std::map<std::string, std::string> out;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const auto eq = pair.find('=');
        std::string name = PercentDecode(pair.substr(0, eq));
        std::string value = eq == std::string_view::npos ? "" : PercentDecode(pair.substr(eq + 1));
        out.try_emplace(std::move(name), std::move(value));  // the first one counts
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return out;
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

HttpResponse BadRequest(std::string_view why) {
    return Page(400, "Bad request", "<p>" + HtmlEscape(why) + "</p>\n");
}

HttpResponse HandleRequest(const HttpRequest& request, const std::vector<Account>& accounts,
                           const ShopDirectory& shops) {
    if (request.method != "GET")
        return Page(405, "Method not allowed", "<p>Only GET is served here.</p>\n");
    std::string_view target = request.target;
    // An absolute form "http://host/path" names the same page.
    if (target.rfind("http://", 0) == 0) {
        const auto slash = target.find('/', 7);
        target = slash == std::string_view::npos ? "/" : target.substr(slash);
    }
    const auto q = target.find('?');
    const std::string_view path = target.substr(0, q);
    const std::string_view query = q == std::string_view::npos ? "" : target.substr(q + 1);
    if (!EqualsNoCase(path, "/Login.aspx"))
        return Page(404, "Not found",
                    "<p>The call shop page is /Login.aspx?login=...&amp;password=...</p>\n");
    const auto fields = ParseQuery(query);
    const auto login = fields.find("login");
    const auto password = fields.find("password");
    const Account* account = nullptr;
    if (login != fields.end() && password != fields.end())
        for (const auto& a : accounts)
            if (a.user == login->second && a.password == password->second) account = &a;
    if (!account)
        return Page(403, "Login incorrect",
                    "<p>The user name or the password is wrong, so the call shop cannot be "
                    "shown.</p>\n");
    const ShopState* shop = shops.ShopOf(account->user);
    return Page(200, "Call shop of " + account->user,
                shop ? ShopPage(*shop) : std::string("<p>No booths.</p>\n"));
}

}  // namespace tlx::sim
