#pragma once

// The settings file and the settings record: a flat file of "name=value" lines next to the
// executable, read once when the main window is created and written once at exit.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// ---- Errors -------------------------------------------------------------------------------

// Every failure of the settings file; the message is the text shown to the user.
class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "ファイル %s は開けません": the file exists but cannot be read.
class EFOpenError : public ESettingsError {
public:
    explicit EFOpenError(const std::string& path);
};

// "ファイル %s を作成できません": the file cannot be written. Path and the errno of the
// failure (0 when unknown) are kept for a message that names the file and says why.
class EFCreateError : public ESettingsError {
public:
    explicit EFCreateError(const std::string& path, int error = 0);
    const std::string& Path() const { return FPath; }
    int Error() const { return FError; }

private:
    std::string FPath;
    int FError;
};

// "'%s' は整数ではありません": a value that should be an integer is not one.
class EConvertError : public ESettingsError {
public:
    explicit EConvertError(const std::string& text);
};

// ---- Plain records ------------------------------------------------------------------------

enum TFontPitch : int { fpDefault = 0, fpVariable = 1, fpFixed = 2 };

// Font styles as a bit set, with the bit values used in the file.
using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

// A system colour (window text) of the Windows toolkit: top bit set, index 8.
constexpr std::int32_t clWindowText = static_cast<std::int32_t>(0x80000008u);

// A font as stored in the settings; the window maps it to and from its toolkit's font.
// The defaults are the toolkit font of the Windows program on a Japanese system; a window
// may put its own default into the record before loading.
struct TFontRecord {
    std::string Name = "ＭＳ Ｐゴシック";
    std::uint8_t Charset = 128;
    std::int32_t Color = clWindowText; // 0x00BBGGRR, or a system colour with the top bit set
    TFontStyles Style = 0;
    std::int32_t Size = 9; // points
    TFontPitch Pitch = fpDefault;

    bool operator==(const TFontRecord&) const = default;
};

enum TWindowState : int { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    bool operator==(const TRect&) const = default;
};

struct TWindowInfo {
    TRect Bounds;
    TWindowState State = wsNormal;

    bool operator==(const TWindowInfo&) const = default;
};

// ---- Value encodings (pure, usable on their own) ------------------------------------------

namespace settings {

// Joins items with ","; an item holding a blank, a control character, a double quote or a
// comma is quoted with its quotes doubled. One empty item gives "\"\"".
std::string CommaText(const std::vector<std::string>& items);
// The reverse: blanks (codes 1 to 32) around items are skipped, quoted items keep their
// blanks and commas, a trailing comma adds no item, an empty text gives no items.
std::vector<std::string> SplitCommaText(std::string_view text);

// Reads a signed 32-bit integer: leading blanks, an optional sign, decimal digits or "$" and
// up to eight hexadecimal digits (taken as the 32-bit pattern, so "$80000008" is negative).
bool TryStrToInt(std::string_view text, std::int32_t& value);
// The same, throwing EConvertError with the text when it is not an integer.
std::int32_t StrToInt(std::string_view text);

// The main window as ApplyWindow and StoreWindow see it. Bounds are screen pixels.
class WindowFrame {
public:
    virtual ~WindowFrame() = default;
    virtual TWindowState WindowState() const = 0;
    virtual void SetWindowState(TWindowState state) = 0;
    // Left, Top, Right (Left plus width) and Bottom (Top plus height) of the normal window.
    virtual TRect BoundsRect() const = 0;
    virtual void SetBounds(int left, int top, int width, int height) = 0;
    // The whole primary screen, not the work area.
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
};

} // namespace settings

// ---- The settings file --------------------------------------------------------------------

// The lines of one settings file in memory, with typed reads and writes of single keys.
// Names match the text before a line's first "=", ignoring the case of ASCII letters; only
// the first matching line is read or replaced. Lines no key touches survive in place.
class TInitFile {
public:
    // Loads the file when it exists; throws EFOpenError when it exists but cannot be read.
    explicit TInitFile(const std::string& FileName);
    // Writes the lines back when FileName is not empty and something was written. A failure
    // here is reported on standard error; call UpdateFile first to handle it yourself.
    ~TInitFile();
    TInitFile(const TInitFile&) = delete;
    TInitFile& operator=(const TInitFile&) = delete;

