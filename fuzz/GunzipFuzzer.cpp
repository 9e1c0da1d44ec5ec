// Arbitrary bytes as a downloaded file, decoded over an existing destination the way the window
// stores a download: either the destination is the decoded file (or, for bytes that are not gzip,
// an exact copy) or it is untouched and the operator got a message; the folder never keeps a
// temporary file.
#include "gzip/GzipFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

constexpr std::string_view Previous = "what the destination held before\n";

class CMessages : public quorral::CMessageSink
{
public:
    void ShowMessage(const std::string& text) override { Count += text.empty() ? 0 : 1; }
    int Count = 0;
};

// One folder for the whole run, removed at exit.
struct CWorkFolder
{
    CWorkFolder()
    {
        // A name of its own, so that parallel fuzzing jobs never share a folder.
        std::random_device random;
        Path = fs::temp_directory_path() /
               ("gunzip-fuzz-" + std::to_string(random()) + "-" + std::to_string(random()));
        Check(fs::create_directories(Path));
    }
    ~CWorkFolder()
    {
        std::error_code error;
        fs::remove_all(Path, error);
    }
    fs::path Path;
};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out));
}

std::size_t EntryCount(const fs::path& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CWorkFolder work;
    const fs::path download = work.Path / "download.gz";
    const fs::path destination = work.Path / "destination";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    WriteAll(download, bytes);
    WriteAll(destination, Previous);

    CMessages messages;
    const bool stored = quorral::GunzipFile(download, destination, true, &messages);
    const std::string result = ReadAll(destination);
    Check(EntryCount(work.Path) == 2);
    if (!stored) {
        Check(result == Previous);
        Check(messages.Count == 1);
        return 0;
    }
    Check(messages.Count == 0);
    const bool gzipMagic = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
    if (!gzipMagic) {
        Check(result == bytes);
        return 0;
    }
    // What was decoded survives a round trip through the codec's own encoder.
    const fs::path again = work.Path / "again.gz";
    const fs::path back = work.Path / "back";
    Check(quorral::GzipFile(destination, again));
    Check(quorral::GunzipFile(again, back, true, &messages));
    Check(ReadAll(back) == result);
    fs::remove(again);
    fs::remove(back);
    return 0;
}
