#include "win32/main_frame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <span>

#include "app/layout.h"
#include "app/list_menu.h"
#include "app/messages.h"
#include "app/row_cells.h"
#include "app/themes.h"
#include "base/charset.h"
#include "base/platform.h"
#include "win32/drop_target.h"

namespace quorvex::win32 {

namespace {

constexpr wchar_t kClassName[] = L"QuorvexMainWindow";
constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT_PTR kRefreshTimer = 1;
// The hint line's colours: a pale yellow that reads as "something to do" in every theme.
constexpr COLORREF kHintBackground = RGB(0xff, 0xf4, 0xce);
constexpr COLORREF kHintText = RGB(0x3b, 0x2f, 0x00);
constexpr COLORREF kEmptyText = RGB(0x80, 0x80, 0x80);
constexpr int kReorderPauseMs = 1000;

std::wstring w(const std::string& utf8) { return utf8_to_wide(utf8); }
std::wstring w(const char* utf8) { return utf8_to_wide(utf8); }
COLORREF colour(Rgb c) { return RGB(c.r, c.g, c.b); }
COLORREF colour(const char* hex) { return colour(colour_of(hex)); }

std::wstring window_text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The first face of the list the system has.
std::wstring installed_face(std::span<const char* const> families) {
  HDC dc = GetDC(nullptr);
  std::wstring found;
  for (const char* family : families) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = w(family);
    wcsncpy(wanted.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    bool present = false;
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) -> int {
          *reinterpret_cast<bool*>(seen) = true;
          return 0;
        },
        reinterpret_cast<LPARAM>(&present), 0);
    if (present) {
      found = name;
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  return found;
}

// The key of a list-menu entry as the menu writes it.
const wchar_t* key_name(Key key) {
  switch (key) {
    case Key::copy:
      return L"Ctrl+C";
    case Key::paste:
      return L"Ctrl+V";
    case Key::open:
      return L"Ctrl+O";
    case Key::find:
      return L"Ctrl+F";
    case Key::delete_key:
      return L"Del";
    case Key::enter:
      return L"Enter";
    case Key::ctrl_e:
      return L"Ctrl+E";
    case Key::none:
      break;
  }
  return nullptr;
}

bool matches(Key key, WPARAM vk, bool ctrl) {
  switch (key) {
    case Key::copy:
      return ctrl && vk == 'C';
    case Key::paste:
      return ctrl && vk == 'V';
    case Key::open:
      return ctrl && vk == 'O';
    case Key::find:
      return ctrl && vk == 'F';
    case Key::delete_key:
      return !ctrl && vk == VK_DELETE;
    case Key::enter:
      return !ctrl && vk == VK_RETURN;
    case Key::ctrl_e:
      return ctrl && vk == 'E';
    case Key::none:
      break;
  }
  return false;
}

bool matches(GroupKey key, WPARAM vk, bool ctrl) {
  switch (key) {
    case GroupKey::f5:
      return !ctrl && vk == VK_F5;
    case GroupKey::ctrl_r:
      return ctrl && vk == 'R';
    case GroupKey::ctrl_i:
      return ctrl && vk == 'I';
    case GroupKey::ctrl_s:
      return ctrl && vk == 'S';
    case GroupKey::ctrl_t:
      return ctrl && vk == 'T';
    case GroupKey::ctrl_e:
      return ctrl && vk == 'E';
    case GroupKey::none:
      break;
  }
  return false;
}

}  // namespace

void register_window_class() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = MainFrame::window_proc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hIcon = LoadIconW(c.hInstance, MAKEINTRESOURCEW(1));
    c.hIconSm = static_cast<HICON>(LoadImageW(c.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = kClassName;
    return RegisterClassExW(&c) != 0;
  }();
  (void)registered;
}

MainFrame::MainFrame(AppPlaces places, Desktop desktop, CheckRunConfig runs)
    : desktop_(std::move(desktop)) {
  register_window_class();
  app_ = std::make_unique<MainPresenter>(*this, std::move(places), std::move(runs));
  table_ = app_->session()->table();
  // The design's place and size until the settings say otherwise.
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_LAYERED | WS_EX_CONTROLPARENT;
  hwnd_ = CreateWindowExW(ex_style, kClassName, w(msg::kWindowTitle).c_str(), style, 50, 50,
                          kDesignWidth, kDesignHeight, nullptr, nullptr, GetModuleHandleW(nullptr),
                          this);
  if (!hwnd_) return;
  dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
  RECT frame{0, 0, px(kDesignWidth), px(kDesignHeight)};
  AdjustWindowRectExForDpi(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi_));
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetLayeredWindowAttributes(hwnd_, 0, 230, LWA_ALPHA);
  post_target_ = hwnd_;
  make_fonts();
  show_theme(kStartupTheme, {});
  create_controls();
  lay_out();
  app_->start();
  SetTimer(hwnd_, kRefreshTimer, 30, nullptr);
}

MainFrame::~MainFrame() {
  *alive_ = false;
  app_.reset();
  workers_.join_all(std::chrono::steady_clock::now() + std::chrono::seconds(10));
  if (hwnd_) DestroyWindow(hwnd_);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(list_font_), static_cast<HGDIOBJ>(bold_font_),
                    static_cast<HGDIOBJ>(group_font_), static_cast<HGDIOBJ>(window_brush_),
                    static_cast<HGDIOBJ>(surface_brush_), static_cast<HGDIOBJ>(hint_brush_)})
    if (o) DeleteObject(o);
}

