// Replacing a file safely: a failed write (full disk, no permission) leaves the earlier file
// as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Writes data to a temporary file in the target's directory, flushes it to disk and renames
// it over the target. When the target is a symbolic link, the file it points to is replaced
// and the link stays. The new file keeps the permissions of the file it replaces (a new one
// gets 0666 less the umask). A target that is no regular file (a FIFO, a device such as
// /dev/null) is written into and stays what it is. When no file can be made in the target's
// directory, a writable existing file is rewritten in place without ever being left cut
// short. Whatever fails, the earlier file keeps its contents. False with the reason
// (strerror text) in `error`.
bool WriteFileReplacing(const std::string& path, std::string_view data, std::string& error);

// Whether path names an existing FIFO, device or socket (through links): no plain file.
bool IsSpecialFile(const std::string& path);

// Whether a file can be written at `path` before any work is done for it: the name is no
// directory and its directory exists and is writable. False with a reason in `error`.
bool CheckWriteTarget(const std::string& path, std::string& error);

// Whether anything (file, directory, device; a link that leads somewhere) is at `path`.
bool PathExists(const std::string& path);
// The question asked before a file at `path` is overwritten: "NAME is Found! OverWrite OK?"
// with the name without its folder.
std::string OverwriteQuestion(const std::string& path);
// Whether a file may be written at `path`: nothing is there, or `ask` (shown the overwrite
// question) agrees.
bool MayOverwrite(const std::string& path, const std::function<bool(const std::string&)>& ask);
