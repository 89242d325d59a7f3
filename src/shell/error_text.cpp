#include "shell/error_text.h"

#include <cerrno>
#include <cstring>

namespace quorvex {

namespace {

struct Known {
  int code;
  const char* text;
};

constexpr Known kKnown[] = {
    {ENOENT, "找不到该文件或文件夹"},
    {EACCES, "没有访问权限"},
    {EPERM, "没有权限执行此操作"},
    {ENOSPC, "磁盘已满"},
#ifdef EDQUOT
    {EDQUOT, "磁盘配额已用完"},
#endif
    {EROFS, "磁盘是只读的"},
    {EISDIR, "这是一个文件夹"},
    {ENOTDIR, "路径中有一部分不是文件夹"},
    {EEXIST, "文件已存在"},
    {ENAMETOOLONG, "文件名太长"},
    {EMFILE, "打开的文件太多"},
    {ENFILE, "系统打开的文件太多"},
    {EIO, "读写磁盘时出错"},
    {EFBIG, "文件太大"},
    {EBUSY, "文件正被占用"},
#ifdef ETXTBSY
    {ETXTBSY, "文件正被占用"},
#endif
#ifdef ELOOP
    {ELOOP, "符号链接的层数太多"},
#endif
    {ENOMEM, "内存不足"},
};

}  // namespace

std::string error_text_zh(int code) {
  for (const Known& k : kKnown)
    if (k.code == code) return k.text;
  return std::strerror(code);
}

std::string error_text_zh(std::string_view system_text) {
  // A copy first: the text may live in strerror's own buffer, which the calls below reuse (on
  // Windows they do).
  const std::string text(system_text);
  for (const Known& k : kKnown)
    if (text == std::strerror(k.code)) return k.text;
  return text;
}

}  // namespace quorvex
