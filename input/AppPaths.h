// Where the program finds its own files: the executable's directory, the help pages
// (beside the executable in a build tree, under share/trazon/help when installed) and
// file:// URLs for them. No Qt here, so that trazon-cli can report the same places.
#pragma once

#include <string>

// Directory of the running executable, with a trailing '/'.
std::string ExecutableDir();
// True for an installed layout: exeDir is a ".../bin/" folder with ../share/trazon beside it.
bool IsInstalledLayout(const std::string& exeDir);
// The help folder, with a trailing '/': exeDir + "help/" when it holds the index page,
// otherwise exeDir + "../share/trazon/help/" (resolved) when that does; exeDir + "help/"
// when neither exists, so that a message can still name where the pages were looked for.
std::string HelpDir(const std::string& exeDir);
// Absolute file path of a help page.
std::string HelpPagePath(const std::string& exeDir, const std::string& page);
// "file://" URL of a help page, percent-encoded so that '#', '%', '?' and blanks in the
// program's path survive.
std::string HelpPageUrl(const std::string& exeDir, const std::string& page);
// "file://" URL of an absolute path, percent-encoded (RFC 3986 path characters kept).
std::string FileUrl(const std::string& path);
