#include "CliOutput.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace quorral {
namespace {

// The length of the valid UTF-8 sequence at the start of `text` and its code point; 0 when the
// first byte does not begin one (overlong forms and surrogates included).
std::size_t Utf8Sequence(std::string_view text, std::uint32_t& codePoint)
{
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t at = 1; at < length; ++at) {
        const unsigned char next = byte(at);
        if (next < (at == 1 ? low : 0x80) || next > (at == 1 ? high : 0xBF)) {
            return 0;
        }
        codePoint = codePoint << 6 | (next & 0x3Fu);
    }
    return length;
}

std::string HexEscape(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04X", value);
    return text;
}

bool IsControl(std::uint32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    json.reserve(text.size() + 2);
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text, codePoint);
        if (length == 0) {
            json += HexEscape(static_cast<unsigned char>(text.front()));
            text.remove_prefix(1);
            continue;
        }
        switch (codePoint) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (codePoint < 0x20) {
                json += HexEscape(codePoint);
            } else {
                json.append(text.substr(0, length));
            }
        }
        text.remove_prefix(length);
    }
    return json + "\"";
}

void CJsonObject::Key(std::string_view key)
{
    if (FText.size() > 1) {
        FText += ",";
    }
    FText += JsonString(key) + ":";
}

CJsonObject& CJsonObject::Add(std::string_view key, std::string_view value)
{
    Key(key);
    FText += JsonString(value);
    return *this;
}

CJsonObject& CJsonObject::Add(std::string_view key, std::int64_t value)
{
    Key(key);
    FText += std::to_string(value);
    return *this;
}

CJsonObject& CJsonObject::Add(std::string_view key, bool value)
{
    Key(key);
    FText += value ? "true" : "false";
    return *this;
}

CJsonObject& CJsonObject::AddSeconds(std::string_view key, std::chrono::milliseconds value)
{
    Key(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value.count()) / 1000.0);
    FText += text;
    return *this;
}

CJsonObject& CJsonObject::AddRaw(std::string_view key, std::string_view json)
{
    Key(key);
    FText += json;
    return *this;
}

std::string Printable(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        if (text.substr(0, 2) == "\r\n") {
            shown += ": ";
            text.remove_prefix(2);
            continue;
        }
        std::uint32_t codePoint = 0;
        std::size_t length = Utf8Sequence(text, codePoint);
        if (length == 0) {
            // Not UTF-8: a single-byte character, which in the C1 range a terminal may obey.
            length = 1;
            codePoint = static_cast<unsigned char>(text.front());
        }
        if (IsControl(codePoint)) {
            shown += '?';
        } else {
            shown.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return shown;
}

std::string SecondsText(std::chrono::milliseconds elapsed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(elapsed.count()) / 1000.0);
    return text;
}

namespace {

constexpr const char* Units[] = {"B", "KB", "MB", "GB", "TB"};

// The unit that shows `bytes` with at most four digits before the point.
std::size_t UnitFor(std::int64_t bytes)
{
    std::size_t unit = 0;
    for (double value = static_cast<double>(bytes); value >= 1024.0 && unit + 1 < std::size(Units);
         value /= 1024.0) {
        ++unit;
    }
    return unit;
}

std::string InUnit(std::int64_t bytes, std::size_t unit)
{
    if (unit == 0) {
        return std::to_string(bytes);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f",
                  static_cast<double>(bytes) / static_cast<double>(std::int64_t{1} << (10 * unit)));
    return text;
}

} // namespace

std::string ByteSizeText(std::int64_t bytes)
{
    const std::size_t unit = UnitFor(bytes);
    return InUnit(bytes, unit) + " " + Units[unit];
}

std::string FormatTable(const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += column + 1 < row.size() ? Padded(row[column], widths[column]) + "  " : row[column];
        }
        table += line + "\n";
    }
    return table;
}

CProgressBar::CProgressBar(std::ostream& out, bool enabled, std::string label)
    : FOut(out), FEnabled(enabled), FLabel(std::move(label))
{}

CProgressBar::~CProgressBar()
{
    Finish();
}

void CProgressBar::Update(std::int64_t done, std::int64_t total)
{
    if (!FEnabled || total <= 0) {
        return;
    }
    constexpr int Width = 30;
    // Both counts in the total's unit: the text then changes about as often as the bar, not with
    // every piece while the first megabyte is still counted in kilobytes.
    const std::size_t unit = UnitFor(total);
    const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, total);
    const int filled = static_cast<int>(clamped * Width / total);
    const int percent = static_cast<int>(clamped * 100 / total);
    std::string text = FLabel + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(Width - filled), '.') + "] " +
                       std::to_string(percent) + "%  " + InUnit(clamped, unit) + " / " + InUnit(total, unit) +
                       " " + Units[unit];
    if (text == FShown) {
        return;
    }
    // Spaces wipe what a longer earlier text left behind.
    FOut << '\r' << Padded(text, FShown.size()) << std::flush;
    FShown = std::move(text);
}

void CProgressBar::Finish()
{
    if (!FShown.empty()) {
        FOut << '\r' << std::string(FShown.size(), ' ') << '\r' << std::flush;
        FShown.clear();
    }
}

CFleetStatus::CFleetStatus(std::ostream& out, bool enabled, std::size_t tills)
    : FOut(out), FEnabled(enabled), FTills(tills)
{}

CFleetStatus::~CFleetStatus()
{
    Finish();
}

void CFleetStatus::Moved(std::int64_t bytes)
{
    FBytes += bytes;
    Draw(false);
}

void CFleetStatus::Finished(bool succeeded)
{
    ++FDone;
    FFailed += succeeded ? 0 : 1;
    Draw(true);
}

void CFleetStatus::Draw(bool now)
{
    if (!FEnabled) {
        return;
    }
    const auto clock = std::chrono::steady_clock::now();
    if (!now && FDrawn && clock - FLastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    FLastDraw = clock;
    const std::string text = "tills: " + std::to_string(FDone) + "/" + std::to_string(FTills) + " done, " +
                             std::to_string(FFailed) + " failed, " + ByteSizeText(FBytes) + " moved";
    FOut << '\r' << Padded(text, FShownLength) << std::flush;
    FShownLength = std::max(FShownLength, text.size());
    FDrawn = true;
}

void CFleetStatus::Finish()
{
    if (FDrawn) {
        FOut << '\r' << std::string(FShownLength, ' ') << '\r' << std::flush;
        FDrawn = false;
        FShownLength = 0;
    }
}

} // namespace quorral
