// The platform layer as the programs use it, the same on Linux and (under Wine) on Windows: UTF-8
// names with Chinese in them, exclusive creation, replacing a file in one step, read-only files
// and the user's folders.
#include "base/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/scratch_dir.h"
#include "support/utf8_path.h"

namespace quorvex {
namespace {

std::string read_whole(const std::string& path) {
  std::FILE* f = open_file(path, "rb");
  if (!f) return "<missing>";
  std::string out;
  char buf[256];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  std::fclose(f);
  return out;
}

bool write_new(const std::string& path, const std::string& text, CreateMode mode) {
  const int fd = create_file(path, mode);
  if (fd < 0) return false;
  const bool ok = write_all(fd, text) && flush_to_disk(fd);
  return close_file(fd) && ok;
}

class PlatformFiles : public ::testing::Test {
 protected:
  std::string in_dir(const std::string& name) const {
    return test::utf8_name(dir_.path()) + "/" + name;
  }
  test::ScratchDir dir_;
};

TEST_F(PlatformFiles, ChineseNamesAreUtf8Everywhere) {
  const std::string folder = in_dir("有效链接/子文件夹");
  ASSERT_TRUE(make_folders(folder));
  const std::string file = folder + "/链接 2026.txt";
  ASSERT_TRUE(write_new(file, "内容\r\n", CreateMode::exclusive));
  EXPECT_EQ(read_whole(file), "内容\r\n");
  const PathInfo info = path_info(file);
  EXPECT_TRUE(info.exists && info.regular && !info.folder);
  EXPECT_EQ(info.size, 8u);
  EXPECT_TRUE(path_info(folder).folder);
  // The name is the one the system shows, not a mangled one.
  EXPECT_TRUE(std::filesystem::exists(test::utf8_path(file)));
  EXPECT_FALSE(path_info(in_dir("没有.txt")).exists);
  EXPECT_EQ(path_info(in_dir("没有.txt")).error, ENOENT);
}

TEST_F(PlatformFiles, ExclusiveCreationNeverTouchesAnExistingFile) {
  const std::string file = in_dir("导出.txt");
  ASSERT_TRUE(write_new(file, "first", CreateMode::exclusive));
  errno = 0;
  EXPECT_LT(create_file(file, CreateMode::exclusive), 0);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(read_whole(file), "first");
  ASSERT_TRUE(write_new(file, "2", CreateMode::truncate));
  EXPECT_EQ(read_whole(file), "2");
}

TEST_F(PlatformFiles, ReplacingPutsTheNewFileInPlaceInOneStep) {
  const std::string target = in_dir("设置.ini");
  const std::string temp = target + ".tmp";
  ASSERT_TRUE(write_new(target, "old", CreateMode::exclusive));
  ASSERT_TRUE(write_new(temp, "new", CreateMode::exclusive));
  ASSERT_TRUE(replace_file(temp, target));
  EXPECT_EQ(read_whole(target), "new");
  EXPECT_FALSE(path_info(temp).exists);
  // Onto a name that is not there yet, too; from one that is not there, a failure.
  ASSERT_TRUE(replace_file(target, in_dir("别处.ini")));
  EXPECT_EQ(read_whole(in_dir("别处.ini")), "new");
  EXPECT_FALSE(replace_file(temp, target));
  remove_file(in_dir("别处.ini"));
  EXPECT_FALSE(path_info(in_dir("别处.ini")).exists);
}

TEST_F(PlatformFiles, AReadOnlyFileIsSeenAsSuch) {
  const std::string file = in_dir("只读.ini");
  ASSERT_TRUE(write_new(file, "x", CreateMode::exclusive));
  EXPECT_FALSE(path_info(file).read_only);
  std::filesystem::permissions(test::utf8_path(file), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
  EXPECT_TRUE(path_info(file).read_only);
  std::filesystem::permissions(test::utf8_path(file), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST_F(PlatformFiles, FoldersThatCannotBeMadeFail) {
  const std::string file = in_dir("普通文件");
  ASSERT_TRUE(write_new(file, "x", CreateMode::exclusive));
  errno = 0;
  EXPECT_FALSE(make_folders(file + "/下面"));
  EXPECT_NE(errno, 0);
  EXPECT_TRUE(make_folders(in_dir("a/b/c")));
  EXPECT_TRUE(make_folders(in_dir("a/b/c")));  // again: it is there
}

TEST(PlatformUserFolders, AreWholePaths) {
  for (const UserFolder which : {UserFolder::documents, UserFolder::desktop, UserFolder::data}) {
    const std::string folder = user_folder(which);
    ASSERT_FALSE(folder.empty());
#ifdef _WIN32
    EXPECT_TRUE(folder.size() > 2 && folder[1] == ':') << folder;
#else
    EXPECT_EQ(folder.front(), '/') << folder;
#endif
  }
  EXPECT_FALSE(environment_variable("QUORVEX_SURELY_UNSET_VARIABLE").has_value());
}

TEST(PlatformTime, LocalTimeIsACalendarDate) {
  const std::tm tm = local_time(86400 * 365);
  EXPECT_TRUE(tm.tm_year == 70 || tm.tm_year == 71);
  EXPECT_GE(tm.tm_mday, 1);
}

}  // namespace
}  // namespace quorvex
