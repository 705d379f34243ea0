#include "tools/report/html_page.h"

#include <map>

#include "tools/report/html_text.h"
#include "tools/report/report_template.h"
#include "tools/report/svg_charts.h"

namespace corvane::report {

namespace {

std::string plural(int n, const std::string& word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string time_text(const std::optional<LogTime>& t) {
  return t ? t->text() : "?";
}

// Lets the browser break a long source after each dot.
std::string with_breaks(std::string html) {
  for (std::size_t at = html.find('.'); at != std::string::npos; at = html.find('.', at + 6))
    html.insert(at + 1, "<wbr>");
  return html;
}

std::string severity_badge(int severity) {
  const std::string text = severity == 0 ? "?" : std::to_string(severity);
  return "<span class=\"sev sev" + text + "\">" + text + "</span>";
}

std::string group_rows(const Report& r) {
  if (r.groups.empty()) return "<p class=\"none\">No error records.</p>";
  std::string html =
      "<table id=\"groups\"><thead><tr><th>Severity</th><th>Source</th><th>Error</th>"
      "<th>Count</th><th>First</th><th>Last</th><th>Description and records</th></tr></thead>"
      "<tbody>";
  for (const ErrorGroup& g : r.groups) {
    std::string severities, badges;
    for (const int s : g.severities) {
      severities += (severities.empty() ? "" : " ") + std::to_string(s);
      badges += severity_badge(s);
    }
    const std::string& description = g.records.front()->description;
    html +=
        "<tr class=\"group\" data-severities=\"" + severities + "\" data-count=\"" +
        std::to_string(g.count) + "\" data-source=\"" + html_escape(g.source) +
        "\" data-number=\"" + html_escape(g.number) + "\"><td>" + badges + "</td><td class=\"s\">" +
        with_breaks(html_escape(g.source)) + "</td><td class=\"n\">" + html_escape(g.number) +
        "</td><td class=\"n\">" + std::to_string(g.count) + "</td><td class=\"t\">" +
        time_text(g.first) + "</td><td class=\"t\">" + time_text(g.last) +
        "</td><td class=\"d\"><details><summary>" +
        (description.empty() ? "(no description)" : html_escape(description)) +
        (g.cut > 0 ? " <span class=\"cut\">" + std::to_string(g.cut) + " cut short</span>" : "") +
        "</summary>";
    for (const ErrorEntry* e : g.records) {
      html += "<pre" + std::string(e->cut ? " class=\"record cut-record\"" : " class=\"record\"") +
              " title=\"" + html_escape(e->file) + "\">" + html_escape(e->text) +
              (e->cut ? "\n<span class=\"cut\">[record cut short]</span>" : "") + "</pre>";
    }
    html += "</details></td></tr>";
  }
  return html + "</tbody></table>";
}

std::string severity_options(const Report& r) {
  std::map<int, int> seen;
  for (const ErrorEntry& e : r.entries) seen[e.severity_number()] += e.count_number();
  std::string html;
  for (const auto& [s, n] : seen) {
    html += "<option value=\"" + std::to_string(s) + "\">" + (s == 0 ? "?" : std::to_string(s)) +
            " (" + std::to_string(n) + ")</option>";
  }
  return html;
}

std::string stats_table(const Report& r) {
  if (!r.files.session_ini) return "<p class=\"none\">No Session.ini found.</p>";
  std::string html = "<table class=\"stats\"><tbody>", empty;
  for (const SessionStat& s : r.stats) {
    if (s.value.empty()) {
      empty += (empty.empty() ? "" : ", ") + html_escape(s.name);
    } else {
      html += "<tr><th>" + html_escape(s.name) + "</th><td>" + html_escape(s.value) + "</td></tr>";
    }
  }
  html += "</tbody></table>";
  return empty.empty() ? html : html + "<p class=\"none\">Not recorded: " + empty + ".</p>";
}

std::string files_list(const Report& r) {
  std::string html = "<ul>";
  auto item = [&](const std::filesystem::path& p, const char* kind) {
    html += "<li>" + html_escape(p.string()) + " (" + kind + ")</li>";
  };
  for (const auto& p : r.files.error_tables) item(p, "error table");
  for (const auto& p : r.files.summary_logs) item(p, "summary log");
  if (r.files.session_ini) item(*r.files.session_ini, "session statistics");
  if (html == "<ul>") return "<p class=\"none\">No log files found.</p>";
  return html + "</ul>";
}

// The template with "{{name}}" replaced by each value; a placeholder may occur
// more than once.
std::string fill(std::string_view page, const std::map<std::string, std::string>& values) {
  std::string out;
  for (std::size_t at = 0; at < page.size();) {
    const std::size_t open = page.find("{{", at);
    const std::size_t close = open == std::string_view::npos ? open : page.find("}}", open);
    const auto value = close == std::string_view::npos
                           ? values.end()
                           : values.find(std::string(page.substr(open + 2, close - open - 2)));
    if (value == values.end()) {
      const std::size_t stop = open == std::string_view::npos ? page.size() : open + 2;
      out.append(page.substr(at, stop - at));
      at = stop;
    } else {
      out.append(page.substr(at, open - at));
      out += value->second;
      at = close + 2;
    }
  }
  return out;
}

}  // namespace

std::string summary_sentence(const Report& r) {
  if (r.entries.empty() && !r.first) return "No errors recorded.";
  std::string text = plural(r.errors, "error") + ", " + std::to_string(r.severity1) +
                     " of severity 1, from " + time_text(r.first) + " to " + time_text(r.last);
  if (r.cut > 0) text += " (" + plural(r.cut, "record") + " cut short)";
  return text + ".";
}

std::string render_page(const Report& r, const std::string& folder) {
  std::vector<LogTime> records, summary;
  for (const ErrorEntry& e : r.entries) {
    if (e.time) records.push_back(*e.time);
  }
  for (const SummaryLine& s : r.summary) {
    if (s.error) summary.push_back(s.time);
  }
  return fill(kReportTemplate, {{"title", "Corvane log report"},
                                {"folder", html_escape(folder)},
                                {"summary", html_escape(summary_sentence(r))},
                                {"severity_options", severity_options(r)},
                                {"groups", group_rows(r)},
                                {"timeline", timeline_svg(records, summary)},
                                {"stats_chart", stats_svg(r.stats)},
                                {"stats_table", stats_table(r)},
                                {"files", files_list(r)}});
}

}  // namespace corvane::report
