#include "settings/IniParam.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <exception>

namespace {

// A malformed number keeps its key at the default; the keys after it are still read.
std::int32_t ReadIntegerOr(const TInitFile& file, const std::string& name, std::int32_t dflt) {
    try {
        return file.ReadInteger(name, dflt);
    } catch (const EConvertError&) {
        return dflt;
    }
}

int ClampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

TWhoisKeys ReadWhoisKeys(const TInitFile& file) {
    TWhoisKeys keys;
    keys.CodeInDes = ReadIntegerOr(file, "CODEINDES", keys.CodeInDes);
    keys.TimeOut = ReadIntegerOr(file, "TIMEOUT", keys.TimeOut);
    keys.UseRdap = file.ReadBool("RDAP", keys.UseRdap);
    keys.Pace = ReadIntegerOr(file, "WHOISPACE", keys.Pace);
    keys.AsServer = file.ReadString("ASSERVER", keys.AsServer);
    return keys;
}

TWhoisKeys ReadWhoisKeys(const std::string& fileName) {
    try {
        return ReadWhoisKeys(TInitFile(fileName));
    } catch (const ESettingsError&) {
        return TWhoisKeys{};
    }
}

TInitParam::~TInitParam() {
    try {
        Save();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
}

void TInitParam::Load(const std::string& FileName) {
    FFileName = FileName;
    // The defaults stand for every key that cannot be read.
    FLastHost.clear();
    FLastWhois.clear();
    FLastUser.clear();
    FWhoisSweep = false;
    FResolveIP = false;
    FCodeInDes = 0;
    FInterval = 1000;
    // Seconds per probe: the time-out box's designed value. 500 would make each silent
    // router on a trace cost more than eight minutes.
    FTimeOut = 5;
    FPingCount = 5;
    FAutoChange = false;
    FTraceWhois = false;
    FPanelAlign = false;
    FPingDns = false;
    FSmtpExpn = false;
    FShowClock = false;
    FShowPanel = true;
    FShowRecord = true;
    FUseRdap = true;
    FShowOwners = true;
    FAsServer.clear();
    FWindowInfo = TWindowInfo{};
    try {
        TInitFile file(FileName);
        FLastHost = file.ReadString("LASTHOST", "");
        FLastWhois = file.ReadString("LASTWHOIS", "");
        FLastUser = file.ReadString("LASTUSER", "");
        FWhoisSweep = file.ReadBool("WHOISSWEEP", false);
        FResolveIP = file.ReadBool("RESOLVEIP", false);
        const TWhoisKeys whois = ReadWhoisKeys(file);
        FCodeInDes = whois.CodeInDes;
        FInterval = ReadIntegerOr(file, "INTERVAL", 1000);
        FTimeOut = whois.TimeOut;
        FPingCount = ReadIntegerOr(file, "PINGCOUNT", 5);
        FAutoChange = file.ReadBool("AUTOCHANGE", false);
        FTraceWhois = file.ReadBool("TRACE-WHOIS", false);
        FPanelAlign = file.ReadBool("PANELALIGN", false);
        FPingDns = file.ReadBool("PINGDNS", false);
        FSmtpExpn = file.ReadBool("SMTPEXPN", false);
        FShowClock = file.ReadBool("SHOWCLOCK", false);
        FShowPanel = file.ReadBool("SHOWPANEL", true);
        FShowRecord = file.ReadBool("SHOWRECORD", true);
        FUseRdap = whois.UseRdap;
        FShowOwners = file.ReadBool("SHOWOWNERS", true);
        FAsServer = whois.AsServer;
        try {
            FWindowInfo = file.ReadWindowInfo("WINDOWINFO");
        } catch (const EConvertError&) {
            FWindowInfo = TWindowInfo{};
        }
        try {
            file.ReadFont("MEMOFONT", FMemoFont);
        } catch (const EConvertError&) {
            // The font keeps its default.
        }
    } catch (const EFOpenError& e) {
        // The program comes up with the defaults; the save at exit will not overwrite a
        // file it could not read.
        std::fprintf(stderr, "%s\n", e.what());
    }
}

void TInitParam::Save() {
    if (FFileName.empty())
        return;
    TInitFile file(FFileName);
    file.WriteFont("MEMOFONT", FMemoFont);
    file.WriteWindowInfo("WINDOWINFO", FWindowInfo);
    file.WriteString("LASTHOST", FLastHost);
    file.WriteString("LASTWHOIS", FLastWhois);
    file.WriteString("LASTUSER", FLastUser);
    file.WriteBool("WHOISSWEEP", FWhoisSweep);
    file.WriteBool("RESOLVEIP", FResolveIP);
    file.WriteInteger("CODEINDES", FCodeInDes);
    file.WriteInteger("INTERVAL", FInterval);
    file.WriteInteger("TIMEOUT", FTimeOut);
    file.WriteInteger("PINGCOUNT", FPingCount);
    file.WriteBool("AUTOCHANGE", FAutoChange);
    file.WriteBool("TRACE-WHOIS", FTraceWhois);
    file.WriteBool("PANELALIGN", FPanelAlign);
    file.WriteBool("PINGDNS", FPingDns);
    file.WriteBool("SHOWCLOCK", FShowClock);
    file.WriteBool("SHOWPANEL", FShowPanel);
    file.WriteBool("RDAP", FUseRdap);
    file.WriteBool("SHOWRECORD", FShowRecord);
    file.WriteBool("SHOWOWNERS", FShowOwners);
    file.WriteString("ASSERVER", FAsServer);
    // SMTPEXPN is the user's switch and is never written.
    file.UpdateFile();
}

void TInitParam::ApplyWindow(settings::WindowFrame& Form) const {
    Form.SetWindowState(FWindowInfo.State);
    const TRect& b = FWindowInfo.Bounds;
    // Also the case when WINDOWINFO was missing or malformed: the window keeps its placement.
    if (Form.WindowState() == wsMaximized || b.Left >= b.Right)
        return;
    // 64-bit arithmetic: the file may hold any 32-bit numbers.
    std::int64_t left = b.Left;
    std::int64_t top = b.Top;
    std::int64_t width = std::int64_t{b.Right} - b.Left;
    std::int64_t height = std::int64_t{b.Bottom} - b.Top;
    const std::int64_t screenW = Form.ScreenWidth();
    const std::int64_t screenH = Form.ScreenHeight();
    if (width == 0)
        width = screenW / 3;
    // No window has a negative height; such a value counts as none.
    if (height <= 0)
        height = screenH / 3;
    if (left + width > screenW)
        left = screenW - width;
    if (left < 0)
        left = 0;
    if (top + height > screenH)
        top = screenH - height;
    if (top < 0)
        top = 0;
    Form.SetBounds(ClampToInt(left), ClampToInt(top), ClampToInt(width), ClampToInt(height));
}

void TInitParam::StoreWindow(const settings::WindowFrame& Form) {
    TWindowState state = Form.WindowState();
    // A maximized window keeps the bounds it was loaded with, to return to them next time.
    if (state != wsMaximized)
        FWindowInfo.Bounds = Form.BoundsRect();
    FWindowInfo.State = state;
}
