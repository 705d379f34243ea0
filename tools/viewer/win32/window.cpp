// The viewer on Windows: a top-level Unicode window titled exactly as the
// trace library looks for it. WM_COPYDATA records (kinds 1 to 3) are copied
// and queued by the handler, which returns at once; a posted message moves
// them into the list afterwards. The list is a virtual list view (it asks
// for the cells it draws), columns kind, time of arrival and text; the texts
// are ANSI and shown through the ANSI code page.
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "tools/viewer/output_file.h"
#include "tools/viewer/record_list.h"
#include "tools/viewer/view_command.h"
#include "trace/trace_forwarding.h"

namespace corvane::viewer {

namespace {

constexpr UINT kTakeArrived = WM_APP + 1;
constexpr wchar_t kClassName[] = L"CorvaneTraceViewer";
constexpr int kBarHeight = 30;

enum Control : int {
  kDetailBox = 101,  // the kind check boxes: kDetailBox - 1 + kind
  kSummaryBox,
  kErrorsBox,
  kFilterEdit,
  kPauseButton,
  kClearButton,
  kSaveButton,
  kCountLabel,
  kList,
};

std::wstring from_ansi(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string to_ansi(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  std::string ansi(WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr),
                   '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), static_cast<int>(ansi.size()),
                      nullptr, nullptr);
  return ansi;
}

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), text.size())));
  return text;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

class ViewerWindow {
 public:
  explicit ViewerWindow(const ViewOptions& options) : options_(options) {}
  ~ViewerWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  int run();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT take(WPARAM wparam, const COPYDATASTRUCT* data);
  void take_arrived();
  void command(int control, int notification);
  void show_records(bool follow);
  void fill_cell(NMLVDISPINFOW* info);
  void create_controls();
  void layout(int width, int height);
  void save();

  HWND add(const wchar_t* type, const wchar_t* text, DWORD style, int id, DWORD ex_style = 0);
  bool checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

  ViewOptions options_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  RecordList records_;
  std::vector<Record> arrived_;  // taken by the handler, not yet in records_
  bool take_posted_ = false;
  std::optional<OutputFile> output_;
  std::wstring cell_;  // the text of the cell the list view asked for last
};

HWND ViewerWindow::add(const wchar_t* type, const wchar_t* text, DWORD style, int id,
                       DWORD ex_style) {
  const HWND control = CreateWindowExW(
      ex_style, type, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return control;
}

void ViewerWindow::create_controls() {
  for (const auto& [id, label] :
       {std::pair{kDetailBox, L"Detail"}, {kSummaryBox, L"Summary"}, {kErrorsBox, L"Errors"}}) {
    add(L"BUTTON", label, WS_TABSTOP | BS_AUTOCHECKBOX, id);
    CheckDlgButton(window_, id, BST_CHECKED);
  }
  add(L"EDIT", from_ansi(options_.filter).c_str(), WS_TABSTOP | ES_AUTOHSCROLL, kFilterEdit,
      WS_EX_CLIENTEDGE);
  add(L"BUTTON", L"Pause", WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE, kPauseButton);
  add(L"BUTTON", L"Clear", WS_TABSTOP | BS_PUSHBUTTON, kClearButton);
  add(L"BUTTON", L"Save...", WS_TABSTOP | BS_PUSHBUTTON, kSaveButton);
  add(L"STATIC", L"", SS_LEFTNOWORDWRAP, kCountLabel);
  list_ = add(WC_LISTVIEWW, L"",
              WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, kList,
              WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  const std::pair<const wchar_t*, int> columns[] = {{L"Kind", 64}, {L"Time", 150}, {L"Text", 900}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(columns[i].first);
    column.cx = columns[i].second;
    SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void ViewerWindow::layout(int width, int height) {
  const struct {
    int id, width;
  } bar[] = {{kDetailBox, 60},   {kSummaryBox, 72},  {kErrorsBox, 60},  {kFilterEdit, 200},
             {kPauseButton, 60}, {kClearButton, 60}, {kSaveButton, 60}, {kCountLabel, 220}};
  int x = 6;
  for (const auto& control : bar) {
    const bool label = control.id == kCountLabel;
    MoveWindow(GetDlgItem(window_, control.id), x, label ? 9 : 4, control.width, 22, TRUE);
    x += control.width + 6;
  }
  MoveWindow(list_, 0, kBarHeight, width, height > kBarHeight ? height - kBarHeight : 0, TRUE);
  ListView_SetColumnWidth(list_, 2, LVSCW_AUTOSIZE_USEHEADER);  // the text takes the rest
}

LRESULT CALLBACK ViewerWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<ViewerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ViewerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->handle(message, wparam, lparam)
                         : DefWindowProcW(window, message, wparam, lparam);
}

LRESULT ViewerWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COPYDATA:
      return take(wparam, reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    case kTakeArrived:
      take_arrived();
      return 0;
    case WM_CREATE:
      create_controls();
      return 0;
    case WM_SIZE:
      layout(LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_COMMAND:
      command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->hwndFrom == list_ && header->code == LVN_GETDISPINFOW)
        fill_cell(reinterpret_cast<NMLVDISPINFOW*>(lparam));
      return 0;
    }
    case WM_DESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wparam, lparam);
  }
}