HWND MainFrame::control(int id) const {
  if (id == kListId) return list_;
  if (id >= kGroupBase && id < kGroupBase + static_cast<int>(kGroupControlCount))
    return controls_[id - kGroupBase];
  switch (id) {
    case kCreditId:
      return credit_;
    case kStatusBarId:
      return status_bar_;
    case kProgressId:
      return progress_;
    case kFilterLabelId:
      return filter_label_;
    case kFilterId:
      return filter_box_;
    case kHintTextId:
      return hint_text_;
    case kHintButtonId:
      return hint_button_;
    default:
      return nullptr;
  }
}

void MainFrame::make_fonts() {
  static const std::wstring list_face = installed_face(kListFontFamilies);
  static const std::wstring group_face = installed_face(kGroupFontFamilies);
  for (HFONT* f : {&list_font_, &bold_font_, &group_font_})
    if (*f) DeleteObject(*f);
  const auto font = [&](const std::wstring& face, int pixels, int weight, BYTE charset) {
    return CreateFontW(-px(pixels), 0, 0, 0, weight, FALSE, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  };
  list_font_ = font(list_face, kListFontPixels, FW_NORMAL, DEFAULT_CHARSET);
  bold_font_ = font(list_face, kListFontPixels, FW_BOLD, DEFAULT_CHARSET);
  group_font_ = font(group_face, kGroupFontPixels, FW_NORMAL, GB2312_CHARSET);
}

void MainFrame::create_controls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto make = [&](const wchar_t* kind, const std::wstring& text, DWORD style, int id,
                        HWND parent = nullptr, DWORD ex_style = 0) {
    HWND c = CreateWindowExW(ex_style, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10,
                             10, parent ? parent : hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(list_font_), FALSE);
    return c;
  };
  list_ = make(WC_LISTVIEWW, L"",
               WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_BORDER, kListId);
  SetWindowTextW(list_, w(kListName).c_str());
  ListView_SetExtendedListViewStyle(
      list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_HEADERDRAGDROP);
  header_ = ListView_GetHeader(list_);
  for (int c = 0; c < 6; ++c) {
    const std::wstring caption = w(msg::kColumnHeaders[c]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = c == kColumnStatus ? LVCFMT_CENTER : LVCFMT_LEFT;
    column.cx = c < 5 ? px(kDesignColumns[static_cast<std::size_t>(c)]) : 0;
    column.pszText = const_cast<wchar_t*>(caption.c_str());
    column.iSubItem = c;
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                 reinterpret_cast<LPARAM>(&column));
  }
  SetWindowSubclass(list_, list_proc, 1, reinterpret_cast<DWORD_PTR>(this));
  DragAcceptFiles(list_, TRUE);
  drop_target_ = attach_drop_target(
      list_, [this](const std::vector<std::string>& files, const std::optional<std::string>& text) {
        if (!files.empty())
          app_->load_dropped_files(files);
        else if (text)
          app_->load_text(*text);
      });

  for (int i = 0; i < kGroupControlCount; ++i) {
    const GroupControl& c = kGroupControls[i];
    const std::wstring caption = w(c.caption);
    HWND h;
    if (i == kSingleColumnBox) {
      h = make(L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, kGroupBase + i);
      // A check box in the system's visual style draws its caption in the style's colour, black
      // on a dark theme's group; drawn plainly it takes the theme's from WM_CTLCOLORSTATIC.
      SetWindowTheme(h, L"", L"");
    } else if (i == kThreadsLabel)
      h = make(L"STATIC", caption, SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kGroupBase + i);
    else if (i == kThreadsField)
      h = make(L"EDIT", caption, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, kGroupBase + i);
    else
      h = make(L"BUTTON", caption, WS_TABSTOP | BS_OWNERDRAW, kGroupBase + i);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(group_font_), FALSE);
    controls_[i] = h;
  }
  credit_ = make(L"STATIC", w(msg::kCredit), SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kCreditId);
  SendMessageW(credit_, WM_SETFONT, reinterpret_cast<WPARAM>(group_font_), FALSE);

  status_bar_ =
      make(STATUSCLASSNAMEW, L"", CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | SBARS_TOOLTIPS,
           kStatusBarId);
  SetWindowSubclass(status_bar_, status_proc, 1, reinterpret_cast<DWORD_PTR>(this));
  progress_ = make(PROGRESS_CLASSW, L"", 0, kProgressId, status_bar_);
  ShowWindow(progress_, SW_HIDE);
  filter_label_ = make(L"STATIC", w(msg::kFilterLabel), SS_RIGHT | SS_NOPREFIX | SS_CENTERIMAGE,
                       kFilterLabelId, status_bar_);
  filter_box_ =
      make(WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, kFilterId, status_bar_);
  const auto add_filter = [&](const char* caption, VerdictFilter f) {
    const auto at =
        SendMessageW(filter_box_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w(caption).c_str()));
    SendMessageW(filter_box_, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(f));
  };
  add_filter(msg::kFilterAll, VerdictFilter::all);
  add_filter(msg::kFilterValid, VerdictFilter::valid);
  add_filter(msg::kFilterInvalid, VerdictFilter::invalid);
  add_filter(msg::kFilterUnknown, VerdictFilter::unknown);
  add_filter(msg::kFilterUnchecked, VerdictFilter::unchecked);
  for (const ShareService service : all_services())
    add_filter(msg::kServiceNames[service_index(service)], service_filter(service));
  SendMessageW(filter_box_, CB_SETCURSEL, 0, 0);

  hint_text_ = make(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kHintTextId);
  hint_button_ = make(L"BUTTON", w(msg::kHintButton), WS_TABSTOP | BS_OWNERDRAW, kHintButtonId);
  SendMessageW(hint_button_, WM_SETFONT, reinterpret_cast<WPARAM>(group_font_), FALSE);
  ShowWindow(hint_text_, SW_HIDE);
  ShowWindow(hint_button_, SW_HIDE);

  // Tooltips of the group's buttons and of the filter.
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                              0, 0, 0, hwnd_, nullptr, instance, nullptr);
  const auto add_tip = [&](HWND control, const char* text) {
    if (!text) return;
    std::wstring wide = w(text);
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = wide.data();
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  };
  for (int i = 0; i < kGroupControlCount; ++i) add_tip(controls_[i], kGroupControls[i].tip);
  add_tip(filter_box_, msg::kFilterTip);
  add_tip(hint_button_, kGroupControls[kExtractButton].tip);
  SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, px(400));
}

