// The Win32 window under Wine, driven as a user drives it: messages to its controls (button
// clicks, a shell drop, keys, menu commands) and read back from them (the list's cells, window
// texts, the status bar). Checks reach the stand-in share service that with_stand_in.sh starts.
#include "win32/main_frame.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "app/layout.h"
#include "app/messages.h"
#include "base/charset.h"
#include "base/platform.h"
#include "shell/profile.h"
#include "support/scratch_dir.h"
#include "support/share_service.h"
#include "support/utf8_path.h"

namespace quorvex::win32 {
namespace {

using namespace std::chrono_literals;
using test::utf8_name;

std::wstring w(const std::string& utf8) { return utf8_to_wide(utf8); }

std::string text_of(HWND hwnd) {
  wchar_t text[4096] = L"";
  GetWindowTextW(hwnd, text, 4096);
  return wide_to_utf8(text);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What the window asked of the desktop, answered at once.
struct Recorded {
  std::vector<MessageRequest> messages;
  std::vector<std::string> clipboard, opened;
  bool open_folder = false;
};

class MainFrameTest : public ::testing::Test {
 protected:
  test::ScratchDir dir;
  Recorded recorded;

  AppPlaces places() const {
    return {utf8_name(dir / "Documents"), utf8_name(dir / "Desktop"), utf8_name(dir / "Data"),
            utf8_name(dir.path())};
  }
  Desktop desktop() {
    Desktop d;
    d.message = [this](HWND, const MessageRequest& m) {
      recorded.messages.push_back(m);
      return m.kind == MessageKind::exported && recorded.open_folder;
    };
    d.choose_file = [](HWND) { return std::string(); };
    d.choose_export_file = [](HWND, const std::string&) { return ExportChoice{}; };
    d.set_clipboard = [this](const std::string& t) { recorded.clipboard.push_back(t); };
    d.open = [this](const std::string& t) {
      recorded.opened.push_back(t);
      return true;
    };
    return d;
  }
  // Drops from other programs go through OLE, as in the program.
  void SetUp() override { OleInitialize(nullptr); }
  void TearDown() override { OleUninitialize(); }

  std::unique_ptr<MainFrame> make(const test::ShareService* service = nullptr) {
    std::filesystem::create_directories(dir / "Desktop");
    CheckRunConfig runs;
    if (service) {
      runs.probe.ca_file = test::test_ca_file();
      runs.probe.connect_to = {service->connect_to()};
      runs.probe.retry_delay = 20ms;
    }
    auto frame = std::make_unique<MainFrame>(places(), desktop(), std::move(runs));
    if (!frame->hwnd())
      throw std::runtime_error("no window could be made: has Wine a graphics driver here?");
    ShowWindow(frame->hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(frame->hwnd());
    pump(*frame, 100ms);
    return frame;
  }

  // Runs the window's messages (its keys first, as the program's loop does) for a while, or
  // until `done`.
  static bool pump(MainFrame& frame, std::chrono::milliseconds limit,
                   const std::function<bool()>& done = {}) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (frame.pre_translate(m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
      if (done && done()) return true;
      if (std::chrono::steady_clock::now() >= end) return !done;
      std::this_thread::sleep_for(2ms);
    }
  }
  static bool wait(MainFrame& frame, const std::function<bool()>& done,
                   std::chrono::milliseconds limit = 20s) {
    return pump(frame, limit, done);
  }

  static std::string cell(MainFrame& frame, int row, int column) {
    wchar_t text[1024] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(frame.control(kListId), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return wide_to_utf8(text);
  }
  static int rows(MainFrame& frame) { return frame.list_item_count(); }
  static std::string status(MainFrame& frame) {
    wchar_t text[2048] = L"";
    SendMessageW(frame.control(kStatusBarId), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    return wide_to_utf8(text);
  }
  static void click(MainFrame& frame, int control) {
    SendMessageW(frame.control(kGroupBase + control), BM_CLICK, 0, 0);
  }
  // A key as the keyboard sends it to the control with the focus, Ctrl held or not.
  static void key(MainFrame& frame, HWND to, WPARAM vk, bool ctrl = false) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(state);
    PostMessageW(to, WM_KEYDOWN, vk, 1);
    pump(frame, 30ms);
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
  }
  // Files dropped from the shell: a DROPFILES block with wide names, as Explorer makes it.
  static void drop(MainFrame& frame, const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& p : paths) names += w(p) + L'\0';
    names += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(GlobalLock(block));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    SendMessageW(frame.control(kListId), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
  }
  std::string write_list(const std::string& name, const std::string& utf8_text) {
    const std::filesystem::path path = dir / name;
    std::ofstream(path, std::ios::binary) << utf8_to_gbk(utf8_text);
    return utf8_name(path);
  }
  std::string settings() const {
    std::ifstream in(dir / "Documents" / "Orvane" / "Quorvex" / "Baifig.ini", std::ios::binary);
    return gbk_to_utf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  static RECT place_in_window(MainFrame& frame, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, frame.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
};

TEST_F(MainFrameTest, FirstStartShowsTheDesignAndKeepsSettingsInDocuments) {
  auto frame = make();
  // The settings folder is made at start; the controls show the design values.
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Documents" / "Orvane" / "Quorvex"));
  EXPECT_EQ(text_of(frame->control(kGroupBase + kThreadsField)), "10");
  EXPECT_EQ(SendMessageW(frame->control(kGroupBase + kSingleColumnBox), BM_GETCHECK, 0, 0),
            BST_UNCHECKED);
  for (int i = 0; i < kGroupControlCount; ++i) {
    if (i == kThreadsField) continue;
    EXPECT_EQ(text_of(frame->control(kGroupBase + i)), kGroupControls[i].caption) << i;
  }
  const int widths[] = {100, 220, 40, 40, 40, 0};
  for (int c = 0; c < 6; ++c)
    EXPECT_EQ(SendMessageW(frame->control(kListId), LVM_GETCOLUMNWIDTH, c, 0), widths[c]) << c;
  RECT client;
  GetClientRect(frame->hwnd(), &client);
  EXPECT_EQ(client.right, kDesignWidth);
  EXPECT_EQ(client.bottom, kDesignHeight);
  const RECT list = place_in_window(*frame, frame->control(kListId));
  EXPECT_EQ(list.left, -1);
  EXPECT_EQ(list.top, 0);
  EXPECT_EQ(list.right - list.left, kDesignListWidth);
  // The group's first button at its place in the group, the group where the layout puts it.
  const MainLayout design = main_layout(kDesignWidth, kDesignHeight, 0, 0);
  const RECT theme = place_in_window(*frame, frame->control(kGroupBase + kThemeButton));
  EXPECT_EQ(theme.left, design.group.x + 15);
  EXPECT_EQ(theme.top, design.group.y + 90);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(frame->hwnd(), nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 230);
  EXPECT_EQ(text_of(frame->hwnd()), msg::kWindowTitle);

  // Each setting is written when it changes, in the file's own encoding, and read at the next
  // start.
  SetWindowTextW(frame->control(kGroupBase + kThreadsField), L"3");
  click(*frame, kSingleColumnBox);
  click(*frame, kThemeButton);
  pump(*frame, 50ms);
  const std::string ini = settings();
  EXPECT_TRUE(contains(ini, "[start]")) << ini;
  EXPECT_TRUE(contains(ini, "线程数=3")) << ini;
  EXPECT_TRUE(contains(ini, "模式=真")) << ini;
  EXPECT_TRUE(contains(ini, "主题=1")) << ini;
  EXPECT_EQ(text_of(frame->control(kGroupBase + kThemeButton)), "主题:1");
  EXPECT_EQ(frame->shown_theme(), 1);
  EXPECT_EQ(SendMessageW(frame->control(kListId), LVM_GETCOLUMNWIDTH, 1, 0), 0);
  frame.reset();
  auto again = make();
  EXPECT_EQ(text_of(again->control(kGroupBase + kThreadsField)), "3");
  EXPECT_EQ(SendMessageW(again->control(kGroupBase + kSingleColumnBox), BM_GETCHECK, 0, 0),
            BST_CHECKED);
  EXPECT_EQ(again->shown_theme(), 1);
  EXPECT_EQ(SendMessageW(again->control(kListId), LVM_GETCOLUMNWIDTH, 0, 0), 360);
}

TEST_F(MainFrameTest, ADroppedListIsCheckedCountedAndItsValidLinksExported) {
  test::ShareService service;
  auto frame = make(&service);
  const std::string file =
      write_list("链接 列表.txt", "好的 " + test::ShareService::link("public") + "\r\n要码 " +
                                      test::ShareService::link("needcode") +
                                      " 密码：abcd\r\n删了 " + test::ShareService::link("deleted") +
                                      "\r\n忙 " + test::ShareService::link("down") + "\r\n");
  drop(*frame, {file});
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 4; }));
  EXPECT_EQ(cell(*frame, 0, 0), "好的");
  EXPECT_EQ(cell(*frame, 1, 1), test::ShareService::link("needcode"));
  EXPECT_EQ(cell(*frame, 1, 2), "abcd");
  EXPECT_TRUE(contains(status(*frame), "共 4 行")) << status(*frame);

  SetWindowTextW(frame->control(kGroupBase + kThreadsField), L"4");
  click(*frame, kCheckButton);
  EXPECT_EQ(text_of(frame->control(kGroupBase + kCheckButton)), msg::kStopCheck);
  ASSERT_TRUE(wait(
      *frame,
      [&] {
        return !frame->app().session()->run()->snapshot().active() &&
               text_of(frame->control(kGroupBase + kCheckButton)) == msg::kStartCheck;
      },
      60s));
  pump(*frame, 100ms);
  EXPECT_EQ(cell(*frame, 0, 3), "√");
  EXPECT_EQ(cell(*frame, 1, 3), "√");
  EXPECT_EQ(cell(*frame, 2, 3), "x");
  EXPECT_EQ(cell(*frame, 3, 3), "?");
  ASSERT_FALSE(recorded.messages.empty());
  EXPECT_TRUE(contains(recorded.messages.back().text, "有效 2，失效 1，未确定 1"))
      << recorded.messages.back().text;
  EXPECT_TRUE(contains(status(*frame), "有效 2")) << status(*frame);
  EXPECT_TRUE(IsWindowVisible(frame->control(kProgressId)));

  // The filter shows the invalid row alone; the list's rows go back with "all".
  frame->set_filter(VerdictFilter::invalid);
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 1; }));
  EXPECT_EQ(cell(*frame, 0, 0), "删了");
  frame->set_filter(VerdictFilter::all);
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 4; }));

  // Ctrl+S exports to the desktop and says where; the user asks to see the folder.
  recorded.open_folder = true;
  key(*frame, frame->control(kListId), 'S', true);
  ASSERT_TRUE(wait(*frame, [&] {
    return !recorded.messages.empty() && recorded.messages.back().kind == MessageKind::exported;
  }));
  std::filesystem::path exported;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "Desktop"))
    exported = entry.path();
  ASSERT_FALSE(exported.empty());
  std::ifstream in(exported, std::ios::binary);
  const std::string bytes = gbk_to_utf8(std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_TRUE(contains(bytes, test::ShareService::link("public"))) << bytes;
  EXPECT_TRUE(contains(bytes, test::ShareService::link("needcode"))) << bytes;
  EXPECT_FALSE(contains(bytes, test::ShareService::link("deleted"))) << bytes;
  ASSERT_EQ(recorded.opened.size(), 1u);
  EXPECT_TRUE(contains(recorded.opened[0], "Desktop")) << recorded.opened[0];
  EXPECT_EQ(recorded.opened[0].find('/'), std::string::npos) << recorded.opened[0];
}

