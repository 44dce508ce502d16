// The settings file: any file's lines read as keys, integers, fonts and window info; the whole
// record loaded, saved and loaded again gives the same record; single keys written and read
// back (through the file) give what was written.
//
// Input: the file's bytes; its last line also serves as a value to write.
#include "fuzz/FuzzCommon.h"
#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <strings.h>
#include <vector>

namespace {

const char* const kKeys[] = {"LASTHOST",    "LASTWHOIS",  "LASTUSER", "WHOISSWEEP", "RESOLVEIP",
                             "CODEINDES",   "INTERVAL",   "TIMEOUT",  "PINGCOUNT",  "AUTOCHANGE",
                             "TRACE-WHOIS", "PANELALIGN", "PINGDNS",  "SMTPEXPN",   "SHOWCLOCK",
                             "SHOWPANEL",   "WINDOWINFO", "MEMOFONT"};

void SameRecord(const TInitParam& a, const TInitParam& b) {
    FUZZ_CHECK(a.FWindowInfo == b.FWindowInfo);
    FUZZ_CHECK(a.FLastHost == b.FLastHost);
    FUZZ_CHECK(a.FLastWhois == b.FLastWhois);
    FUZZ_CHECK(a.FLastUser == b.FLastUser);
    FUZZ_CHECK(a.FPanelAlign == b.FPanelAlign);
    FUZZ_CHECK(a.FAutoChange == b.FAutoChange);
    FUZZ_CHECK(a.FWhoisSweep == b.FWhoisSweep);
    FUZZ_CHECK(a.FResolveIP == b.FResolveIP);
    FUZZ_CHECK(a.FCodeInDes == b.FCodeInDes);
    FUZZ_CHECK(a.FInterval == b.FInterval);
    FUZZ_CHECK(a.FTimeOut == b.FTimeOut);
    FUZZ_CHECK(a.FPingCount == b.FPingCount);
    FUZZ_CHECK(a.FMemoFont == b.FMemoFont);
    FUZZ_CHECK(a.FTraceWhois == b.FTraceWhois);
    FUZZ_CHECK(a.FPingDns == b.FPingDns);
    FUZZ_CHECK(a.FSmtpExpn == b.FSmtpExpn);
    FUZZ_CHECK(a.FShowClock == b.FShowClock);
    FUZZ_CHECK(a.FShowPanel == b.FShowPanel);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::ScratchPath("ini");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::WriteBytes(path, bytes);

    // Typed reads of every key: a malformed number is the only error.
    std::vector<std::string> lines;
    {
        TInitFile file(path);
        lines = file.Lines();
        for (const char* key : kKeys) {
            (void)file.ReadString(key, "");
            (void)file.ReadBool(key, false);
            try {
                (void)file.ReadInteger(key, 0);
            } catch (const EConvertError&) {
            }
            TFontRecord font;
            const TFontRecord before = font;
            try {
                file.ReadFont(key, font);
            } catch (const EConvertError&) {
                FUZZ_CHECK(font == before);
            }
            try {
                const TWindowInfo info = file.ReadWindowInfo(key);
                FUZZ_CHECK(info.State >= wsNormal && info.State <= wsMaximized);
            } catch (const EConvertError&) {
            }
        }
        FUZZ_CHECK(!file.Modified());
    }

    // The record survives a save and a load. Not when a key has two lines: clearing a value
    // removes only the first line, so a hand-made duplicate then reads in its place, as the
    // file format has it.
    bool duplicates = false;
    for (const char* key : kKeys) {
        int count = 0;
        for (const auto& line : lines) {
            const auto eq = line.find('=');
            if (eq != std::string::npos && eq == std::strlen(key) &&
                strncasecmp(line.c_str(), key, eq) == 0)
                ++count;
        }
        duplicates = duplicates || count > 1;
    }
    if (!duplicates) {
        TInitParam first;
        first.Load(path);
        first.Save();
        TInitParam second;
        second.Load(path);
        SameRecord(first, second);
        first.FFileName.clear();
        second.FFileName.clear();
    }

    // Single keys: a value (UTF-8, one line, no zero byte: a comma text ends there) written to the
    // file reads back the same, and the lines no key touches stay.
    fuzz::WriteBytes(path, bytes);
    std::string value = lines.empty() ? std::string("x") : lines.back();
    if (value.empty() || !platform::IsValidUtf8(value) ||
        value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        value = "x";
    const std::string key = value.size() % 2 ? "LASTHOST" : "MEMOFONT";
    TFontRecord font;
    font.Name = value;
    font.Charset = static_cast<std::uint8_t>(size);
    font.Color = static_cast<std::int32_t>(size * 2654435761u);
    font.Style = static_cast<TFontStyles>(size & 15);
    font.Size = -static_cast<std::int32_t>(size);
    font.Pitch = static_cast<TFontPitch>(size % 3);
    TWindowInfo info;
    info.Bounds = {static_cast<std::int32_t>(size) - 100, -7, INT32_MAX, INT32_MIN};
    info.State = static_cast<TWindowState>(size % 3);
    {
        TInitFile file(path);
        file.WriteString(key, value);
        file.WriteFont("FONTX", font);
        file.WriteWindowInfo("WINX", info);
        file.UpdateFile();
    }
    {
        TInitFile file(path);
        FUZZ_CHECK(file.ReadString(key, "") == value);
        TFontRecord read;
        read.Style = 0;
        file.ReadFont("FONTX", read);
        FUZZ_CHECK(read == font);
        FUZZ_CHECK(file.ReadWindowInfo("WINX") == info);
    }
    return 0;
}
