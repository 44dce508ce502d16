#include "settings/IniParam.h"

#include "platform/TextFile.h"

#include <cstdio>
#include <exception>
#include <system_error>

EFOpenError::EFOpenError(const std::string& path)
    : ESettingsError("ファイル " + path + " は開けません") {}

EFCreateError::EFCreateError(const std::string& path, int error)
    : ESettingsError("ファイル " + path + " を作成できません"), FPath(path), FError(error) {}

EConvertError::EConvertError(const std::string& text)
    : ESettingsError("'" + text + "' は整数ではありません") {}

namespace {

char AsciiUpper(char ch) {
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

bool SameNameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    }
    return true;
}

int PitchCode(TFontPitch pitch) {
    switch (pitch) {
    case fpVariable:
        return 1;
    case fpFixed:
        return 2;
    default:
        return 0;
    }
}

TFontPitch PitchFromCode(std::int32_t code) {
    switch (code) {
    case 1:
        return fpVariable;
    case 2:
        return fpFixed;
    default:
        return fpDefault;
    }
}

} // namespace

TInitFile::TInitFile(const std::string& FileName) : FFileName(FileName) {
    if (!FFileName.empty() && platform::FileExists(FFileName) &&
        !platform::ReadTextLines(FFileName, FLines))
        throw EFOpenError(FFileName);
    FModified = false;
}

TInitFile::~TInitFile() {
    try {
        UpdateFile();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
}

void TInitFile::UpdateFile() {
    if (FFileName.empty() || !FModified)
        return;
    // One attempt only: a failure here must not be repeated by the destructor.
    FModified = false;
    try {
        platform::WriteTextLines(FFileName, FLines);
    } catch (const std::system_error& e) {
        throw EFCreateError(FFileName, e.code().value());
    } catch (const std::exception&) {
        throw EFCreateError(FFileName);
    }
}

int TInitFile::IndexOfName(const std::string& Name) const {
    for (size_t i = 0; i < FLines.size(); ++i) {
        const std::string& line = FLines[i];
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (SameNameAscii(std::string_view(line).substr(0, eq), Name))
            return static_cast<int>(i);
    }
    return -1;
}

bool TInitFile::FindValue(const std::string& Name, std::string& Value) const {
    int i = IndexOfName(Name);
    if (i < 0)
        return false;
    const std::string& line = FLines[static_cast<size_t>(i)];
    Value = line.substr(line.find('=') + 1);
    return true;
}

void TInitFile::WriteValue(const std::string& Name, const std::string& Value) {
    int i = IndexOfName(Name);
    if (!Value.empty()) {
        std::string line = Name + "=" + Value;
        if (i >= 0)
            FLines[static_cast<size_t>(i)] = std::move(line);
        else
            FLines.push_back(std::move(line));
    } else if (i >= 0) {
        FLines.erase(FLines.begin() + i);
    }
    FModified = true;
}

std::int32_t TInitFile::ReadInteger(const std::string& Name, std::int32_t Default) const {
    std::string value;
    if (!FindValue(Name, value))
        return Default;
    return settings::StrToInt(value);
}

void TInitFile::WriteInteger(const std::string& Name, std::int32_t Value) {
    WriteValue(Name, std::to_string(Value));
}

bool TInitFile::ReadBool(const std::string& Name, bool Default) const {
    std::string value;
    if (!FindValue(Name, value))
        return Default;
    return value == "1";
}

void TInitFile::WriteBool(const std::string& Name, bool Value) {
    WriteValue(Name, Value ? "1" : "0");
}

std::string TInitFile::ReadString(const std::string& Name, const std::string& Default) const {
    std::string value;
    if (!FindValue(Name, value))
        return Default;
    return value;
}

void TInitFile::WriteString(const std::string& Name, const std::string& Value) {
    WriteValue(Name, Value);
}

void TInitFile::ReadFont(const std::string& Name, TFontRecord& Font) const {
    auto items = settings::SplitCommaText(ReadString(Name, ""));
    if (items.size() != 6)
        return;
    // Every number is converted before the font is touched, so a malformed value leaves the
    // font as it was instead of half changed.
    std::int32_t charset = settings::StrToInt(items[1]);
    std::int32_t color = settings::StrToInt(items[2]);
    std::int32_t style = settings::StrToInt(items[3]);
    std::int32_t size = settings::StrToInt(items[4]);
    std::int32_t pitch = settings::StrToInt(items[5]);
    Font.Name = items[0];
    Font.Charset = static_cast<std::uint8_t>(charset & 0xFF);
    Font.Color = color;
    Font.Style |= static_cast<TFontStyles>(style) & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
    Font.Size = size;
    Font.Pitch = PitchFromCode(pitch);
}

void TInitFile::WriteFont(const std::string& Name, const TFontRecord& Font) {
    char color[16];
    std::snprintf(color, sizeof color, "$%.6X", static_cast<std::uint32_t>(Font.Color));
    std::vector<std::string> items{
        Font.Name,
        std::to_string(Font.Charset),
        color,
        std::to_string(Font.Style & (fsBold | fsItalic | fsUnderline | fsStrikeOut)),
        std::to_string(Font.Size),
        std::to_string(PitchCode(Font.Pitch)),
    };
    WriteValue(Name, settings::CommaText(items));
}

TWindowInfo TInitFile::ReadWindowInfo(const std::string& Name) const {
    TWindowInfo info;
    auto items = settings::SplitCommaText(ReadString(Name, ""));
    if (items.size() != 5)
        return info;
    std::int32_t code = settings::StrToInt(items[0]);
    info.Bounds.Left = settings::StrToInt(items[1]);
    info.Bounds.Top = settings::StrToInt(items[2]);
    info.Bounds.Right = settings::StrToInt(items[3]);
    info.Bounds.Bottom = settings::StrToInt(items[4]);
    info.State = (code >= 0 && code <= 2) ? static_cast<TWindowState>(code) : wsNormal;
    return info;
}

void TInitFile::WriteWindowInfo(const std::string& Name, const TWindowInfo& Info) {
    int code = (Info.State >= wsNormal && Info.State <= wsMaximized) ? Info.State : 0;
    char value[64];
    std::snprintf(value, sizeof value, "%d,%d,%d,%d,%d", code, Info.Bounds.Left, Info.Bounds.Top,
                  Info.Bounds.Right, Info.Bounds.Bottom);
    WriteValue(Name, value);
}
