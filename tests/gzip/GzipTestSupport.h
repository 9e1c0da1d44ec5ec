#pragma once

#include "gzip/GzipFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace quorral::testing {

namespace fs = std::filesystem;

// A fresh folder per test, removed with everything in it afterwards.
class CTempFolder
{
public:
    CTempFolder()
    {
        std::random_device device;
        for (;;) {
            Path = fs::temp_directory_path() / ("quorral-gzip-test-" + std::to_string(device()));
            if (fs::create_directory(Path)) {
                break;
            }
        }
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    ~CTempFolder()
    {
        std::error_code ignored;
        fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(Path, ignored);
    }
    const fs::path& Get() const { return Path; }
    fs::path operator/(const fs::path& name) const { return Path / name; }

private:
    fs::path Path;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// nullopt when the file cannot be read (missing, a folder).
inline std::optional<std::string> ReadBytes(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Empty when equal; otherwise where they part, without printing megabytes of data.
inline std::string Mismatch(const std::optional<std::string>& actual, const std::string& expected)
{
    if (!actual) {
        return "no file";
    }
    if (*actual == expected) {
        return "";
    }
    const auto parted = std::mismatch(actual->begin(), actual->end(), expected.begin(), expected.end());
    return "sizes " + std::to_string(actual->size()) + " and " + std::to_string(expected.size()) +
           ", first difference at " + std::to_string(parted.first - actual->begin());
}

// Lines of till-like sales records: compresses roughly as real transfer files do.
inline std::string CompressibleBytes(std::size_t size, std::uint32_t seed = 1)
{
    std::mt19937 random(seed);
    static const char* const Items[] = {"COFFEE", "TEA", "BAGEL", "MUFFIN", "WATER", "SANDWICH", "SALAD"};
    std::string out;
    out.reserve(size + 128);
    while (out.size() < size) {
        out += std::to_string(100000 + random() % 900000) + ";" + Items[random() % 7] + ";" +
               std::to_string(random() % 5 + 1) + ";" + std::to_string(random() % 2000) + "." +
               std::to_string(10 + random() % 90) + ";EUR\r\n";
    }
    out.resize(size);
    return out;
}

inline std::string RandomBytes(std::size_t size, std::uint64_t seed = 7)
{
    std::mt19937_64 random(seed);
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t bits = random();
        for (std::size_t j = 0; j < 8 && i + j < size; ++j) {
            out[i + j] = static_cast<char>(bits >> (8 * j));
        }
    }
    return out;
}

// What zlib's deflate makes of the data as a single gzip member at the default level and strategy,
// with zlib's default header (no name, no time): computed without the gz file interface.
inline std::string ReferenceGzip(const std::string& data)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

class CRecordingSink : public CMessageSink
{
public:
    void ShowMessage(const std::string& text) override { Texts.push_back(text); }
    std::vector<std::string> Texts;
};

inline std::set<std::string> FolderNames(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

inline std::string DecompressMessage(const fs::path& gzipPath)
{
    return "Failed to decompress file:\n\n" + gzipPath.string();
}

inline std::string WriteMessage(const fs::path& destinationPath)
{
    return "Failed to write file:\n\n" + destinationPath.string();
}

} // namespace quorral::testing