TEST_F(MainFrameTest, TheCheckButtonAndEscStopARun) {
  test::ShareService service;
  auto frame = make(&service);
  std::string text;
  for (int i = 0; i < 6; ++i)
    text += "n" + std::to_string(i) + " " + test::ShareService::link("slow-" + std::to_string(i)) +
            "\r\n";
  drop(*frame, {write_list("slow.txt", text)});
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 6; }));
  SetWindowTextW(frame->control(kGroupBase + kThreadsField), L"1");
  key(*frame, frame->control(kListId), VK_F5);
  ASSERT_TRUE(wait(*frame, [&] { return frame->app().session()->run()->snapshot().running > 0; }));
  EXPECT_EQ(text_of(frame->control(kGroupBase + kCheckButton)), msg::kStopCheck);
  key(*frame, frame->control(kListId), VK_ESCAPE);
  EXPECT_TRUE(frame->app().session()->run()->snapshot().draining);
  ASSERT_TRUE(wait(*frame, [&] {
    return !frame->app().session()->run()->snapshot().active() && !recorded.messages.empty();
  }));
  EXPECT_EQ(recorded.messages.back().caption, msg::kRunStoppedCaption);
  EXPECT_TRUE(contains(recorded.messages.back().text, "未检测 5")) << recorded.messages.back().text;
  EXPECT_EQ(frame->app().session()->run()->snapshot().finished, 1);
  ASSERT_TRUE(wait(*frame, [&] {
    return text_of(frame->control(kGroupBase + kCheckButton)) == msg::kStartCheck;
  }));
}