void MainFrame::set_place(HWND control, const Rect& r) {
  SetWindowPos(control, nullptr, px(r.x), px(r.y), px(r.width), px(r.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainFrame::lay_out() {
  if (!list_) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  SIZE credit{};
  HDC dc = GetDC(credit_);
  const HGDIOBJ old = SelectObject(dc, group_font_);
  const std::wstring credit_text = w(msg::kCredit);
  GetTextExtentPoint32W(dc, credit_text.c_str(), static_cast<int>(credit_text.size()), &credit);
  SelectObject(dc, old);
  ReleaseDC(credit_, dc);
  const MainLayout l = main_layout(logical(client.right), logical(client.bottom),
                                   logical(credit.cx) + 2, logical(credit.cy) + 2, hint_shown_);
  hint_rect_ = l.hint;
  if (hint_shown_) {
    const int button_width = 80;
    set_place(hint_text_,
              {l.hint.x + 6, l.hint.y + 2, l.hint.width - button_width - 16, l.hint.height - 4});
    set_place(hint_button_, {l.hint.x + l.hint.width - button_width - 4,
                             l.hint.y + (l.hint.height - 24) / 2, button_width, 24});
  }
  set_place(list_, l.list);
  group_rect_ = l.group;
  for (int i = 0; i < kGroupControlCount; ++i) {
    const Rect& c = l.controls[static_cast<std::size_t>(i)];
    set_place(controls_[i], {l.group.x + c.x, l.group.y + c.y, c.width, c.height});
  }
  ShowWindow(credit_, l.credit.width > 0 ? SW_SHOWNA : SW_HIDE);
  set_place(credit_,
            {l.group.x + l.credit.x, l.group.y + l.credit.y, l.credit.width, l.credit.height});
  set_place(status_bar_, l.status);
  place_status_parts();
  InvalidateRect(hwnd_, nullptr, TRUE);
  app_->list_resized(l.list.width);
}

void MainFrame::place_status_parts() {
  RECT bar;
  GetClientRect(status_bar_, &bar);
  const int filter_width = px(110), label_width = px(40), progress_width = px(72);
  const int parts[] = {std::max(1, static_cast<int>(bar.right) - filter_width - label_width -
                                       progress_width - px(16)),
                       static_cast<int>(bar.right) - filter_width - label_width - px(8), -1};
  SendMessageW(status_bar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
  SendMessageW(status_bar_, SB_SETTEXTW, 0 | SBT_NOBORDERS,
               reinterpret_cast<LPARAM>(status_text_.c_str()));
  SendMessageW(status_bar_, SB_SETTEXTW, 1 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(L""));
  SendMessageW(status_bar_, SB_SETTEXTW, 2 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(L""));
  const int height = bar.bottom;
  SetWindowPos(progress_, nullptr, parts[0] + px(4), (height - px(14)) / 2, progress_width, px(14),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(filter_label_, nullptr, parts[1], 0, label_width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(filter_box_, nullptr, parts[1] + label_width + px(2), 0, filter_width - px(4),
               px(200), SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK MainFrame::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* frame = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    frame = static_cast<MainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    frame->hwnd_ = hwnd;
  }
  if (!frame || !frame->hwnd_) return DefWindowProcW(hwnd, message, wparam, lparam);
  return frame->handle(message, wparam, lparam);
}

LRESULT MainFrame::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  // While the frame goes, the presenter is gone before the window: what the window still hears
  // (its controls' last notices) is the system's alone.
  if (!app_ && message != WM_DESTROY && message != WM_NCDESTROY)
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  switch (message) {
    case WM_TIMER:
      if (wparam == kRefreshTimer) {
        app_->tick();
        if (order_pending_ && !order_job_ &&
            std::chrono::steady_clock::now() - last_order_ >=
                std::chrono::milliseconds(kReorderPauseMs))
          request_order(true);
      }
      return 0;
    case kRunPosted:
      run_posted();
      return 0;
    case WM_COMMAND:
      on_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY:
      return on_notify(reinterpret_cast<NMHDR*>(lparam));
    case WM_DRAWITEM:
      draw_button(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wparam) == list_) {
        POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        if (at.x == -1 && at.y == -1) {
          // From the keyboard: at the list's first selected row, or its corner.
          RECT r{};
          const int item = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
          if (item < 0 || !ListView_GetItemRect(list_, item, &r, LVIR_LABEL))
            GetClientRect(list_, &r);
          at = {r.left + 4, r.top + 4};
          ClientToScreen(list_, &at);
        }
        show_list_menu(at);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      HWND control = reinterpret_cast<HWND>(lparam);
      if (control == hint_text_) {
        SetTextColor(dc, kHintText);
        SetBkColor(dc, kHintBackground);
        return reinterpret_cast<LRESULT>(hint_brush_);
      }
      const bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
      SetTextColor(dc, text_colour_);
      SetBkColor(dc, field ? surface_ : window_colour_);
      return reinterpret_cast<LRESULT>(field ? surface_brush_ : window_brush_);
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd_, &r);
      FillRect(reinterpret_cast<HDC>(wparam), &r, window_brush_);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_SIZE:
      lay_out();
      app_->placement_changed();
      return 0;
    case WM_MOVE:
      app_->placement_changed();
      return 0;
    case WM_GETMINMAXINFO: {
      RECT frame{0, 0, px(kMinWidth), px(kMinHeight)};
      AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                               FALSE, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)),
                               static_cast<UINT>(dpi_));
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wparam);
      make_fonts();
      for (HWND c : {list_, status_bar_, filter_label_, filter_box_, hint_text_})
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(list_font_), TRUE);
      for (HWND c : controls_)
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(group_font_), TRUE);
      for (HWND c : {credit_, hint_button_})
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(group_font_), TRUE);
      const auto* r = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      app_->save_placement();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kRefreshTimer);
      detach_drop_target(list_, drop_target_);
      drop_target_ = nullptr;
      return 0;
    case WM_NCDESTROY: {
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      post_target_ = nullptr;
      hwnd_ = nullptr;
      list_ = nullptr;
      if (on_closed) on_closed();
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainFrame::paint(HDC dc) {
  // The group's frame and title, in the theme's accent.
  if (group_rect_.width > 0) {
    const HGDIOBJ old_font = SelectObject(dc, group_font_);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    const int top = px(group_rect_.y) + metrics.tmHeight / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, accent_);
    const HGDIOBJ old_pen = SelectObject(dc, pen);
    const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, px(group_rect_.x), top, px(group_rect_.x + group_rect_.width),
              px(group_rect_.y + group_rect_.height), px(6), px(6));
    const std::wstring title = w(msg::kGroup);
    SIZE size;
    GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &size);
    RECT behind{px(group_rect_.x + 8), px(group_rect_.y), px(group_rect_.x + 8) + size.cx + px(6),
                px(group_rect_.y) + size.cy};
    FillRect(dc, &behind, window_brush_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, accent_);
    TextOutW(dc, behind.left + px(3), behind.top, title.c_str(), static_cast<int>(title.size()));
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_font);
    DeleteObject(pen);
  }
  if (hint_shown_) {
    RECT bar{px(hint_rect_.x), px(hint_rect_.y), px(hint_rect_.x + hint_rect_.width),
             px(hint_rect_.y + hint_rect_.height)};
    FillRect(dc, &bar, hint_brush_);
  }
}

