// quorvex.exe: the window. Files named on the command line ("Open with", a drop on the program's
// icon) load as files dropped on the list.
#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/platform.h"
#include "base/system_limits.h"
#include "win32/main_frame.h"

namespace {

// A program of the window subsystem has no console; --version and --help write to the one it
// was started from, if any.
void say(const char* text) {
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text,
              static_cast<DWORD>(std::char_traits<char>::length(text)), &written, nullptr);
  } else {
    std::fputs(text, stdout);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = quorvex::program_arguments(argc, argv);
  std::vector<std::string> files;
  for (const std::string& arg : arguments) {
    if (arg == "--version") {
      say("quorvex " QUORVEX_VERSION "\n");
      return 0;
    }
    if (arg == "-h" || arg == "--help") {
      say("Usage: quorvex [FILE...]\n"
          "Opens the Quorvex window; each FILE is loaded as a file dropped on the list.\n"
          "\n"
          "  -h, --help   print this and exit\n"
          "  --version    print the version and exit\n");
      return 0;
    }
    if (!arg.empty() && arg[0] != '-') files.push_back(arg);
  }
  quorvex::raise_open_file_limit();
  // Drops from Explorer and the clipboard's files go through OLE.
  OleInitialize(nullptr);
  int status = 0;
  {
    quorvex::win32::MainFrame frame;
    if (!frame.hwnd()) return 1;
    frame.on_closed = [] { PostQuitMessage(0); };
    ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
    UpdateWindow(frame.hwnd());
    if (!files.empty()) frame.app().load_dropped_files(files);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (frame.pre_translate(msg)) continue;
      if (IsDialogMessageW(frame.hwnd(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    status = static_cast<int>(msg.wParam);
  }
  OleUninitialize();
  return status;
}
