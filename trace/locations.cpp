#include "trace/locations.h"

#include <algorithm>

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/module_info.h"
#include "platform/text_encoding.h"
#include "trace/error_trap.h"
#include "trace/module_values.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kSystemTimeStampTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.SystemTimeStamp."), OLESTR("modVBTrace.SystemTimeStamp"));
constexpr ErrorTrap kStripNullsTrap =
    errors_log_trap(OLESTR("in Corvane.modVBTrace.StripNulls."), OLESTR("modVBTrace.StripNulls"));
constexpr ErrorTrap kBackwardsInstrTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.lfnBackwardsInstr."), 4097);

}  // namespace

OleStringView process_name_view() {
  std::optional<OleString>& name = module_values().process_name;
  if (!name.has_value()) {
    try {
      name = platform::file_base_name(platform::ModuleInfo::current().own_file_path());
    } catch (...) {
      return OleStringView();  // errors are ignored: the name stays unset
    }
  }
  return *name;
}

OleString sfnProcessName() {
  return OleString(process_name_view());
}

OleString SystemTimeStamp() {
  OleString stamp;
  trapped(kSystemTimeStampTrap, [&] {
    // The pictures "MM-dd-yy" and "HH:mm:ss" hold only two-digit numbers, so
    // the stamp is written digit by digit, followed by the milliseconds.
    const platform::LocalTime now = platform::Clock::current().local_time();
    const unsigned fields[] = {now.month, now.day,    now.year % 100u,
                               now.hour,  now.minute, now.second};
    constexpr OLECHAR kSeparators[] = {u'-', u'-', u' ', u':', u':', u'.'};
    OLECHAR text[21];
    std::size_t at = 0;
    for (std::size_t i = 0; i < 6; ++i) {
      text[at++] = static_cast<OLECHAR>(u'0' + fields[i] / 10 % 10);
      text[at++] = static_cast<OLECHAR>(u'0' + fields[i] % 10);
      text[at++] = kSeparators[i];
    }
    text[at++] = static_cast<OLECHAR>(u'0' + now.milliseconds / 100 % 10);
    text[at++] = static_cast<OLECHAR>(u'0' + now.milliseconds / 10 % 10);
    text[at++] = static_cast<OLECHAR>(u'0' + now.milliseconds % 10);
    stamp.assign(text, at);
  });
  return stamp;
}

OleString StripNulls(OleStringView sText) {
  OleString result;
  trapped(kStripNullsTrap, [&] {
    const std::size_t nul = sText.find(u'\0');
    result = OleString(nul == OleStringView::npos ? sText : sText.substr(0, nul));
  });
  return result;
}

std::int32_t lfnBackwardsInstr(OleStringView sText, OleStringView sTarget,
                               std::int32_t lTailLength) {
  std::int32_t result = 0;
  trapped(kBackwardsInstrTrap, [&] {
    OleStringView tail = sText;
    if (lTailLength >= 0 && static_cast<std::size_t>(lTailLength) < sText.size()) {
      tail = sText.substr(sText.size() - static_cast<std::size_t>(lTailLength));
    }
    OleString reversed(tail.rbegin(), tail.rend());
    const std::size_t found = instr(reversed, sTarget);
    result = found == 0 ? 0 : static_cast<std::int32_t>(found - 1);
  });
  return result;
}

}  // namespace corvane::modVBTrace

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kAppPathTrap = errmsgbox_trap(OLESTR("in Corvane.modVBTrace.AppPath."));
constexpr ErrorTrap kCrashHandlerFileTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.CrashHandlerFile."));
constexpr ErrorTrap kAppNameTrap = errmsgbox_trap(OLESTR("in Corvane.modVBTrace.AppName."));
constexpr ErrorTrap kWindowTextTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.sfnWindowText."));
constexpr ErrorTrap kUseQuillonAppPathTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.UseQuillonAppPath."), OLESTR("modVBTrace.UseQuillonAppPath"));
constexpr ErrorTrap kIsQuillonModuleTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.IsQuillonModule."), OLESTR("modVBTrace.IsQuillonModule"));
constexpr ErrorTrap kInQuillonDevEnvTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.InQuillonDevEnv."), OLESTR("modVBTrace.InQuillonDevEnv"));
constexpr ErrorTrap kGetQuillonModulePathTrap =
    errors_log_trap(OLESTR("in Corvane.modVBTrace.GetQuillonModulePath."),
                    OLESTR("modVBTrace.GetQuillonModulePath"));
constexpr ErrorTrap kQuillonPathValTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.QuillonPathVal."), OLESTR("modVBTrace.QuillonPathVal"));
constexpr ErrorTrap kModulePathTrap =
    errors_log_trap(OLESTR("in Corvane.modVBTrace.ModulePath."), OLESTR("modVBTrace.ModulePath"));

// One field of sequential input (the runtime's Input #): leading blanks
// skipped; a quoted field up to its closing quote; otherwise up to a comma or
// the end of the line.
OleString first_input_field(OleStringView text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  if (i < text.size() && text[i] == u'"') {
    const std::size_t close = text.find(u'"', i + 1);
    return OleString(
        text.substr(i + 1, close == OleStringView::npos ? OleStringView::npos : close - i - 1));
  }
  const std::size_t end = text.find_first_of(OLESTR(",\r\n"), i);
  return OleString(text.substr(i, end == OleStringView::npos ? OleStringView::npos : end - i));
}

}  // namespace