    std::int32_t ReadInteger(const std::string& Name, std::int32_t Default) const;
    void WriteInteger(const std::string& Name, std::int32_t Value);
    bool ReadBool(const std::string& Name, bool Default) const;
    void WriteBool(const std::string& Name, bool Value);
    std::string ReadString(const std::string& Name, const std::string& Default) const;
    // An empty text removes the key's line.
    void WriteString(const std::string& Name, const std::string& Value);
    // Changes Font only when the value is a list of exactly six items; styles already set on
    // Font remain. Throws EConvertError (Font unchanged) when a number is malformed.
    void ReadFont(const std::string& Name, TFontRecord& Font) const;
    void WriteFont(const std::string& Name, const TFontRecord& Font);
    // A value that is not a list of five items gives normal and all-zero bounds; a state
    // code outside 0 to 2 reads as normal.
    TWindowInfo ReadWindowInfo(const std::string& Name) const;
    void WriteWindowInfo(const std::string& Name, const TWindowInfo& Info);

    // Writes the lines now when FileName is not empty and Modified is set; clears Modified.
    // Throws EFCreateError; the file on disk is then unchanged.
    void UpdateFile();

    const std::string& FileName() const { return FFileName; }
    bool Modified() const { return FModified; }
    const std::vector<std::string>& Lines() const { return FLines; }

private:
    // Index of the first line whose name matches, or -1.
    int IndexOfName(const std::string& Name) const;
    // The value of the first matching line; false when there is none.
    bool FindValue(const std::string& Name, std::string& Value) const;
    void WriteValue(const std::string& Name, const std::string& Value);

    std::string FFileName;
    bool FModified = false;
    std::vector<std::string> FLines;
};

// ---- The settings record ------------------------------------------------------------------

// The keys that a WHOIS chain depends on, read as the window reads them: a malformed number
// keeps its default.
struct TWhoisKeys {
    std::int32_t CodeInDes = 0; // CODEINDES
    std::int32_t TimeOut = 5;   // TIMEOUT, seconds
    bool UseRdap = true;        // RDAP
    std::int32_t Pace{};        // WHOISPACE, ms: the least time between two queries to one
                                // server in a zwhois bulk run
    std::string AsServer;       // ASSERVER: the IP-to-AS service a trace asks for hop owners
                                // (empty: the well-known public one)
};
TWhoisKeys ReadWhoisKeys(const TInitFile& file);
// The same from a file that may be missing or unreadable: the defaults then.
TWhoisKeys ReadWhoisKeys(const std::string& fileName);

class TInitParam {
public:
    TInitParam() = default;
    // Saves; a failure is reported on standard error and never ends the program.
    ~TInitParam();
    TInitParam(const TInitParam&) = delete;
    TInitParam& operator=(const TInitParam&) = delete;

    // Reads every key into its field. Never throws: an unreadable file gives every default,
    // a malformed integer leaves that key at its default and the keys after it are read.
    void Load(const std::string& FileName);
    // Writes the fields to FFileName (nothing when it is empty). Throws EFOpenError when the
    // existing file cannot be read (it is then left alone) and EFCreateError when it cannot
    // be written.
    void Save();
    // Gives the window the saved state and bounds, kept on the screen.
    void ApplyWindow(settings::WindowFrame& Form) const;
    // Takes the window's state, and its bounds unless it is maximized.
    void StoreWindow(const settings::WindowFrame& Form);

    std::string FFileName;
    TWindowInfo FWindowInfo;
    std::string FLastHost;
    std::string FLastWhois;
    std::string FLastUser;
    bool FPanelAlign = false;
    bool FAutoChange = false;
    bool FWhoisSweep = false;
    bool FResolveIP = false;
    std::int32_t FCodeInDes = 0; // 0 to 4 expected (4: UTF-8); the window falls back to 0 otherwise
    std::int32_t FInterval = 0;
    std::int32_t FTimeOut = 0;
    std::int32_t FPingCount = 0;
    TFontRecord FMemoFont;
    bool FTraceWhois = false;
    bool FPingDns = false;
    bool FSmtpExpn = false;
    bool FShowClock = false;
    bool FShowPanel = false;
    // The record's summary above the answer (key SHOWRECORD, on unless the file says 0).
    bool FShowRecord = true;
    // RDAP where port 43 cannot answer (key RDAP, on unless the file says 0).
    bool FUseRdap = true;
    // Each trace hop's owner in its own column (key SHOWOWNERS, on unless the file says 0),
    // asked of the IP-to-AS service ASSERVER (empty: the well-known public one).
    bool FShowOwners = true;
    std::string FAsServer;
};

// The program's settings record; the main window loads it from the path of its executable
// with the extension ".ini", and its destruction at exit writes the file.
extern TInitParam InitParam;
