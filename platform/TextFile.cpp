#include "platform/TextFile.h"

#include "platform/Utf8.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// UTF-8 of U+FFFD, the stand-in for a byte sequence that cannot be decoded.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Owns one iconv descriptor; glibc descriptors carry shift state, so each call gets its own.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (ok())
            iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

[[noreturn]] void ThrowWriteError(const std::string& path, const char* what, int err) {
    // The errno travels with the text: a caller can say "disk full" in its own words.
    throw std::system_error(err, std::generic_category(), path + ": " + what);
}

// Writes everything or reports the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

// The file a write really replaces: a symbolic link is followed, so that the link stays a
// link and its target gets the new text.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real != nullptr) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Creates a fresh temporary file beside `target`. Mode 0666 lets the umask decide the
// permissions of a file that did not exist before.
int CreateTemp(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(::getpid()) + "-" +
                   std::to_string(counter.fetch_add(1));
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    if (bytes.empty())
        return out;
    IconvHandle cd("UTF-8", "CP932");
    if (!cd.ok()) {
        // Without the converter only ASCII can be trusted.
        for (char ch : bytes) {
            if (static_cast<unsigned char>(ch) < 0x80)
                out.push_back(ch);
            else
                out.append(kReplacement);
        }
        return out;
    }
    out.reserve(bytes.size() * 3 / 2 + 16);
    // iconv's prototype wants a non-const input pointer; it never writes through it.
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (an unmapped byte) or EINVAL (a lead byte cut off at the end): replace one
        // byte and go on, so no text after it is lost.
        out.append(kReplacement);
        ++in;
        --inLeft;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::string ToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return Cp932ToUtf8(bytes);
}

std::vector<std::string> SplitLines(std::string_view text, bool stopAtNul) {
    if (stopAtNul) {
        auto nul = text.find('\0');
        if (nul != std::string_view::npos)
            text = text.substr(0, nul);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    const size_t n = text.size();
    while (start < n) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < n && text[start] == '\n')
            ++start;
    }
    return lines;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        data.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // A folder opens but cannot be read: it is no text file.
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    bytes = std::move(data);
    return true;
}

namespace {

std::mutex gNotesLock;
std::vector<SkippedLines> gSkipped;

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 without its mark; a lone surrogate or a cut last unit becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) -> unsigned {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        unsigned cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    if (i < bytes.size())
        out += kReplacement;
    return out;
}

// Leaves out the lines that hold a zero byte and keeps their numbers.
std::vector<std::string> KeepTextLines(const std::string& path, std::vector<std::string> lines) {
    std::vector<std::string> kept;
    SkippedLines skipped{path, {}};
    for (size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].find('\0') == std::string::npos)
            kept.push_back(std::move(lines[k]));
        else
            skipped.lines.push_back(k + 1);
    }
    if (!skipped.lines.empty()) {
        std::lock_guard<std::mutex> lock(gNotesLock);
        gSkipped.push_back(std::move(skipped));
    }
    return kept;
}

} // namespace

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return false;
    std::string_view view(bytes);
    if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF")) {
        lines = KeepTextLines(path, SplitLines(Utf16ToUtf8(view.substr(2), view[0] == '\xFE'),
                                               /*stopAtNul=*/false));
        return true;
    }
    // A mark written by some editors would otherwise become part of the first line.
    if (view.starts_with(kUtf8Bom))
        view.remove_prefix(kUtf8Bom.size());
    // CR and LF are the same bytes in UTF-8 and CP932, so lines are split before decoding, and
    // the encoding is judged by the lines that are kept.
    std::vector<std::string> raw = KeepTextLines(path, SplitLines(view, /*stopAtNul=*/false));
    bool utf8 = true;
    for (const std::string& line : raw)
        utf8 = utf8 && IsValidUtf8(line);
    if (!utf8)
        for (std::string& line : raw)
            line = Cp932ToUtf8(line);
    lines = std::move(raw);
    return true;
}

std::vector<SkippedLines> TakeSkippedLines() {
    std::lock_guard<std::mutex> lock(gNotesLock);
    return std::exchange(gSkipped, {});
}

void WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string bytes;
    bytes.reserve(total + kUtf8Bom.size());
    // The reader drops one leading mark; a text that begins with the character itself keeps
    // it only behind a mark of its own.
    if (!lines.empty() && lines.front().starts_with(kUtf8Bom))
        bytes += kUtf8Bom;
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    WriteFileBytes(path, bytes);
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    if (path.empty())
        throw std::runtime_error("cannot write a file without a name");
    const std::string target = ResolveTarget(path);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        ThrowWriteError(path, "cannot replace", EISDIR);

    std::string tempPath;
    int fd = CreateTemp(target, tempPath);
    if (fd < 0)
        ThrowWriteError(path, "cannot create a temporary file", errno);

    auto fail = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(tempPath.c_str());
        ThrowWriteError(path, what, err);
    };

    if (int err = WriteAll(fd, bytes))
        fail("cannot write", err);
    if (existed) {
        // The new file takes the place of the old one, so it keeps its permissions and,
        // where allowed, its owner.
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            fail("cannot set the file mode", errno);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        }
    }
    if (::fsync(fd) != 0)
        fail("cannot flush", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tempPath.c_str());
        ThrowWriteError(path, "cannot close", err);
    }
    if (::rename(tempPath.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(tempPath.c_str());
        ThrowWriteError(path, "cannot replace", err);
    }
    // Make the rename itself durable; a failure here leaves a correct file, so it is ignored.
    int dirFd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace platform
