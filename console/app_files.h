#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// Where and how the console keeps the files it writes, per user: the configuration (quorvel.ini)
// and the data (records). Paths are UTF-8 text; on Windows the calls take them as wide characters,
// so a path with Chinese characters (a Chinese user name) works. Plain C files and the platform's
// own calls: the standard library's file system and stream classes would double the size of
// quorvel.exe. One backend per platform (app_files_posix.cpp, app_files_win32.cpp).

// POSIX: $XDG_CONFIG_HOME/quorvel (~/.config/quorvel) and $XDG_DATA_HOME/quorvel
// (~/.local/share/quorvel); Windows: %APPDATA%\Quorvel and %LOCALAPPDATA%\Quorvel.
std::string ConfigFolder();
std::string DataFolder();

// The path of a name inside a folder, with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder a path is in ("" when it has none).
std::string ParentFolder(const std::string& path);

enum class PathKind { Missing, File, Folder, Other };
PathKind KindOfPath(const std::string& path);

// Creates the folder and the folders above it; the reason when it cannot (a file standing where
// a folder should be, no permission, a disk that is full).
std::optional<std::string> MakeFolders(const std::string& path);
// As fopen; nullptr with the reason in `why` when it cannot be opened.
std::FILE* OpenUserFile(const std::string& path, const char* mode, std::string* why = nullptr);
// Puts a file in place of another, whole: a reader sees the old file or the new one, never part.
std::optional<std::string> MoveFileOver(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);

// The length of an open file in bytes; -1 when it cannot be told.
int64_t OpenFileSize(std::FILE* file);
// Cuts an open file back to a length: the part of a line a full disk took is not left behind.
bool CutFile(std::FILE* file, int64_t length);
// Why an open file must not be written on: its path no longer names it (deleted, moved, replaced)
// or it has been made read-only; nullopt while it may be.
std::optional<std::string> OpenFileGone(std::FILE* file, const std::string& path);
// The login name of the user the console runs as ("" when the system does not say).
std::string UserName();
// A write of this thread to a pipe nobody reads any more (a capture piped into a program that
// has ended) fails with an error instead of ending the process.
void KeepBrokenPipesFromEndingTheProcess();