OleString component_folder() {
  return platform::file_folder(platform::ModuleInfo::current().own_file_path());
}

OleString AppPath() {
  OleString result;
  trapped(kAppPathTrap, [&] {
    std::optional<OleString>& cache = module_values().app_path;
    if (!cache) {
      if (UseQuillonAppPath()) {
        cache = sfnQuillonDataFolder();  // stored before the test: it runs once
        if (!platform::Files::current().exists(*cache, platform::kFolder))
          CreateQuillonDataFolders();
      } else {
        cache = component_folder();
      }
    }
    result = *cache;
  });
  return result;
}

OleString sfnQuillonDataFolder() {
  return sfnAppDataFolder() + OLESTR("\\Marrowind\\QuillonMTV10");
}

void CreateQuillonDataFolders() {
  try {
    const OleString base = sfnAppDataFolder();
    platform::Files::current().create_directory(base + OLESTR("\\Marrowind"));
    platform::Files::current().create_directory(base + OLESTR("\\Marrowind\\QuillonMTV10"));
  } catch (...) {
    // every error ignored
  }
}

OleString sfnAppDataFolder() {
  // The folder is read into a buffer of 260 characters: a longer path (which
  // Windows cannot name there, but other systems can) is no folder at all,
  // never the part of it that fits.
  constexpr std::size_t kFolderBuffer = 260;
  try {
    OleString folder =
        platform::Environment::current().roaming_app_data_folder().value_or(OleString());
    return folder.size() < kFolderBuffer ? folder : OleString();
  } catch (...) {
    return OleString();  // errors are ignored from the folder call on
  }
}

bool UseQuillonAppPath() {
  bool result = false;
  trapped(kUseQuillonAppPathTrap, [&] {
    std::optional<bool>& flag = module_values().use_quillon_app_path;
    if (!flag) {
      const bool module = IsQuillonModule();
      const bool dev_env = InQuillonDevEnv();  // both run on the first call
      flag = module || dev_env;
    }
    result = *flag;
  });
  return result;
}

bool IsQuillonModule() {
  bool result = false;
  trapped(kIsQuillonModuleTrap, [&] {
    result = platform::Files::current().exists(component_folder() + OLESTR("\\QuillonMT.exe"),
                                               platform::kNormalFile);
  });
  return result;
}

bool InQuillonDevEnv() {
  bool result = false;
  trapped(kInQuillonDevEnvTrap, [&] {
    platform::Environment& environment = platform::Environment::current();
    bool existed = false;
    const std::intptr_t event = environment.create_event(OLESTR("MarrowindDevEnvHandle"), &existed);
    if (event != 0) {
      result = existed;
      environment.close_event(event);
    }
  });
  return result;
}

OleString ModulePath() {
  OleString result;
  trapped(kModulePathTrap, [&] {
    std::optional<OleString>& cache = module_values().module_path;
    if (!cache) cache = UseQuillonAppPath() ? GetQuillonModulePath() : component_folder();
    result = *cache;
  });
  return result;
}

OleString GetQuillonModulePath() {
  OleString result;
  trapped(kGetQuillonModulePathTrap, [&] {
    result = QuillonPathVal();
    if (result.empty()) result = component_folder();
  });
  return result;
}

OleString QuillonPathVal() {
  OleString result;
  trapped(kQuillonPathValTrap, [&] {
    const std::optional<std::string> text =
        platform::Files::current().read_all(AppPath() + OLESTR("\\ModulePath.txt"));
    if (!text) throw AutomationError(vb_error::kFileNotFound);
    result = first_input_field(platform::from_ansi(*text));
  });
  return result;
}

OleString CrashHandlerFile() {
  OleString result;
  trapped(kCrashHandlerFileTrap, [&] { result = AppPath() + OLESTR("\\CrashHandler.txt"); });
  return result;
}

OleString AppName() {
  OleString result;
  trapped(kAppNameTrap, [&] {
    std::optional<OleString>& name = module_values().app_name;
    if (!name) name = OleString(OLESTR("Quillon"));
    result = *name;
  });
  return result;
}

OleString sfnStripScribePrefix(OleStringView sText) {
  const std::size_t start = instr(sText, kServerExceptionPrefix, 1, CompareMode::kText);
  if (start == 0) return OleString(sText);
  const std::size_t colon =
      instr(sText, OLESTR(":"), start + kServerExceptionPrefix.size(), CompareMode::kText);
  const OleString remove(colon != 0 ? sText.substr(start - 1, colon - start + 1)
                                    : kServerExceptionPrefix);
  OleString result;
  for (std::size_t at = 0;;) {
    const std::size_t found = sText.find(remove, at);
    if (found == OleStringView::npos) {
      result += sText.substr(at);
      return result;
    }
    result += sText.substr(at, found - at);
    at = found + remove.size();
  }
}

OleString sfnWindowText(std::intptr_t hWnd) {
  OleString result;
  trapped(kWindowTextTrap, [&] {
    constexpr int kTitleBuffer = 80;  // a title is cut at 79 characters
    OleString title = platform::Environment::current().window_text(hWnd, kTitleBuffer);
    if (title.size() >= kTitleBuffer) title.resize(kTitleBuffer - 1);
    result = title.empty() ? OleString(OLESTR("***NONE")) : title;
  });
  return result;
}

}  // namespace corvane::modVBTrace