TEST_F(MainFrameTest, TheListsMenuKeysAndSortingWorkOnListRows) {
  auto frame = make();
  drop(*frame, {write_list("a.txt", "b " + test::ShareService::link("two") + "\r\na " +
                                        test::ShareService::link("one") + "\r\nc " +
                                        test::ShareService::link("one") + "\r\n")});
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 3; }));
  HWND list = frame->control(kListId);
  SetFocus(list);
  ASSERT_EQ(GetFocus(), list);
  // A header click sorts by name; the selection is of list rows, whatever the order shows.
  frame->click_column(0);
  ASSERT_TRUE(wait(*frame, [&] { return !frame->ordering() && cell(*frame, 0, 0) == "a"; }));
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(frame->selected_rows(), std::vector<int>{1});
  key(*frame, list, 'C', true);
  ASSERT_EQ(recorded.clipboard.size(), 1u);
  EXPECT_TRUE(contains(recorded.clipboard[0], test::ShareService::link("one")))
      << recorded.clipboard[0];
  // Enter opens the row's link.
  key(*frame, list, VK_RETURN);
  ASSERT_EQ(recorded.opened.size(), 1u);
  EXPECT_EQ(recorded.opened[0], test::ShareService::link("one"));
  // The menu's 删除重复的行 takes out the later row of the same share.
  std::size_t remove_repeats = 0;
  const auto entries = list_menu_entries();
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].command == ListCommand::remove_repeats) remove_repeats = i;
  SendMessageW(frame->hwnd(), WM_COMMAND, static_cast<WPARAM>(kMenuBase + remove_repeats), 0);
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 2; }));
  // Sorted twice more: descending, then the list's own order.
  frame->click_column(0);
  ASSERT_TRUE(wait(*frame, [&] { return !frame->ordering() && cell(*frame, 0, 0) == "b"; }));
  frame->click_column(0);
  ASSERT_TRUE(wait(*frame, [&] { return !frame->ordering(); }));
  EXPECT_EQ(cell(*frame, 0, 0), "b");
  EXPECT_EQ(cell(*frame, 1, 0), "a");
  // Del in the list deletes the selected row.
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  key(*frame, list, VK_DELETE);
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 1; }));
  EXPECT_EQ(cell(*frame, 0, 0), "a");
  // In the thread count's field the editing keys stay the field's.
  recorded.clipboard.clear();
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  key(*frame, frame->control(kGroupBase + kThreadsField), 'C', true);
  SetFocus(frame->control(kGroupBase + kThreadsField));
  key(*frame, frame->control(kGroupBase + kThreadsField), 'C', true);
  EXPECT_EQ(recorded.clipboard.size(), 1u);  // the first went to the list, which had the focus
}