void MainFrame::draw_button(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  HBRUSH fill = CreateSolidBrush(pressed ? accent_ : button_);
  HPEN pen = CreatePen(PS_SOLID, 1, accent_);
  const HGDIOBJ old_brush = SelectObject(dc, fill);
  const HGDIOBJ old_pen = SelectObject(dc, pen);
  FillRect(dc, &r, item.hwndItem == hint_button_ ? hint_brush_ : window_brush_);
  RoundRect(dc, r.left, r.top, r.right, r.bottom, px(5), px(5));
  const std::wstring text = window_text(item.hwndItem);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, pressed ? selection_text_ : button_text_);
  const HGDIOBJ old_font = SelectObject(dc, group_font_);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&r, -px(3), -px(3));
    DrawFocusRect(dc, &r);
  }
  SelectObject(dc, old_font);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  DeleteObject(pen);
  DeleteObject(fill);
}

void MainFrame::on_command(int id, int code) {
  if (id >= kGroupBase && id < kGroupBase + static_cast<int>(kGroupControlCount)) {
    const int control = id - kGroupBase;
    if (control == kThreadsField) {
      if (code == EN_CHANGE && !showing_settings_)
        app_->save_thread_count(wide_to_utf8(window_text(controls_[kThreadsField])));
      return;
    }
    if (code == BN_CLICKED) app_->press(GroupControlIndex(control));
    return;
  }
  if (id == kHintButtonId && code == BN_CLICKED) return app_->press(kExtractButton);
  if (id == kCreditId && code == STN_DBLCLK) return app_->show_about();
  if (id == kFilterId && code == CBN_SELCHANGE) {
    const auto at = SendMessageW(filter_box_, CB_GETCURSEL, 0, 0);
    if (at >= 0)
      set_filter(static_cast<VerdictFilter>(
          SendMessageW(filter_box_, CB_GETITEMDATA, static_cast<WPARAM>(at), 0)));
    return;
  }
  if (id >= kMenuBase && id < kMenuBase + static_cast<int>(list_menu_entries().size()))
    run_list_command(static_cast<std::size_t>(id - kMenuBase));
}

bool MainFrame::pre_translate(const MSG& m) {
  if (!hwnd_ || (m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN)) return false;
  if (m.hwnd != hwnd_ && !IsChild(hwnd_, m.hwnd)) return false;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
  const WPARAM vk = m.wParam;
  const HWND focus = GetFocus();
  // The thread count's field keeps the keys that edit it.
  if (focus == controls_[kThreadsField] &&
      (vk == VK_DELETE || (ctrl && (vk == 'C' || vk == 'V' || vk == 'X' || vk == 'A'))))
    return false;
  // An open drop-down list takes Esc and Enter itself.
  if (SendMessageW(filter_box_, CB_GETDROPPEDSTATE, 0, 0) && (vk == VK_ESCAPE || vk == VK_RETURN))
    return false;
  if (vk == VK_ESCAPE && !ctrl) {
    app_->stop_check_run();
    return true;
  }
  // Ctrl+A selects every row, as list views elsewhere do.
  if (ctrl && vk == 'A' && focus == list_) {
    ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
    return true;
  }
  const auto entries = list_menu_entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ListMenuEntry& e = entries[i];
    if (e.command == ListCommand::separator || !matches(e.key, vk, ctrl)) continue;
    if (!e.window_wide && focus != list_) continue;
    run_list_command(i);
    return true;
  }
  for (int i = 0; i < kGroupControlCount; ++i)
    if (matches(kGroupControls[i].key, vk, ctrl)) {
      app_->press(GroupControlIndex(i));
      return true;
    }
  return false;
}

