#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "shell/error_text.h"
#include "shell/profile.h"
#include "shell/settings.h"
#include "support/gbk.h"
#include "support/scratch_dir.h"

namespace quorvex {
namespace {

using test::G;

class ProfileTest : public ::testing::Test {
 protected:
  std::string contents() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  test::ScratchDir dir_;
  std::string path_ = (dir_ / "Baifig.ini").string();
};

TEST_F(ProfileTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(read_profile_string(path_, "start", "k"), "");
  put("[other]\r\nk=1\r\n");
  EXPECT_EQ(read_profile_string(path_, "start", "k"), "");
  put("[start]\r\nj=1\r\n");
  EXPECT_EQ(read_profile_string(path_, "start", "k"), "");
}

TEST_F(ProfileTest, WritingReplacesOneKeyAndKeepsTheRest) {
  put("; note\r\n[other]\r\nk=keep\r\n[START]\r\nK = old \r\nx=1\r\n\r\n[tail]\r\ny=2\r\n");
  ASSERT_TRUE(write_profile_string(path_, "start", "k", "new"));
  EXPECT_EQ(contents(),
            "; note\r\n[other]\r\nk=keep\r\n[START]\r\nk=new\r\nx=1\r\n\r\n[tail]\r\ny=2\r\n");
  ASSERT_TRUE(write_profile_string(path_, "start", "z", " with blanks "));
  EXPECT_EQ(read_profile_string(path_, "start", "z"), "with blanks");
  EXPECT_EQ(read_profile_string(path_, "other", "k"), "keep");
  EXPECT_EQ(read_profile_string(path_, "tail", "y"), "2");
  // A new file holds just the section and the key.
  std::filesystem::remove(path_);
  ASSERT_TRUE(write_profile_string(path_, "start", G("主题"), "0"));
  EXPECT_EQ(contents(), "[start]\r\n" + G("主题") + "=0\r\n");
}

TEST_F(ProfileTest, LongValuesAreCutAndFailuresReported) {
  ASSERT_TRUE(write_profile_string(path_, "start", "k", std::string(20000, 'v')));
  EXPECT_EQ(read_profile_string(path_, "start", "k").size(), kProfileValueMax);
  // A read-only file is left alone and the caller is told.
  ::chmod(path_.c_str(), 0444);
  std::string error;
  EXPECT_FALSE(write_profile_string(path_, "start", "k", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(read_profile_string(path_, "start", "k").size(), kProfileValueMax);
  ::chmod(path_.c_str(), 0644);
  // A missing folder is a failure, not a crash.
  EXPECT_FALSE(
      write_profile_string((dir_ / "no" / "such.ini").string(), "start", "k", "x", &error));
  // No temporary file is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().extension(), ".ini") << entry.path();
}

#ifndef _WIN32  // symbolic links and modes
// The file a user keeps elsewhere and links in, and a private file, stay what they are.
TEST_F(ProfileTest, WritesFollowSymlinksKeepTheModeAndSkipNoChange) {
  const std::string real = (dir_ / "kept" / "real.ini").string();
  std::filesystem::create_directories(dir_ / "kept");
  std::ofstream(real, std::ios::binary) << "[start]\r\nk=1\r\n";
  ::chmod(real.c_str(), 0600);
  std::filesystem::create_symlink("kept/real.ini", path_);
  ASSERT_TRUE(write_profile_string(path_, "start", "k", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(path_));
  EXPECT_EQ(read_profile_string(real, "start", "k"), "2");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  // Writing what is there already leaves the file untouched.
  const auto before = std::filesystem::last_write_time(real);
  std::filesystem::last_write_time(real, before - std::chrono::hours(1));
  ASSERT_TRUE(write_profile_string(path_, "start", "k", "2"));
  EXPECT_EQ(std::filesystem::last_write_time(real), before - std::chrono::hours(1));
  ASSERT_TRUE(write_profile_string(path_, "start", "k", "3"));
  EXPECT_NE(std::filesystem::last_write_time(real), before - std::chrono::hours(1));
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "kept"))
    EXPECT_EQ(entry.path().filename(), "real.ini");
}
#endif

// "No such file" only when that is the cause: a folder that cannot be made says why.
TEST_F(ProfileTest, AFolderThatCannotBeMadeNamesTheCause) {
  std::ofstream(dir_ / "plain", std::ios::binary) << "x";
  std::string error;
  EXPECT_FALSE(
      write_profile_string((dir_ / "plain" / "sub" / "a.ini").string(), "s", "k", "v", &error));
  EXPECT_EQ(error, std::strerror(ENOTDIR));
#ifndef _WIN32  // folder modes
  if (::geteuid() != 0) {
    std::filesystem::create_directories(dir_ / "locked");
    ::chmod((dir_ / "locked").c_str(), 0555);
    EXPECT_FALSE(
        write_profile_string((dir_ / "locked" / "sub" / "a.ini").string(), "s", "k", "v", &error));
    EXPECT_EQ(error, std::strerror(EACCES));
    ::chmod((dir_ / "locked").c_str(), 0755);
  }
#endif
  EXPECT_FALSE(write_profile_string((dir_ / "none" / "a.ini").string(), "s", "k", "v", &error));
  EXPECT_EQ(error, std::strerror(ENOENT));
}

TEST_F(ProfileTest, StoredSettingsAreReadByTheirRules) {
  put(G("[start]\r\n主题= -3\r\n线程数=  7abc\r\n模式= 假 　\r\n"));
  StoredSettings s = read_settings(path_);
  EXPECT_EQ(s.theme_number, -3);
  EXPECT_EQ(s.thread_count, std::optional<std::string>("7abc"));
  EXPECT_FALSE(s.single_column_mode);
  for (const char* on : {"1", "0", "abc", "真"}) EXPECT_TRUE(mode_flag_of(G(on))) << on;
  EXPECT_FALSE(mode_flag_of(""));
  EXPECT_FALSE(mode_flag_of(G("假")));
  put("");
  s = read_settings(path_);
  EXPECT_EQ(s.theme_number, 0);
  EXPECT_FALSE(s.thread_count.has_value());
  ASSERT_TRUE(save_mode(path_, true));
  ASSERT_TRUE(save_thread_count(path_, ""));
  ASSERT_TRUE(save_theme(path_, 7));
  EXPECT_EQ(contents(), G("[start]\r\n模式=真\r\n线程数=\r\n主题=7\r\n"));
}

TEST(ThemeNumbers, CycleFromAnyStoredNumber) {
  EXPECT_EQ(next_theme_number(0), 1);
  EXPECT_EQ(next_theme_number(24), 25);
  EXPECT_EQ(next_theme_number(25), 1);
  EXPECT_EQ(next_theme_number(26), 1);
  EXPECT_EQ(next_theme_number(-3), -2);
  EXPECT_EQ(next_theme_number(2147483647), 1);
}

#ifndef _WIN32  // the Windows folders are the system's known folders
TEST(Folders, FollowTheUserDirsFile) {
  const test::ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  std::ofstream(dir / "user-dirs.dirs")
      << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DOCUMENTS_DIR=\"/srv/docs/\"\n";
  const char* old_home = std::getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";
  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(desktop_folder(), "/home/someone/Bureau");
  EXPECT_EQ(documents_folder(), "/srv/docs");
  // The braced form, and a relative value, which falls back rather than naming a folder
  // relative to wherever the program was started.
  std::ofstream(dir / "user-dirs.dirs")
      << "XDG_DOCUMENTS_DIR=\"${HOME}/Docs\"\nXDG_DESKTOP_DIR=\"Desk\"\n";
  EXPECT_EQ(documents_folder(), "/home/someone/Docs");
  EXPECT_EQ(desktop_folder(), "/home/someone/Desktop");
  ::setenv("XDG_CONFIG_HOME", (dir / "none").c_str(), 1);
  EXPECT_EQ(documents_folder(), "/home/someone/Documents");
  EXPECT_EQ(settings_path("/d"), "/d/Orvane/Quorvex/Baifig.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", saved_home.c_str(), 1);
}
#endif

TEST_F(ProfileTest, WindowPlacementRoundTripsBesideTheStartKeys) {
  put(G("[start]\r\n主题=7\r\n"));
  EXPECT_FALSE(read_window_placement(path_).position);
  EXPECT_FALSE(read_window_placement(path_).size);
  EXPECT_FALSE(read_window_placement(path_).columns);
  WindowPlacement p;
  p.position = std::array<int, 2>{-8, 40};
  p.size = std::array<int, 2>{900, 650};
  p.columns = std::array<int, 5>{100, 300, 40, 40, 40};
  ASSERT_TRUE(save_window_placement(path_, p));
  const WindowPlacement back = read_window_placement(path_);
  EXPECT_EQ(back.position, p.position);
  EXPECT_EQ(back.size, p.size);
  EXPECT_EQ(back.columns, p.columns);
  EXPECT_EQ(read_settings(path_).theme_number, 7);  // the old keys stay as they were
  EXPECT_NE(
      contents().find("[window]\r\nposition=-8,40\r\nsize=900,650\r\ncolumns=100,300,40,40,40"),
      std::string::npos);
}

TEST_F(ProfileTest, DamagedWindowPlacementIsIgnoredPartByPart) {
  put("[window]\r\nposition=10\r\nsize=0,500\r\ncolumns=1,2,3,4,5,6\r\n");
  WindowPlacement p = read_window_placement(path_);
  EXPECT_FALSE(p.position);
  EXPECT_FALSE(p.size);
  EXPECT_FALSE(p.columns);
  put("[window]\r\nposition= 10 , 20 \r\nsize=800,x\r\ncolumns=100,-1,40,40,40\r\n");
  p = read_window_placement(path_);
  EXPECT_EQ(p.position, (std::array<int, 2>{10, 20}));
  EXPECT_FALSE(p.size);
  EXPECT_FALSE(p.columns);
  put("[window]\r\nsize=800,600,\r\ncolumns=9999999999,1,1,1,1\r\n");
  p = read_window_placement(path_);
  EXPECT_FALSE(p.size);
  EXPECT_FALSE(p.columns);
}

TEST(ErrorTexts, CommonFailuresAreSaidInChinese) {
  EXPECT_EQ(error_text_zh(ENOENT), "找不到该文件或文件夹");
  EXPECT_EQ(error_text_zh(EACCES), "没有访问权限");
  EXPECT_EQ(error_text_zh(ENOSPC), "磁盘已满");
  EXPECT_EQ(error_text_zh(EROFS), "磁盘是只读的");
  // The system's words, as the core passes them on, map the same way; others stay as they are.
  EXPECT_EQ(error_text_zh(std::string_view(std::strerror(ENOSPC))), "磁盘已满");
  EXPECT_EQ(error_text_zh(std::string_view("something else")), "something else");
  EXPECT_EQ(error_text_zh(ECONNREFUSED), std::strerror(ECONNREFUSED));
}

}  // namespace
}  // namespace quorvex
