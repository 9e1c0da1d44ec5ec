#pragma once

#include <filesystem>
#include <string>

namespace quorral {

// Where the codec's failure texts go; the ui shows each one in the plain message box.
class CMessageSink
{
public:
    virtual ~CMessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// Compresses the whole source file into a new gzip file (one member, no name, time zero, default
// level and strategy). False when the source cannot be read or the gzip file cannot be written
// completely; a partly written gzip file is removed then. Shows nothing.
bool GzipFile(const std::filesystem::path& sourcePath, const std::filesystem::path& gzipPath);

// Decompresses the whole gzip file into the destination, which is created or replaced only once
// the whole stream has been decoded and written: on failure an existing destination is untouched.
// Input that is not gzip data is copied unchanged. With showMessages and a sink, each failure is
// reported there. True when the destination was written.
bool GunzipFile(const std::filesystem::path& gzipPath, const std::filesystem::path& destinationPath,
                bool showMessages, CMessageSink* messages);

} // namespace quorral
