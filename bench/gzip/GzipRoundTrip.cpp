// One compression and one decompression of a file, for measuring peak memory from outside
// (/usr/bin/time -v). Usage: quorral_gzip_roundtrip <source> <work folder>
#include "gzip/GzipFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source> <work folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path source = argv[1];
    const std::filesystem::path packed = std::filesystem::path(argv[2]) / "roundtrip.gz";
    const std::filesystem::path restored = std::filesystem::path(argv[2]) / "roundtrip.out";
    if (!quorral::GzipFile(source, packed) || !quorral::GunzipFile(packed, restored, false, nullptr)) {
        std::fprintf(stderr, "round trip failed\n");
        return 1;
    }
    std::error_code error;
    const bool same =
        std::filesystem::file_size(source, error) == std::filesystem::file_size(restored, error);
    std::filesystem::remove(packed, error);
    std::filesystem::remove(restored, error);
    return same ? 0 : 1;
}
