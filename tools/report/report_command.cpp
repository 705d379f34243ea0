#include "tools/report/report_command.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "tools/report/html_page.h"
#include "tools/report/model.h"

namespace corvane::report {

namespace fs = std::filesystem;

int report_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string folder, output;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "-o" || args[i] == "--output") && i + 1 < args.size()) {
      output = args[++i];
    } else if (folder.empty() && !args[i].empty() && args[i][0] != '-') {
      folder = args[i];
    } else {
      err << "corvane report: bad arguments\nusage: corvane report LOGDIR [-o FILE]\n";
      return 2;
    }
  }
  if (folder.empty()) {
    err << "corvane report: no log folder\nusage: corvane report LOGDIR [-o FILE]\n";
    return 2;
  }
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    err << "corvane report: no such folder: " << folder << '\n';
    return 1;
  }
  const Report report = build_report(folder);
  const fs::path page = output.empty() ? fs::path(folder) / "report.html" : fs::path(output);
  {
    std::ofstream file(page, std::ios::binary | std::ios::trunc);
    file << render_page(report, fs::absolute(folder, ec).string());
    if (!file.flush()) {
      err << "corvane report: cannot write " << page.string() << '\n';
      return 1;
    }
  }
  out << summary_sentence(report) << '\n' << "report written to " << page.string() << '\n';
  return 0;
}

}  // namespace corvane::report
