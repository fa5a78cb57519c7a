#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstring>

#include "console/app_files.h"
#include "console/wide_text_win32.h"

std::wstring WideOf(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Utf8Of(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

namespace {

// The system's words for an error, in the user's language.
std::string Words(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string words = length > 0 ? Utf8Of(text) : "Win32 error " + std::to_string(code);
  LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) {
    words.pop_back();
  }
  return words;
}

// %NAME%\Quorvel, read as wide characters.
std::string KnownFolder(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return JoinPath(value != nullptr ? Utf8Of(value) : ".", "Quorvel");
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string ConfigFolder() { return KnownFolder(L"APPDATA"); }
std::string DataFolder() { return KnownFolder(L"LOCALAPPDATA"); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

std::string ParentFolder(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

PathKind KindOfPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideOf(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? PathKind::Missing
                                                                         : PathKind::Other;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

std::optional<std::string> MakeFolders(const std::string& path) {
  // From the first folder below the drive or share: "C:\", "\\server\share\" are there already.
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && !IsSeparator(path[at])) continue;
    const std::string part = path.substr(0, at);
    if (part.size() <= 3 && part.find(':') != std::string::npos) continue;
    if (KindOfPath(part) == PathKind::Folder) continue;
    if (CreateDirectoryW(WideOf(part).c_str(), nullptr) == FALSE &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      return part + ": " + Words(GetLastError());
    }
  }
  if (KindOfPath(path) != PathKind::Folder) return path + ": " + Words(ERROR_DIRECTORY);
  return std::nullopt;
}

std::FILE* OpenUserFile(const std::string& path, const char* mode, std::string* why) {
  std::FILE* file = _wfopen(WideOf(path).c_str(), WideOf(mode).c_str());
  if (file == nullptr && why != nullptr) *why = std::strerror(errno);
  return file;
}

std::optional<std::string> MoveFileOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(WideOf(from).c_str(), WideOf(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
    return std::nullopt;
  }
  return to + ": " + Words(GetLastError());
}

void RemoveFile(const std::string& path) { DeleteFileW(WideOf(path).c_str()); }

int64_t OpenFileSize(std::FILE* file) { return _filelengthi64(_fileno(file)); }

bool CutFile(std::FILE* file, int64_t length) { return _chsize_s(_fileno(file), length) == 0; }

// Windows refuses to delete or move a file that is open without sharing, so only the
// attributes can change under it.
std::optional<std::string> OpenFileGone(std::FILE*, const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideOf(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::string("文件已被删除");
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return std::string("文件已被设为只读");
  return std::nullopt;
}

std::string UserName() {
  const wchar_t* name = _wgetenv(L"USERNAME");
  return name != nullptr ? Utf8Of(name) : std::string();
}

void KeepBrokenPipesFromEndingTheProcess() {}  // Windows has no such signal