void MainFrame::run_list_command(std::size_t entry) {
  const ListCommand command = list_menu_entries()[entry].command;
  if (command == ListCommand::paste) return paste();
  if (command == ListCommand::filter) {
    SetFocus(filter_box_);
    SendMessageW(filter_box_, CB_SHOWDROPDOWN, TRUE, 0);
    return;
  }
  app_->run(command);
}

void MainFrame::paste() {
  const ClipboardContents contents = read_clipboard(hwnd_);
  app_->paste(contents.files, contents.text);
}

void MainFrame::show_list_menu(POINT at) {
  HMENU menu = CreatePopupMenu();
  const bool selected = ListView_GetSelectedCount(list_) > 0;
  const auto entries = list_menu_entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ListMenuEntry& e = entries[i];
    if (e.command == ListCommand::separator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::wstring caption = w(e.caption);
    if (const wchar_t* key = key_name(e.key)) caption += std::wstring(L"\t") + key;
    AppendMenuW(menu, MF_STRING | (entry_enabled(e, selected) ? MF_ENABLED : MF_GRAYED),
                static_cast<UINT_PTR>(kMenuBase) + i, caption.c_str());
  }
  const int chosen = static_cast<int>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd_, nullptr));
  DestroyMenu(menu);
  if (chosen >= kMenuBase) run_list_command(static_cast<std::size_t>(chosen - kMenuBase));
}

