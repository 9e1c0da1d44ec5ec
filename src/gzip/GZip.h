#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct gzFile_s;

namespace quorral {

// The abstract compressor: a byte stream opened either for writing (compressing) or for reading
// (decompressing). Level and Strategy stay at the library's defaults for the life of the object.
class CZipper
{
public:
    static constexpr std::uint8_t ModeClosed = 0;
    static constexpr std::uint8_t ModeWrite = 1;
    static constexpr std::uint8_t ModeRead = 2;

    CZipper() = default;
    CZipper(const CZipper&) = delete;
    CZipper& operator=(const CZipper&) = delete;
    virtual ~CZipper() = default;

    virtual bool SetMode(std::uint8_t mode);
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool Write(const void* data, std::size_t length) = 0;
    virtual bool WriteString(const std::string& text) = 0;
    // Returns the number of bytes read, 0 at the end of the data and -1 on an error.
    virtual int Read(void* buffer, std::size_t length) = 0;
    // The whole remaining data in one buffer; false (and an empty buffer) on an error or when
    // there was nothing to read.
    virtual bool ReadAll(std::vector<char>& buffer) = 0;
    virtual int SetParams() = 0;

    std::uint8_t GetMode() const { return Mode; }
    std::int8_t GetLevel() const { return Level; }
    std::int8_t GetStrategy() const { return Strategy; }

protected:
    std::uint8_t Mode = ModeClosed;
    std::int8_t Level = -1;
    std::int8_t Strategy = 0;
};

// One handle of zlib's gzip file interface.
class CGZip : public CZipper
{
public:
    CGZip() = default;
    ~CGZip() override;

    // mode is ModeWrite or ModeRead; false when already open or the file cannot be opened.
    bool Open(const std::filesystem::path& path, std::uint8_t mode);

    bool Close() override;
    bool IsOpen() const override;
    bool Write(const void* data, std::size_t length) override;
    bool WriteString(const std::string& text) override;
    int Read(void* buffer, std::size_t length) override;
    bool ReadAll(std::vector<char>& buffer) override;
    int SetParams() override;

    gzFile_s* GetHandle() const { return Handle.get(); }
    // Size on disk of the gzip file when it was opened for reading.
    std::int64_t GetSourceSize() const { return SourceSize; }

private:
    struct CHandleCloser
    {
        void operator()(gzFile_s* handle) const;
    };

    std::unique_ptr<gzFile_s, CHandleCloser> Handle;
    std::int64_t SourceSize = 0;
};

} // namespace quorral
