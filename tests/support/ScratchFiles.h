#pragma once

// Files for tests: a scratch folder of a test's own, and whole-file reads and writes.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace quorral::test {

// A folder of its own below the system's temporary folder, removed with everything in it.
class CScratchFolder
{
public:
    explicit CScratchFolder(const std::string& purpose)
    {
        std::random_device random;
        FPath =
            std::filesystem::temp_directory_path() / ("quorral-" + purpose + "-" + std::to_string(random()));
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes that do not compress, the same for the same seed.
inline std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

} // namespace quorral::test