LRESULT CALLBACK MainFrame::list_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR, DWORD_PTR data) {
  auto* frame = reinterpret_cast<MainFrame*>(data);
  if (!frame->app_) return DefSubclassProc(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_DROPFILES: {
      const auto drop = reinterpret_cast<HDROP>(wparam);
      const std::vector<std::string> paths = dropped_paths(drop);
      DragFinish(drop);
      frame->app_->load_dropped_files(paths);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const LRESULT r = DefSubclassProc(hwnd, message, wparam, lparam);
      LVHITTESTINFO hit{};
      hit.pt = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (ListView_HitTest(hwnd, &hit) >= 0) frame->app_->open_row_link();
      return r;
    }
    case WM_PAINT: {
      const LRESULT r = DefSubclassProc(hwnd, message, wparam, lparam);
      frame->paint_empty_list();
      return r;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, list_proc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK MainFrame::status_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR, DWORD_PTR data) {
  auto* frame = reinterpret_cast<MainFrame*>(data);
  switch (message) {
    // Its filter and label are the window's.
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
      return SendMessageW(frame->hwnd_, message, wparam, lparam);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wparam), &r, frame->window_brush_);
      return 1;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, status_proc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

void MainFrame::paint_empty_list() {
  if (rows_ > 0 || table_->row_count() > 0 || app_->session()->loading()) return;
  RECT r;
  GetClientRect(list_, &r);
  if (header_) {
    RECT h;
    GetWindowRect(header_, &h);
    r.top += h.bottom - h.top;
  }
  InflateRect(&r, -px(24), -px(24));
  HDC dc = GetDC(list_);
  const HGDIOBJ old = SelectObject(dc, list_font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, dark_ ? RGB(0xa0, 0xa0, 0xa0) : kEmptyText);
  const std::wstring text = w(msg::kEmptyListHint);
  RECT measure = r;
  DrawTextW(dc, text.c_str(), -1, &measure, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  const int height = measure.bottom - measure.top;
  r.top += std::max(0L, (r.bottom - r.top - height) / 2);
  DrawTextW(dc, text.c_str(), -1, &r, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(list_, dc);
}

LRESULT MainFrame::on_notify(NMHDR* header) {
  if (header->hwndFrom == list_) {
    switch (header->code) {
      case LVN_GETDISPINFOW:
        fill_cell(*reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
      case LVN_GETINFOTIPW:
        info_tip(*reinterpret_cast<NMLVGETINFOTIPW*>(header));
        return 0;
      case NM_CUSTOMDRAW:
        return draw_list(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
      case LVN_COLUMNCLICK:
        click_column(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
      case LVN_ODFINDITEMW:
        return -1;
      default:
        return 0;
    }
  }
  if (header->hwndFrom == header_ &&
      (header->code == HDN_ITEMCHANGEDW || header->code == HDN_ITEMCHANGEDA)) {
    const auto* change = reinterpret_cast<NMHEADERW*>(header);
    if (!laying_out_columns_ && change->pitem && (change->pitem->mask & HDI_WIDTH))
      app_->column_resized(change->iItem, logical(change->pitem->cxy));
    return 0;
  }
  return 0;
}

void MainFrame::fill_cell(NMLVDISPINFOW& info) {
  if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
  const int row = table_row(info.item.iItem);
  cell_text_.clear();
  if (row >= 0) {
    if (info.item.iSubItem == kReasonColumn)
      cell_text_ = w(reason_text(table_->verdict(row), row_service(*table_, row)));
    else if (info.item.iSubItem >= 0 && info.item.iSubItem < kColumnCount)
      cell_text_ = w(gbk_to_utf8(table_->cell(row, info.item.iSubItem)));
  }
  const std::size_t room = static_cast<std::size_t>(info.item.cchTextMax) - 1;
  const std::size_t n = std::min(room, cell_text_.size());
  std::copy_n(cell_text_.c_str(), n, info.item.pszText);
  info.item.pszText[n] = L'\0';
}

void MainFrame::info_tip(NMLVGETINFOTIPW& tip) {
  // The tip is for the cell under the pointer: the status and reason cells say the reason, the
  // others their whole text.
  POINT at;
  GetCursorPos(&at);
  ScreenToClient(list_, &at);
  LVHITTESTINFO hit{};
  hit.pt = at;
  int column = 0;
  if (ListView_SubItemHitTest(list_, &hit) >= 0 && hit.iItem == tip.iItem) column = hit.iSubItem;
  const int row = table_row(tip.iItem);
  if (row < 0 || !tip.pszText || tip.cchTextMax <= 0) return;
  std::wstring text;
  if (column == kColumnStatus || column == kReasonColumn)
    text = w(status_tip(table_->verdict(row), row_service(*table_, row), app_->last_checked(row)));
  else if (column < kColumnCount)
    text = w(gbk_to_utf8(table_->cell(row, column)));
  const std::size_t n = std::min(static_cast<std::size_t>(tip.cchTextMax) - 1, text.size());
  std::copy_n(text.c_str(), n, tip.pszText);
  tip.pszText[n] = L'\0';
}

LRESULT MainFrame::draw_list(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      draw->clrTextBk = draw->nmcd.dwItemSpec % 2 ? alternate_ : surface_;
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const int item = static_cast<int>(draw->nmcd.dwItemSpec);
      const int row = table_row(item);
      // Selected rows in the theme's selection colours, not the system's.
      const bool selected = ListView_GetItemState(list_, item, LVIS_SELECTED) != 0;
      draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED);
      draw->clrText = selected ? selection_text_ : text_colour_;
      draw->clrTextBk = selected ? selection_ : item % 2 ? alternate_ : surface_;
      HFONT font = list_font_;
      if (row >= 0 && (draw->iSubItem == kColumnStatus || draw->iSubItem == kReasonColumn)) {
        const RowVerdict verdict = table_->verdict(row);
        if (const auto c = verdict_colour(verdict, dark_ || selected)) draw->clrText = colour(*c);
        if (draw->iSubItem == kColumnStatus && verdict.verdict != Verdict::none) font = bold_font_;
      }
      SelectObject(draw->nmcd.hdc, font);
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

// ---- The shown order.

int MainFrame::list_item_count() const { return ListView_GetItemCount(list_); }

int MainFrame::table_row(int shown_row) const {
  if (shown_row < 0 || shown_row >= rows_) return -1;
  return use_order_ ? order_.order[static_cast<std::size_t>(shown_row)] : shown_row;
}

int MainFrame::view_row(int row) const {
  if (!use_order_) return row >= 0 && row < rows_ ? row : -1;
  if (row < 0 || static_cast<std::size_t>(row) >= order_.position.size()) return -1;
  return order_.position[static_cast<std::size_t>(row)];
}

std::string MainFrame::shown_cell(int shown_row, int column) const {
  const int row = table_row(shown_row);
  if (row < 0) return {};
  if (column == kReasonColumn) return reason_text(table_->verdict(row), row_service(*table_, row));
  return column >= 0 && column < kColumnCount ? gbk_to_utf8(table_->cell(row, column))
                                              : std::string();
}

void MainFrame::rows_changed() {
  if (!list_) return;
  const LinkTable::Changes changes = table_->take_changes();
  const int rows = table_->row_count();
  if (changes.reset || rows != order_.rows || (!ordered() && rows != rows_)) {
    // A new list: its order is made afresh; under a filter nothing shows until then, so that
    // rows the filter hides never flash up.
    order_ = RowOrder{};
    order_.rows = rows;
    order_.generation = table_->generation();
    use_order_ = false;
    clear_selection(static_cast<std::size_t>(ListView_GetSelectedCount(list_)));
    rows_ = filter_ != VerdictFilter::all ? 0 : rows;
    ListView_SetItemCountEx(list_, rows_, 0);
    InvalidateRect(list_, nullptr, TRUE);
    if (ordered()) request_order(true);
    return;
  }
  if (changes.rows.empty()) return;
  // Only the rows in sight are drawn again.
  const int top = ListView_GetTopIndex(list_);
  const int bottom = top + ListView_GetCountPerPage(list_) + 1;
  int first = bottom, last = -1;
  for (const int r : changes.rows) {
    const int v = view_row(r);
    if (v >= top && v <= bottom) {
      first = std::min(first, v);
      last = std::max(last, v);
    }
  }
  if (first <= last) ListView_RedrawItems(list_, first, last);
  if (filter_ != VerdictFilter::all || sort_column_ == kColumnStatus || sort_column_ == kColumnDone)
    request_order(false);
}

void MainFrame::set_filter(VerdictFilter filter) {
  const int count = static_cast<int>(SendMessageW(filter_box_, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    if (static_cast<VerdictFilter>(
            SendMessageW(filter_box_, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == filter &&
        SendMessageW(filter_box_, CB_GETCURSEL, 0, 0) != i)
      SendMessageW(filter_box_, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
  if (filter == filter_) return;
  filter_ = filter;
  reorder();
}

void MainFrame::click_column(int column) {
  // The reason column sorts as the status column does: by verdict.
  if (column == kReasonColumn) column = kColumnStatus;
  if (column < 0 || column >= kColumnCount) return;
  if (sort_column_ != column) {
    sort_column_ = column;
    descending_ = false;
  } else if (!descending_) {
    descending_ = true;
  } else {
    sort_column_ = -1;
    descending_ = false;
  }
  show_sort_mark();
  reorder();
}

void MainFrame::show_sort_mark() {
  for (int c = 0; c < 6; ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header_, c, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    const int sorted = sort_column_ == kColumnStatus && c == kReasonColumn ? -2 : sort_column_;
    if (c == sorted) item.fmt |= descending_ ? HDF_SORTDOWN : HDF_SORTUP;
    Header_SetItem(header_, c, &item);
  }
}

void MainFrame::reorder() {
  if (ordered()) return request_order(true);
  RowOrder identity;
  identity.generation = table_->generation();
  identity.rows = table_->row_count();
  apply_order(std::move(identity));
}

void MainFrame::request_order(bool now) {
  if (order_job_ || (!now && std::chrono::steady_clock::now() - last_order_ <
                                 std::chrono::milliseconds(kReorderPauseMs))) {
    order_pending_ = true;
    return;
  }
  start_order_job();
}

void MainFrame::start_order_job() {
  order_pending_ = false;
  order_job_ = true;
  last_order_ = std::chrono::steady_clock::now();
  const int column = sort_column_;
  const bool descending = descending_;
  const VerdictFilter filter = filter_;
  run_in_background([this, table = table_, column, descending, filter, alive = alive_] {
    auto made = std::make_shared<RowOrder>(build_row_order(*table, column, descending, filter));
    post([this, made, column, descending, filter, alive] {
      if (!*alive) return;
      order_job_ = false;
      // An order made for settings changed meanwhile is of no use; the change has asked again.
      if (column == sort_column_ && descending == descending_ && filter == filter_ && ordered())
        apply_order(std::move(*made));
      if (order_pending_) request_order(false);
    });
  });
}

void MainFrame::clear_selection(std::size_t selected) {
  // Row by row while few are selected: the list's "every item" walks all of a million.
  if (selected > 1000) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    return;
  }
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list_, -1, LVNI_SELECTED))
    ListView_SetItemState(list_, i, 0, LVIS_SELECTED);
  if (const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED); focused >= 0)
    ListView_SetItemState(list_, focused, 0, LVIS_FOCUSED);
}

void MainFrame::apply_order(RowOrder made) {
  // Made from rows replaced since: the refresh that tells of the new rows asks for another.
  if (made.generation != table_->generation() || made.rows != table_->row_count()) return;
  const bool identity = made.order.empty() && made.position.empty() && !ordered();
  // Selected rows and the focus follow their list rows to their new places.
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
    selected.push_back(table_row(i));
  const int focused = table_row(ListView_GetNextItem(list_, -1, LVNI_FOCUSED));
  clear_selection(selected.size());
  order_ = std::move(made);
  use_order_ = !identity;
  rows_ = identity ? order_.rows : static_cast<int>(order_.order.size());
  ListView_SetItemCountEx(list_, rows_, LVSICF_NOSCROLL);
  for (const int r : selected)
    if (const int v = view_row(r); v >= 0)
      ListView_SetItemState(list_, v, LVIS_SELECTED, LVIS_SELECTED);
  if (const int v = view_row(focused); v >= 0)
    ListView_SetItemState(list_, v, LVIS_FOCUSED, LVIS_FOCUSED);
  InvalidateRect(list_, nullptr, FALSE);
}

// ---- MainView.

void MainFrame::set_title(const std::string& text) { SetWindowTextW(hwnd_, w(text).c_str()); }

void MainFrame::set_status(const std::string& text) {
  status_text_ = w(text);
  SendMessageW(status_bar_, SB_SETTEXTW, 0 | SBT_NOBORDERS,
               reinterpret_cast<LPARAM>(status_text_.c_str()));
  SendMessageW(status_bar_, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(status_text_.c_str()));
}

int MainFrame::status_room() const {
  RECT part{};
  SendMessageW(status_bar_, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
  return logical(std::max(0L, part.right - part.left - px(8)));
}

int MainFrame::text_width(const std::string& text) const {
  HDC dc = GetDC(status_bar_);
  const HGDIOBJ old = SelectObject(dc, list_font_);
  const std::wstring wide = w(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(status_bar_, dc);
  return logical(size.cx);
}

void MainFrame::set_progress(int done, int total) {
  ShowWindow(progress_, total > 0 ? SW_SHOWNA : SW_HIDE);
  if (total <= 0) return;
  SendMessageW(progress_, PBM_SETRANGE32, 0, total);
  SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(std::min(done, total)), 0);
}

void MainFrame::set_control_caption(int control, const std::string& caption) {
  if (control < 0 || control >= kGroupControlCount || control == kThreadsField) return;
  SetWindowTextW(controls_[control], w(caption).c_str());
  InvalidateRect(controls_[control], nullptr, TRUE);
}

void MainFrame::show_hint(const std::string& text) {
  SetWindowTextW(hint_text_, w(text).c_str());
  if (hint_shown_ == !text.empty()) return;
  hint_shown_ = !text.empty();
  ShowWindow(hint_text_, hint_shown_ ? SW_SHOWNA : SW_HIDE);
  ShowWindow(hint_button_, hint_shown_ ? SW_SHOWNA : SW_HIDE);
  lay_out();
}

int MainFrame::shown_rows() const { return rows_; }

std::vector<int> MainFrame::selected_rows() const {
  std::vector<int> rows;
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
    if (const int r = table_row(i); r >= 0) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  return rows;
}

int MainFrame::current_row() const {
  return table_row(ListView_GetNextItem(list_, -1, LVNI_SELECTED));
}

void MainFrame::show_thread_count(const std::string& text) {
  showing_settings_ = true;
  SetWindowTextW(controls_[kThreadsField], w(text).c_str());
  showing_settings_ = false;
}

void MainFrame::show_single_column(bool on) {
  SendMessageW(controls_[kSingleColumnBox], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainFrame::show_theme(int n, const std::string& caption) {
  if (const Palette* p = theme_palette(n)) {
    theme_ = n;
    dark_ = theme_is_dark(n);
    window_colour_ = colour(p->window);
    surface_ = colour(p->surface);
    alternate_ = colour(p->alternate);
    text_colour_ = colour(p->text);
    accent_ = colour(p->accent);
    button_ = colour(p->button);
    button_text_ = colour(p->button_text);
    selection_ = colour(p->selection);
    selection_text_ = colour(p->selection_text);
    for (HBRUSH* b : {&window_brush_, &surface_brush_, &hint_brush_})
      if (*b) DeleteObject(*b);
    window_brush_ = CreateSolidBrush(window_colour_);
    surface_brush_ = CreateSolidBrush(surface_);
    hint_brush_ = CreateSolidBrush(kHintBackground);
    if (status_bar_)
      SendMessageW(status_bar_, SB_SETBKCOLOR, 0, static_cast<LPARAM>(window_colour_));
    if (list_) {
      ListView_SetBkColor(list_, surface_);
      ListView_SetTextBkColor(list_, surface_);
      ListView_SetTextColor(list_, text_colour_);
    }
    if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  if (!caption.empty() && controls_[kThemeButton]) set_control_caption(kThemeButton, caption);
}

void MainFrame::point_at_thread_count() {
  SetFocus(controls_[kThreadsField]);
  SendMessageW(controls_[kThreadsField], EM_SETSEL, 0, -1);
}

void MainFrame::set_column_widths(const std::array<int, 6>& widths) {
  laying_out_columns_ = true;
  for (int c = 0; c < 6; ++c)
    ListView_SetColumnWidth(list_, c, px(widths[static_cast<std::size_t>(c)]));
  laying_out_columns_ = false;
}

namespace {

// What the frame adds around the inside of a window of this style at this DPI.
RECT frame_edges(HWND hwnd, int dpi) {
  RECT r{0, 0, 0, 0};
  AdjustWindowRectExForDpi(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)),
                           static_cast<UINT>(dpi));
  return r;
}

}  // namespace

void MainFrame::place(const Rect& frame) {
  // As the other window: the frame's corner, the inside's size.
  const RECT edges = frame_edges(hwnd_, dpi_);
  SetWindowPos(hwnd_, nullptr, px(frame.x), px(frame.y), px(frame.width) + edges.right - edges.left,
               px(frame.height) + edges.bottom - edges.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect MainFrame::normal_geometry() const {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(hwnd_, &placement);
  const RECT& r = placement.rcNormalPosition;
  const RECT edges = frame_edges(hwnd_, dpi_);
  return {logical(r.left), logical(r.top), logical(r.right - r.left - (edges.right - edges.left)),
          logical(r.bottom - r.top - (edges.bottom - edges.top))};
}

std::optional<Rect> MainFrame::screen_room(int x, int y) const {
  HMONITOR monitor = MonitorFromPoint({px(x), px(y)}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return std::nullopt;
  const RECT& r = info.rcWork;
  return Rect{logical(r.left), logical(r.top), logical(r.right - r.left),
              logical(r.bottom - r.top)};
}

void MainFrame::notice(const std::string& caption, const std::string& text, NoticeIcon icon,
                       int timeout_ms) {
  desktop_.message(hwnd_, {icon == NoticeIcon::warning ? MessageKind::notice_warning
                                                       : MessageKind::notice_information,
                           caption, text, timeout_ms});
}

void MainFrame::warn(const std::string& title, const std::string& text) {
  desktop_.message(hwnd_, {MessageKind::warning, title, text, 0});
}

void MainFrame::inform(const std::string& caption, const std::string& text) {
  desktop_.message(hwnd_, {MessageKind::information, caption, text, 0});
}

bool MainFrame::show_exported(const std::string& path) {
  std::string shown = path;
  std::replace(shown.begin(), shown.end(), '/', '\\');
  return desktop_.message(hwnd_,
                          {MessageKind::exported, msg::kExportedTitle, msg::exported_to(shown), 0});
}

std::string MainFrame::choose_file() {
  return desktop_.choose_file ? desktop_.choose_file(hwnd_) : std::string();
}

ExportChoice MainFrame::choose_export_file(const std::string& suggested) {
  return desktop_.choose_export_file ? desktop_.choose_export_file(hwnd_, suggested)
                                     : ExportChoice{};
}

void MainFrame::set_clipboard(const std::string& text) {
  if (desktop_.set_clipboard) desktop_.set_clipboard(text);
}

bool MainFrame::open_url(const std::string& url) { return desktop_.open && desktop_.open(url); }

bool MainFrame::open_folder(const std::string& folder) {
  std::string native = folder;
  std::replace(native.begin(), native.end(), '/', '\\');
  return desktop_.open && desktop_.open(native);
}

void MainFrame::run_in_background(std::function<void()> work) {
  workers_.reap();
  if (!workers_.start(work)) work();
}

void MainFrame::post(std::function<void()> call) {
  {
    std::lock_guard lock(posted_mutex_);
    posted_.push_back(std::move(call));
  }
  if (HWND target = post_target_.load()) PostMessageW(target, kRunPosted, 0, 0);
}

void MainFrame::run_posted() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(posted_mutex_);
      if (posted_.empty()) return;
      call = std::move(posted_.front());
      posted_.pop_front();
    }
    call();
  }
}

}  // namespace quorvex::win32
