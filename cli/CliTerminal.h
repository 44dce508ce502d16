#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace cli {

// While it lives, every byte written to `stream` passes TerminalText on its way out, so no
// answer, name or message that zwhois prints can reach the terminal with a control character,
// whether the stream is a terminal or not. A UTF-8 sequence cut by a flush waits for its rest.
class TerminalGuard : public std::streambuf {
public:
    explicit TerminalGuard(std::ostream& stream);
    ~TerminalGuard() override;
    TerminalGuard(const TerminalGuard&) = delete;
    TerminalGuard& operator=(const TerminalGuard&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override;

private:
    void Pass(size_t count);

    std::ostream& stream_;
    std::streambuf* target_;
    std::string pending_;
};

} // namespace cli