TEST_F(MainFrameTest, AWiderWindowShowsTheReasonAndKeepsTheGroupAtTheRightEdge) {
  auto frame = make();
  RECT frame_edges{0, 0, 0, 0};
  AdjustWindowRectEx(&frame_edges, static_cast<DWORD>(GetWindowLongPtrW(frame->hwnd(), GWL_STYLE)),
                     FALSE, static_cast<DWORD>(GetWindowLongPtrW(frame->hwnd(), GWL_EXSTYLE)));
  SetWindowPos(frame->hwnd(), nullptr, 0, 0, 1000 + frame_edges.right - frame_edges.left,
               700 + frame_edges.bottom - frame_edges.top, SWP_NOMOVE | SWP_NOZORDER);
  pump(*frame, 50ms);
  RECT client;
  GetClientRect(frame->hwnd(), &client);
  ASSERT_EQ(client.right, 1000);
  EXPECT_GT(SendMessageW(frame->control(kListId), LVM_GETCOLUMNWIDTH, kReasonColumn, 0), 0);
  const RECT theme = place_in_window(*frame, frame->control(kGroupBase + kThemeButton));
  EXPECT_EQ(theme.left, main_layout(1000, 700, 0, 0).group.x + 15);
  const RECT list = place_in_window(*frame, frame->control(kListId));
  EXPECT_EQ(list.right - list.left, 1000 - (kDesignWidth - kDesignListWidth));
  const RECT bar = place_in_window(*frame, frame->control(kStatusBarId));
  EXPECT_EQ(bar.bottom, 700);
  // The place and size are kept once the window has settled.
  pump(*frame, std::chrono::milliseconds(kPlacementSettleMs + 300));
  EXPECT_TRUE(contains(settings(), "1000")) << settings();

  // A hint above the list when the text holds posts to extract; its button extracts them.
  drop(*frame, {write_list("posts.txt", "看这里\r\n" + test::ShareService::link("one") +
                                            " 提取码: ab12\r\n闲聊\r\n")});
  ASSERT_TRUE(wait(*frame, [&] { return IsWindowVisible(frame->control(kHintButtonId)) != 0; }));
  const RECT hint = place_in_window(*frame, frame->control(kHintButtonId));
  EXPECT_LE(hint.bottom, place_in_window(*frame, frame->control(kListId)).top);
  SendMessageW(frame->control(kHintButtonId), BM_CLICK, 0, 0);
  ASSERT_TRUE(wait(*frame, [&] { return rows(*frame) == 1 && cell(*frame, 0, 2) == "ab12"; }));
  EXPECT_FALSE(IsWindowVisible(frame->control(kHintButtonId)));
}

TEST_F(MainFrameTest, NoticesCloseThemselvesAndFiltersReadAsTheDialogsWantThem) {
  auto frame = make();
  // Not clicked, the notice closes after its time-out with the platform's answer, less one.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(
      timed_message_box("排版完成,请点击刷新列表", MB_ICONINFORMATION, "提示", frame->hwnd(), 300),
      31999);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  // Without an owner the box takes the program's visible window.
  EXPECT_EQ(find_process_window(GetCurrentProcessId(), 1000), frame->hwnd());

  EXPECT_EQ(dialog_filter("文本文件 (*.txt);;所有文件 (*)"),
            std::wstring(L"文本文件 (*.txt)\0*.txt\0所有文件 (*)\0*.*\0\0", 33));
  EXPECT_EQ(dialog_filter("Pictures (*.png *.jpg)"),
            std::wstring(L"Pictures (*.png *.jpg)\0*.png;*.jpg\0\0", 36));
}

}  // namespace
}  // namespace quorvex::win32