// The sender waits in SendMessage until this returns: copy, queue, return.
LRESULT ViewerWindow::take(WPARAM, const COPYDATASTRUCT* data) {
  if (data == nullptr || data->dwData < kDetail || data->dwData > kErrors ||
      (data->lpData == nullptr && data->cbData != 0)) {
    return FALSE;
  }
  Record record{static_cast<std::uint32_t>(data->dwData), arrival_time_now(),
                std::string(static_cast<const char*>(data->lpData), data->cbData)};
  if (output_) output_->append(record_line(record));
  arrived_.push_back(std::move(record));
  if (!take_posted_) take_posted_ = PostMessageW(window_, kTakeArrived, 0, 0) != 0;
  return TRUE;
}

void ViewerWindow::take_arrived() {
  take_posted_ = false;
  const int count = ListView_GetItemCount(list_);
  // Follow the newest records while the last one is in view.
  const bool follow = ListView_GetTopIndex(list_) + ListView_GetCountPerPage(list_) >= count;
  for (Record& record : arrived_) records_.add(std::move(record));
  arrived_.clear();
  show_records(follow);
}

void ViewerWindow::show_records(bool follow) {
  const int count = static_cast<int>(records_.shown_count());
  ListView_SetItemCountEx(list_, count, LVSICF_NOSCROLL);
  if (follow && count > 0) ListView_EnsureVisible(list_, count - 1, FALSE);
  std::wstring status = std::to_wstring(count) + L" shown of " + std::to_wstring(records_.size());
  if (records_.paused()) status += L", paused";
  SetDlgItemTextW(window_, kCountLabel, status.c_str());
}

void ViewerWindow::command(int control, int notification) {
  switch (control) {
    case kDetailBox:
    case kSummaryBox:
    case kErrorsBox:
      records_.show_kind(static_cast<std::uint32_t>(control - kDetailBox + 1), checked(control));
      break;
    case kFilterEdit:
      if (notification != EN_CHANGE) return;
      records_.filter_text(to_ansi(window_text(GetDlgItem(window_, kFilterEdit))));
      break;
    case kPauseButton:
      records_.pause(checked(kPauseButton));
      break;
    case kClearButton:
      records_.clear();
      break;
    case kSaveButton:
      save();
      return;
    default:
      return;
  }
  InvalidateRect(list_, nullptr, TRUE);
  show_records(true);
}

void ViewerWindow::fill_cell(NMLVDISPINFOW* info) {
  LVITEMW& item = info->item;
  if ((item.mask & LVIF_TEXT) == 0 || item.iItem < 0 ||
      static_cast<std::size_t>(item.iItem) >= records_.shown_count()) {
    return;
  }
  const Record& record = records_.shown(static_cast<std::size_t>(item.iItem));
  switch (item.iSubItem) {
    case 0:
      cell_ = from_ansi(kind_name(record.kind));
      break;
    case 1:
      cell_ = from_ansi(record.arrived);
      break;
    default:
      // A list view cell shows a tab as a box: the trace's fields are set
      // apart by blanks instead.
      cell_.clear();
      for (const wchar_t c : from_ansi(one_line(record.text))) {
        if (c == L'\t') {
          cell_ += L"   ";
        } else {
          cell_ += c;
        }
      }
      break;
  }
  item.pszText = cell_.data();  // the whole text, not cut to the offered buffer
}

// The records the filters let through, paused ones included, to a file the
// user picks.
void ViewerWindow::save() {
  wchar_t path[MAX_PATH] = L"trace.txt";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return;
  std::ostringstream lines;
  records_.save(lines);
  const std::string text = lines.str();
  const std::unique_ptr<std::FILE, FileCloser> file(_wfopen(path, L"w"));
  const bool written = file &&
                       std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
                       std::fflush(file.get()) == 0;
  if (!written) MessageBoxW(window_, path, L"Cannot write the file", MB_OK | MB_ICONERROR);
}

int ViewerWindow::run() {
  const OleString title(modVBTrace::kTraceViewerTitle);
  if (FindWindowW(nullptr, title.c_str()) != nullptr) {
    std::cerr << "corvane view: a viewer is already running\n";
    return 1;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);
  if (CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      CW_USEDEFAULT, CW_USEDEFAULT, 900, 500, nullptr, nullptr,
                      window_class.hInstance, this) == nullptr) {
    std::cerr << "corvane view: cannot create the window\n";
    return 1;
  }
  if (!options_.filter.empty()) records_.filter_text(options_.filter);
  show_records(true);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  // Opened once the window is there: a file that exists tells scripts that
  // the viewer takes records.
  if (!options_.output.empty()) {
    output_.emplace(options_.output);
    if (!output_->is_open()) {
      std::cerr << "corvane view: cannot write " << options_.output << '\n';
      return 1;
    }
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int run_viewer(const ViewOptions& options) {
  ViewerWindow viewer(options);
  return viewer.run();
}

}  // namespace corvane::viewer
