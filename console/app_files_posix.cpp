#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "console/app_files.h"

namespace {

// $NAME when it is an absolute path (the XDG rule: a relative one is ignored), else ~/fallback.
std::string XdgFolder(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return std::string(value) + "/quorvel";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/" + fallback + "/quorvel";
}

}  // namespace

std::string ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }
std::string DataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

PathKind KindOfPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? PathKind::Missing : PathKind::Other;
  if (S_ISREG(st.st_mode)) return PathKind::File;
  return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

std::optional<std::string> MakeFolders(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0755) == 0 || errno == EEXIST) continue;
    return part + ": " + std::strerror(errno);
  }
  if (KindOfPath(path) != PathKind::Folder) return path + ": " + std::strerror(ENOTDIR);
  return std::nullopt;
}

std::FILE* OpenUserFile(const std::string& path, const char* mode, std::string* why) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr && why != nullptr) *why = std::strerror(errno);
  return file;
}

std::optional<std::string> MoveFileOver(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return std::nullopt;
  return to + ": " + std::strerror(errno);
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

int64_t OpenFileSize(std::FILE* file) {
  struct stat st;
  if (::fstat(::fileno(file), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool CutFile(std::FILE* file, int64_t length) {
  return ::ftruncate(::fileno(file), static_cast<off_t>(length)) == 0;
}

std::optional<std::string> OpenFileGone(std::FILE* file, const std::string& path) {
  struct stat open;
  struct stat named;
  if (::fstat(::fileno(file), &open) != 0) return std::string(std::strerror(errno));
  if (::stat(path.c_str(), &named) != 0) {
    return errno == ENOENT ? std::string("文件已被删除") : std::string(std::strerror(errno));
  }
  if (open.st_dev != named.st_dev || open.st_ino != named.st_ino) {
    return std::string("文件已被移走或替换");
  }
  // Made read-only while open: whoever did so meant it to stay as it is (root could still write).
  if (S_ISREG(named.st_mode) && (named.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return std::string("文件已被设为只读");
  }
  return std::nullopt;
}

std::string UserName() {
  if (const passwd* entry = ::getpwuid(::geteuid())) return entry->pw_name;
  const char* name = std::getenv("USER");
  return name != nullptr ? name : "";
}

// SIGPIPE of a failed write goes to the thread that wrote: blocked here, it stays pending and is
// dropped with the thread.
void KeepBrokenPipesFromEndingTheProcess() {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}
