#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace quorral {

// A JSON string literal, quotes included. Texts from tills are single-byte and may not be UTF-8:
// valid UTF-8 passes through, every other byte above 127 is taken as Latin-1 and written as \u00XX,
// so the output is always valid JSON.
std::string JsonString(std::string_view text);

// Builds one JSON object, keys in the order they are added.
class CJsonObject
{
public:
    CJsonObject& Add(std::string_view key, std::string_view value);
    CJsonObject& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value)); }
    CJsonObject& Add(std::string_view key, std::int64_t value);
    CJsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<std::int64_t>(value)); }
    CJsonObject& Add(std::string_view key, bool value);
    CJsonObject& AddSeconds(std::string_view key, std::chrono::milliseconds value);
    // `json` must already be valid JSON (an array or object built elsewhere).
    CJsonObject& AddRaw(std::string_view key, std::string_view json);
    std::string Text() const { return FText + "}"; }

private:
    void Key(std::string_view key);

    std::string FText = "{";
};

// Text from a till made safe for a terminal: control bytes, which could move the cursor or
// reprogram the terminal, become "?"; a CR LF inside (as in the socket errors) becomes ": ".
std::string Printable(std::string_view text);

// "0.25 s".
std::string SecondsText(std::chrono::milliseconds elapsed);
// "512 B", "10.0 KB", "9.5 MB".
std::string ByteSizeText(std::int64_t bytes);

// Columns padded to their widest cell, two spaces apart; the last column is not padded.
std::string FormatTable(const std::vector<std::vector<std::string>>& rows);

// A progress bar on one terminal line, redrawn only when what it shows changes.
class CProgressBar
{
public:
    CProgressBar(std::ostream& out, bool enabled, std::string label);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    void Update(std::int64_t done, std::int64_t total);
    // Clears the line, so that what follows starts on a clean one.
    void Finish();

private:
    std::ostream& FOut;
    bool FEnabled;
    std::string FLabel;
    std::string FShown;
};

// The one status line of a fleet run: tills done and failed, bytes moved. Redrawn at most every
// tenth of a second and whenever a till finishes.
class CFleetStatus
{
public:
    CFleetStatus(std::ostream& out, bool enabled, std::size_t tills);
    ~CFleetStatus();
    CFleetStatus(const CFleetStatus&) = delete;
    CFleetStatus& operator=(const CFleetStatus&) = delete;

    void Moved(std::int64_t bytes);
    void Finished(bool succeeded);
    void Finish();

private:
    void Draw(bool now);

    std::ostream& FOut;
    bool FEnabled;
    std::size_t FTills;
    std::size_t FDone = 0;
    std::size_t FFailed = 0;
    std::int64_t FBytes = 0;
    std::chrono::steady_clock::time_point FLastDraw{};
    bool FDrawn = false;
    std::size_t FShownLength = 0;
};

} // namespace quorral
