#include "cli/CliTerminal.h"

#include "cli/CliOutput.h"

namespace cli {

namespace {

// Bytes at the end of text that begin a UTF-8 sequence whose rest has not come yet.
size_t UnfinishedTail(const std::string& text) {
    for (size_t k = 1; k <= 3 && k <= text.size(); ++k) {
        const auto b = static_cast<unsigned char>(text[text.size() - k]);
        if ((b & 0xC0) == 0x80)
            continue;
        const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return need > k ? k : 0;
    }
    return 0;
}

// Large outputs go out in pieces of about this size.
constexpr size_t kPassAt = 64 * 1024;

} // namespace

TerminalGuard::TerminalGuard(std::ostream& stream) : stream_(stream), target_(stream.rdbuf()) {
    stream_.rdbuf(this);
}

TerminalGuard::~TerminalGuard() {
    Pass(pending_.size());
    target_->pubsync();
    stream_.rdbuf(target_);
}

TerminalGuard::int_type TerminalGuard::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        pending_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
}

std::streamsize TerminalGuard::xsputn(const char* bytes, std::streamsize count) {
    pending_.append(bytes, static_cast<size_t>(count));
    if (pending_.size() >= kPassAt)
        Pass(pending_.size() - UnfinishedTail(pending_));
    return count;
}

int TerminalGuard::sync() {
    Pass(pending_.size() - UnfinishedTail(pending_));
    return target_->pubsync();
}

void TerminalGuard::Pass(size_t count) {
    if (count == 0)
        return;
    const std::string shown = TerminalText(std::string_view(pending_).substr(0, count));
    target_->sputn(shown.data(), static_cast<std::streamsize>(shown.size()));
    pending_.erase(0, count);
}

} // namespace cli
