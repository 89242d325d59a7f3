// Saves pictures of the Win32 window as BMP files: a forum text just dropped, a checked list at
// the design size, larger, and in a dark theme. Run under Wine on a display (xvfb-run), to look
// at the window and to keep the pictures in docs/ current:
//   win32_snapshots.exe OUTPUT_DIR
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/themes.h"
#include "base/gbk_literals.h"
#include "base/platform.h"
#include "win32/main_frame.h"

using namespace quorvex;
using namespace quorvex::win32;

namespace {

void settle(int ms = 300) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// The window as the screen shows it, frame and all.
void save(HWND hwnd, const std::string& file) {
  RECT r;
  GetWindowRect(hwnd, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const int stride = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), '\0');
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  BITMAPFILEHEADER file_header{};
  file_header.bfType = 0x4D42;
  file_header.bfOffBits = sizeof file_header + sizeof header;
  file_header.bfSize = static_cast<DWORD>(file_header.bfOffBits + pixels.size());
  std::FILE* f = open_file(file, "wb");
  if (!f) return;
  std::fwrite(&file_header, sizeof file_header, 1, f);
  std::fwrite(&header, sizeof header, 1, f);
  std::fwrite(pixels.data(), 1, pixels.size(), f);
  std::fclose(f);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: win32_snapshots OUTPUT_DIR\n");
    return 2;
  }
  const std::string out = program_arguments(argc, argv)[0];
  OleInitialize(nullptr);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string home = wide_to_utf8(temp) + "quorvex-snapshots";
  // The start-up look and design size: nothing left from an earlier run.
  remove_file(home + "/Documents/Orvane/Quorvex/Baifig.ini");
  make_folders(home + "/Documents");
  Desktop quiet = Desktop::standard();
  quiet.message = [](HWND, const MessageRequest&) { return false; };
  MainFrame frame(AppPlaces{home + "/Documents", home, "", home}, quiet);
  ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
  SetForegroundWindow(frame.hwnd());
  settle();
  frame.app().load_text(
      "【合集】纪录片 Japan 4K 蓝光原盘\n"
      "链接：https://pan.baidu.com/s/1kVfX2cQ9Lm7 提取码：x7k2\n"
      "--来自百度网盘超级会员v5的分享\n\n"
      "Spanish 西语入门课程 全套\n"
      "pan.baidu.com/s/1Qw3Ert5Yu7 密码: 8fj3\n\n"
      "熊猫 panda 摄影集\n"
      "https://pan.quark.cn/s/3f9a1c2b7d8e\n");
  settle(800);
  save(frame.hwnd(), out + "/win32-forum.bmp");

  std::string text;
  for (int i = 0; i < 12; ++i)
    text += "\xD7\xCA\xD4\xB4" + std::to_string(i + 1) + " https://pan.baidu.com/s/1abcDEF" +
            std::to_string(i) + " \xC3\xDC\xC2\xEB\xA3\xBA" + "ab" + std::to_string(10 + i) +
            "\r\n";
  frame.app().session()->set_source_text(text);
  frame.app().reset_run_state();
  frame.app().session()->wait_for_loads();
  settle();
  // A few verdicts of every kind, so the status columns show what a finished run looks like.
  auto& table = *frame.app().session()->table();
  const RowVerdict kinds[] = {
      {Verdict::valid, Reason::need_code},          {Verdict::valid, Reason::public_share},
      {Verdict::invalid, Reason::deleted},          {Verdict::unknown, Reason::timeout},
      {Verdict::valid, Reason::public_share, true}, {Verdict::invalid, Reason::expired, true}};
  for (int r = 0; r < table.row_count() && r < 12; ++r) {
    table.set_verdict_if(table.generation(), r, kinds[r % 6]);
    table.set_cell_if(table.generation(), r, kColumnDone, gbk::kDoneMark);
  }
  settle();
  save(frame.hwnd(), out + "/win32-window.bmp");
  frame.place({50, 20, 980, 700});
  settle();
  save(frame.hwnd(), out + "/win32-large.bmp");
  frame.place({50, 50, 582, 600});
  for (int n = 1; n <= kThemeCount; ++n) {
    if (!theme_is_dark(n)) continue;
    frame.app().set_theme_number(n);
    frame.app().apply_theme();
    settle();
    save(frame.hwnd(), out + "/win32-dark.bmp");
    break;
  }
  return 0;
}
