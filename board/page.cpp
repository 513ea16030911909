#include "board/page.h"

#include "board/round.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

std::string ReplayPath(int64_t id) { return "/replays/" + std::to_string(id) + ".replay"; }

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
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

} // namespace

std::string BoardJson(const std::vector<Place>& board, int limit, std::size_t around) {
    std::size_t first = 0;
    if (around < board.size()) first = around - std::min<std::size_t>(around, std::size_t(limit / 2));
    const std::size_t end = std::min(board.size(), first + std::size_t(limit));
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (std::size_t i = first; i < end; ++i) {
        const Place& p = board[i];
        entries.push_back({{"rank", i + 1},
                           {"name", p.name},
                           {"score", p.score},
                           {"date", p.date},
                           {"replay", ReplayPath(p.replayId)}});
    }
    // Names are checked UTF-8 when they come in; replace keeps a bad byte from ending an answer.
    return nlohmann::ordered_json{{"entries", entries}}.dump(-1, ' ', false,
                                                             nlohmann::json::error_handler_t::replace);
}

std::string BoardPage(const BoardSnapshot& boards, int limitPerBoard) {
    static const char* const periodTitles[] = {"All time", "This week", "Today"};
    std::string page = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Spindrift: world scores</title>
<style>
body { font-family: sans-serif; background: #10121c; color: #e8e8f0; margin: 2em auto; max-width: 70em; padding: 0 1em; }
h1 { color: #ffd23c; } h2 { border-bottom: 1px solid #444; padding-bottom: .2em; }
.boards { display: flex; flex-wrap: wrap; gap: 2em; }
table { border-collapse: collapse; min-width: 18em; } caption { text-align: left; font-weight: bold; padding: .3em 0; }
td, th { padding: .2em .6em; text-align: left; } td.n { text-align: right; } tr:nth-child(even) { background: #1a1d2b; }
a { color: #8cc8ff; } .none { color: #888; }
</style>
</head>
<body>
<h1>Spindrift: world scores</h1>
<p>Every round here was played again on the server, from its replay, before it was ranked. Weeks start on Monday; days and weeks are in UTC.</p>
)";
    for (int d = 1; d <= 3; ++d) {
        std::string title = DifficultyName(d);
        title[0] = char(title[0] - 'a' + 'A');
        page +=
            "<h2 id=\"" + std::string(DifficultyName(d)) + "\">" + title + "</h2>\n<div class=\"boards\">\n";
        for (int period = 0; period < PeriodCount; ++period) {
            const std::vector<Place>& board = boards.boards[d - 1][period]->places;
            page += "<table>\n<caption>" + std::string(periodTitles[period]) + "</caption>\n";
            page += "<tr><th>Rank</th><th>Name</th><th>Score</th><th>Date</th><th>Replay</th></tr>\n";
            const std::size_t shown = std::min(board.size(), std::size_t(limitPerBoard));
            for (std::size_t i = 0; i < shown; ++i) {
                const Place& p = board[i];
                page += "<tr><td class=\"n\">" + std::to_string(i + 1) + "</td><td>" + Escaped(p.name) +
                        "</td><td class=\"n\">" + std::to_string(p.score) + "</td><td>" +
                        p.date.substr(0, 10) + "</td><td><a href=\"" + ReplayPath(p.replayId) +
                        "\">replay</a></td></tr>\n";
            }
            if (shown == 0) page += "<tr><td colspan=\"5\" class=\"none\">No rounds yet.</td></tr>\n";
            page += "</table>\n";
        }
        page += "</div>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}
