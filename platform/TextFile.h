#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Every text file of the program goes through here. Text inside the program is UTF-8;
// files written by the Windows program are CP932 and are decoded on reading.

// True when the bytes are valid UTF-8 (plain ASCII included).
bool IsValidUtf8(std::string_view bytes);
// CP932 (Shift-JIS with the Windows extensions) to UTF-8; undecodable bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);
// UTF-8 taken as it is when valid, otherwise decoded as CP932.
std::string ToUtf8(std::string_view bytes);

// Splits text into lines at CR LF, a lone CR or a lone LF. With stopAtNul, a zero byte ends
// the text. A final line end does not add an empty line.
std::vector<std::string> SplitLines(std::string_view text, bool stopAtNul = true);

// Reads the whole file into `lines` (UTF-8): UTF-8 with or without its byte-order mark,
// UTF-16 (little or big endian) with its mark, as Windows editors save "Unicode", else CP932.
// A line that holds a zero byte is no text: it is left out, the lines after it kept, and the
// file and line are kept for TakeSkippedLines. Returns false, leaving `lines` untouched, when
// the file cannot be opened or read (a folder).
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
// The lines left out since the last call, one entry per file read, oldest first. Any thread
// may read files; the front end that tells the user takes them.
struct SkippedLines {
    std::string path;
    std::vector<size_t> lines; // numbers from 1
};
std::vector<SkippedLines> TakeSkippedLines();
// Reads the whole file as raw bytes. Returns false when it cannot be opened.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Writes each line followed by CR LF, replacing the file safely: a temporary file in the
// same folder is written, flushed and renamed over the old one. An existing file keeps its
// mode; a symbolic link is followed and stays a link. Throws std::runtime_error when the file
// cannot be written; the old file is then left as it was and no temporary file remains.
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
// The same for raw bytes written exactly as given.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// True when the path names something other than a folder (a symbolic link is followed).
bool FileExists(const std::string& path);

} // namespace platform
