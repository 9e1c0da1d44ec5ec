#include "gzip/GzipFile.h"

#include "GzipTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QUORRAL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORRAL_ASAN 1
#endif
#endif

#ifdef _WIN32
#include "gzip/NativeFile.h"
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quorral::testing {
namespace {

class GzipFileTest : public ::testing::Test
{
protected:
    CTempFolder Folder;
    CRecordingSink Sink;
};

// ---------------------------------------------------------------------------------------------
// Round trips

struct CRoundTripCase
{
    const char* Name;
    std::function<std::string()> Make;
};

std::string PrintCaseName(const ::testing::TestParamInfo<CRoundTripCase>& info)
{
    return info.param.Name;
}

void PrintTo(const CRoundTripCase& test, std::ostream* out)
{
    *out << test.Name;
}

class GzipRoundTripTest : public ::testing::TestWithParam<CRoundTripCase>
{
protected:
    CTempFolder Folder;
    CRecordingSink Sink;
};

TEST_P(GzipRoundTripTest, MakesTheDefaultGzipMemberAndRestoresEveryByte)
{
    const std::string data = GetParam().Make();
    WriteBytes(Folder / "source.bin", data);

    ASSERT_TRUE(GzipFile(Folder / "source.bin", Folder / "packed.gz"));
    const std::optional<std::string> packed = ReadBytes(Folder / "packed.gz");
    ASSERT_TRUE(packed);
    ASSERT_GE(packed->size(), 18u);
    // The peer reads exactly what zlib writes by default: no name, time zero, default level.
    EXPECT_EQ(static_cast<unsigned char>((*packed)[3]), 0u) << "header flags";
    EXPECT_EQ(packed->substr(4, 4), std::string(4, '\0')) << "modification time";
    EXPECT_EQ(Mismatch(packed, ReferenceGzip(data)), "");

    ASSERT_TRUE(GunzipFile(Folder / "packed.gz", Folder / "restored.bin", true, &Sink));
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{});
    EXPECT_EQ(Mismatch(ReadBytes(Folder / "restored.bin"), data), "");
    EXPECT_EQ(FolderNames(Folder.Get()), (std::set<std::string>{"packed.gz", "restored.bin", "source.bin"}));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GzipRoundTripTest,
    ::testing::Values(CRoundTripCase{"Empty", [] { return std::string(); }},
                      CRoundTripCase{"OneByte", [] { return std::string(1, '\x1f'); }},
                      CRoundTripCase{"HundredThousandBytes", [] { return CompressibleBytes(100000); }},
                      // Several transfer buffers' worth, so chunk boundaries are crossed.
                      CRoundTripCase{"LargeCompressible",
                                     [] { return CompressibleBytes(6 * 1024 * 1024 + 3); }},
                      CRoundTripCase{"LargeRandom", [] { return RandomBytes(3 * 1024 * 1024 + 5); }}),
    PrintCaseName);

TEST_F(GzipFileTest, AValidStreamOfNoBytesReplacesTheDestinationWithAnEmptyFile)
{
    WriteBytes(Folder / "empty.bin", "");
    ASSERT_TRUE(GzipFile(Folder / "empty.bin", Folder / "empty.gz"));
    WriteBytes(Folder / "out.bin", "previous contents");

    EXPECT_TRUE(GunzipFile(Folder / "empty.gz", Folder / "out.bin", true, &Sink));
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{});
    EXPECT_EQ(ReadBytes(Folder / "out.bin"), std::string());
}

TEST_F(GzipFileTest, InputThatIsNotGzipIsCopiedUnchanged)
{
    std::string noMagic = RandomBytes(300000);
    noMagic[0] = 'x';
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"text", "just a plain text file\r\n"},
        {"lone first magic byte", std::string(1, '\x1f')},
        {"first magic byte then other", std::string("\x1f\x8a\x08\x00", 4)},
        {"binary over several buffers", noMagic},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        WriteBytes(Folder / "input", bytes);
        EXPECT_TRUE(GunzipFile(Folder / "input", Folder / "output", true, &Sink));
        EXPECT_EQ(Mismatch(ReadBytes(Folder / "output"), bytes), "");
    }
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{});
}

TEST_F(GzipFileTest, ConcatenatedMembersDecodeAsOneFile)
{
    std::string both = ReferenceGzip("first part, ") + ReferenceGzip("second part");
    WriteBytes(Folder / "two.gz", both);
    EXPECT_TRUE(GunzipFile(Folder / "two.gz", Folder / "out", true, &Sink));
    EXPECT_EQ(ReadBytes(Folder / "out"), "first part, second part");
}

// ---------------------------------------------------------------------------------------------
// Decompression failures

struct CBrokenStream
{
    const char* Name;
    // nullopt: no gzip file at all.
    std::function<std::optional<std::string>(const std::string& valid)> Make;
};

std::string Flipped(std::string bytes, std::size_t at)
{
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    return bytes;
}

const std::vector<CBrokenStream>& BrokenStreams()
{
    static const std::vector<CBrokenStream> streams = {
        {"missing file", [](const std::string&) { return std::nullopt; }},
        {"zero bytes", [](const std::string&) { return std::string(); }},
        {"header only", [](const std::string& valid) { return valid.substr(0, 10); }},
        // Cut far enough in that several buffers were decoded and written before the end shows.
        {"cut in the middle", [](const std::string& valid) { return valid.substr(0, valid.size() / 2); }},
        {"last trailer byte missing",
         [](const std::string& valid) { return valid.substr(0, valid.size() - 1); }},
        {"flipped data byte", [](const std::string& valid) { return Flipped(valid, valid.size() / 2); }},
        {"wrong checksum", [](const std::string& valid) { return Flipped(valid, valid.size() - 8); }},
        {"wrong length", [](const std::string& valid) { return Flipped(valid, valid.size() - 4); }},
    };
    return streams;
}

TEST_F(GzipFileTest, ABrokenStreamGivesTheDecompressionMessageAndWritesNothing)
{
    const std::string valid = ReferenceGzip(CompressibleBytes(1500000));
    const fs::path gzipPath = Folder / "download.gz";
    const fs::path destination = Folder / "report.csv";
    for (const CBrokenStream& stream : BrokenStreams()) {
        for (const bool destinationExists : {false, true}) {
            SCOPED_TRACE(std::string(stream.Name) + (destinationExists ? ", destination exists" : ""));
            fs::remove(gzipPath);
            fs::remove(destination);
            if (const std::optional<std::string> bytes = stream.Make(valid)) {
                WriteBytes(gzipPath, *bytes);
            }
            if (destinationExists) {
                WriteBytes(destination, "the operator's file");
            }
            const std::set<std::string> before = FolderNames(Folder.Get());
            Sink.Texts.clear();

            EXPECT_FALSE(GunzipFile(gzipPath, destination, true, &Sink));
            EXPECT_EQ(Sink.Texts, std::vector<std::string>{DecompressMessage(gzipPath)});
            EXPECT_EQ(FolderNames(Folder.Get()), before);
            EXPECT_EQ(ReadBytes(destination),
                      destinationExists ? std::optional<std::string>("the operator's file") : std::nullopt);
        }
    }
}

TEST_F(GzipFileTest, MessagesAreShownOnlyWhenAskedForAndASinkIsGiven)
{
    WriteBytes(Folder / "bad.gz", ReferenceGzip("some data").substr(0, 12));
    EXPECT_FALSE(GunzipFile(Folder / "bad.gz", Folder / "out", false, &Sink));
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{});
    EXPECT_FALSE(GunzipFile(Folder / "bad.gz", Folder / "out", true, nullptr));
    EXPECT_FALSE(GunzipFile(Folder / "bad.gz", Folder / "missing" / "out", false, nullptr));
    EXPECT_EQ(FolderNames(Folder.Get()), std::set<std::string>{"bad.gz"});
}

TEST_F(GzipFileTest, ACorruptStreamIsReportedAsSuchEvenWhenTheDestinationCannotBeWritten)
{
    WriteBytes(Folder / "bad.gz", ReferenceGzip(CompressibleBytes(400000)).substr(0, 20000));
    EXPECT_FALSE(GunzipFile(Folder / "bad.gz", Folder / "missing" / "out", true, &Sink));
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{DecompressMessage(Folder / "bad.gz")});
}

// ---------------------------------------------------------------------------------------------
// Destination failures and replacement

TEST_F(GzipFileTest, ADestinationThatCannotBeWrittenGivesTheWriteMessage)
{
    WriteBytes(Folder / "in.gz", ReferenceGzip(CompressibleBytes(300000)));
    fs::create_directories(Folder / "folder" / "inner");
    fs::create_directory(Folder / "empty folder");
    const std::vector<std::pair<const char*, fs::path>> cases = {
        {"in a missing folder", Folder / "missing" / "out.bin"},
        {"naming a folder", Folder / "folder"},
        {"naming an empty folder", Folder / "empty folder"},
        {"ending in a separator", Folder / "folder" / ""},
    };
    for (const auto& [name, destination] : cases) {
        SCOPED_TRACE(name);
        const std::set<std::string> before = FolderNames(Folder.Get());
        const std::set<std::string> beforeInside = FolderNames(Folder / "folder");
        Sink.Texts.clear();

        EXPECT_FALSE(GunzipFile(Folder / "in.gz", destination, true, &Sink));
        EXPECT_EQ(Sink.Texts, std::vector<std::string>{WriteMessage(destination)});
        EXPECT_EQ(FolderNames(Folder.Get()), before);
        EXPECT_EQ(FolderNames(Folder / "folder"), beforeInside);
        EXPECT_TRUE(fs::is_directory(Folder / "folder"));
        EXPECT_TRUE(fs::is_directory(Folder / "empty folder"));
    }
}

TEST_F(GzipFileTest, AnExistingDestinationIsReplacedAsAWholeAndKeepsItsAccessRights)
{
    WriteBytes(Folder / "in.gz", ReferenceGzip("short"));
    WriteBytes(Folder / "out.txt", CompressibleBytes(500000));
#ifdef _WIN32
    // Windows keeps no such rights bits; its one right, the read-only attribute, is refused below.
    const fs::perms rights = fs::status(Folder / "out.txt").permissions();
#else
    const fs::perms rights = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(Folder / "out.txt", rights);
#endif

    EXPECT_TRUE(GunzipFile(Folder / "in.gz", Folder / "out.txt", true, &Sink));
    EXPECT_EQ(ReadBytes(Folder / "out.txt"), "short");
    EXPECT_EQ(fs::status(Folder / "out.txt").permissions(), rights);
    EXPECT_EQ(FolderNames(Folder.Get()), (std::set<std::string>{"in.gz", "out.txt"}));
}

#ifndef _WIN32
TEST_F(GzipFileTest, ASymbolicLinkAtTheDestinationIsReplacedNotWrittenThrough)
{
    WriteBytes(Folder / "in.gz", ReferenceGzip("new contents"));
    WriteBytes(Folder / "target.txt", "the link's target");
    fs::create_symlink(Folder / "target.txt", Folder / "out.txt");

    EXPECT_TRUE(GunzipFile(Folder / "in.gz", Folder / "out.txt", true, &Sink));
    EXPECT_FALSE(fs::is_symlink(Folder / "out.txt"));
    EXPECT_EQ(ReadBytes(Folder / "out.txt"), "new contents");
    EXPECT_EQ(ReadBytes(Folder / "target.txt"), "the link's target");
}

#endif

TEST_F(GzipFileTest, AReadOnlyDestinationIsRefusedLikeATruncationWouldBe)
{
    WriteBytes(Folder / "in.gz", ReferenceGzip("new contents"));
    WriteBytes(Folder / "out.txt", "protected");
    fs::permissions(Folder / "out.txt", fs::perms::owner_read);
#ifdef _WIN32
    // Windows' read-only attribute binds administrators too, but Wine run by the superuser only
    // maps it onto permission bits that do not bind the superuser.
    if (OpenCFile(Folder / "out.txt", "ab")) {
        fs::permissions(Folder / "out.txt", fs::perms::owner_write, fs::perm_options::add);
        GTEST_SKIP() << "the read-only attribute does not bind this user";
    }
#else
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
#endif

    EXPECT_FALSE(GunzipFile(Folder / "in.gz", Folder / "out.txt", true, &Sink));
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{WriteMessage(Folder / "out.txt")});
    EXPECT_EQ(ReadBytes(Folder / "out.txt"), "protected");
    EXPECT_EQ(FolderNames(Folder.Get()), (std::set<std::string>{"in.gz", "out.txt"}));
    // Windows removes no read-only file, not even with its folder.
    fs::permissions(Folder / "out.txt", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(GzipFileTest, PathsLongerThanTheOldWindowsLimitWork)
{
    fs::path deep = Folder.Get();
    for (int level = 0; level < 8; ++level) {
        deep /= std::string(40, static_cast<char>('a' + level));
    }
    fs::create_directories(deep);
    const std::string data = CompressibleBytes(200000);
    WriteBytes(deep / "source file.csv", data);
    ASSERT_GT((deep / "source file.csv").string().size(), 300u);

    ASSERT_TRUE(GzipFile(deep / "source file.csv", deep / "packed file.csv.gz"));
    ASSERT_TRUE(GunzipFile(deep / "packed file.csv.gz", deep / "restored file.csv", true, &Sink));
    EXPECT_EQ(Mismatch(ReadBytes(deep / "restored file.csv"), data), "");
}

// ---------------------------------------------------------------------------------------------
// Compression failures

TEST_F(GzipFileTest, CompressionFailsWithoutLeavingOutputWhenItCannotReadOrWrite)
{
    WriteBytes(Folder / "source.bin", "data to keep");
    fs::create_directory(Folder / "a folder");
    const std::vector<std::tuple<const char*, fs::path, fs::path>> cases = {
        {"missing source", Folder / "missing.bin", Folder / "out.gz"},
        {"gzip file in a missing folder", Folder / "source.bin", Folder / "missing" / "out.gz"},
        {"gzip file naming a folder", Folder / "source.bin", Folder / "a folder"},
        {"source is a folder", Folder / "a folder", Folder / "out.gz"},
        {"source and gzip file are one file", Folder / "source.bin", Folder / "." / "source.bin"},
    };
    for (const auto& [name, source, gzipPath] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(GzipFile(source, gzipPath));
        EXPECT_EQ(FolderNames(Folder.Get()), (std::set<std::string>{"a folder", "source.bin"}));
        EXPECT_EQ(ReadBytes(Folder / "source.bin"), "data to keep");
    }
}

// ---------------------------------------------------------------------------------------------
// The gzip tool as the peer

#ifndef _WIN32
bool GzipToolPresent()
{
    return std::system("gzip --version >/dev/null 2>&1") == 0;
}

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

TEST_F(GzipFileTest, TheGzipToolAcceptsWhatWeWrite)
{
    if (!GzipToolPresent()) {
        GTEST_SKIP() << "no gzip tool";
    }
    for (const auto& [name, data] : std::vector<std::pair<const char*, std::string>>{
             {"empty", ""}, {"compressible", CompressibleBytes(700000)}, {"random", RandomBytes(400000)}}) {
        SCOPED_TRACE(name);
        WriteBytes(Folder / "source", data);
        ASSERT_TRUE(GzipFile(Folder / "source", Folder / "ours.gz"));
        EXPECT_EQ(Shell("gzip -t " + Quoted(Folder / "ours.gz")), 0);
        EXPECT_EQ(Shell("gzip -dc " + Quoted(Folder / "ours.gz") + " > " + Quoted(Folder / "theirs")), 0);
        EXPECT_EQ(Mismatch(ReadBytes(Folder / "theirs"), data), "");
    }
}

TEST_F(GzipFileTest, WeReadWhatTheGzipToolWrites)
{
    if (!GzipToolPresent()) {
        GTEST_SKIP() << "no gzip tool";
    }
    const std::string data = CompressibleBytes(900000);
    WriteBytes(Folder / "source", data);
    WriteBytes(Folder / "empty", "");
    // The tool, unlike zlib's writer, stores the name and time by default.
    const std::vector<std::tuple<const char*, std::string, const char*>> cases = {
        {"default, with name and time", "gzip -c", "source"},
        {"best compression, no name", "gzip -9 -n -c", "source"},
        {"fastest", "gzip -1 -c", "source"},
        {"empty file", "gzip -c", "empty"},
    };
    for (const auto& [name, tool, input] : cases) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Shell(tool + " " + Quoted(Folder / input) + " > " + Quoted(Folder / "tool.gz")), 0);
        EXPECT_TRUE(GunzipFile(Folder / "tool.gz", Folder / "restored", true, &Sink));
        EXPECT_EQ(Mismatch(ReadBytes(Folder / "restored"), std::string(input) == "empty" ? "" : data), "");
    }
    EXPECT_EQ(Sink.Texts, std::vector<std::string>{});
}

// ---------------------------------------------------------------------------------------------
// Resource limits, in a child process so the limit binds only the code under test

struct COutcome
{
    bool Finished = false;
    bool Result = false;
    std::vector<std::string> Messages;
};

COutcome RunInChild(const std::function<void()>& limit, const std::function<bool(CMessageSink&)>& body)
{
    int channel[2];
    if (::pipe(channel) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        limit();
        CRecordingSink sink;
        std::string report(1, body(sink) ? '1' : '0');
        for (const std::string& text : sink.Texts) {
            report += text;
            report += '\0';
        }
        const char* at = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t written = ::write(channel[1], at, left);
            if (written <= 0) {
                ::_exit(2);
            }
            at += written;
            left -= static_cast<std::size_t>(written);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char chunk[4096];
    for (ssize_t got; (got = ::read(channel[0], chunk, sizeof chunk)) > 0;) {
        report.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    COutcome outcome;
    outcome.Finished = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !report.empty();
    if (outcome.Finished) {
        outcome.Result = report[0] == '1';
        for (std::size_t start = 1, end; (end = report.find('\0', start)) != std::string::npos;
             start = end + 1) {
            outcome.Messages.push_back(report.substr(start, end - start));
        }
    }
    return outcome;
}

// A full disk as the process sees it: writes past the limit fail with EFBIG.
std::function<void()> FileSizeLimit(rlim_t bytes)
{
    return [bytes] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(3);
        }
    };
}

TEST_F(GzipFileTest, CompressionOntoAFullDiskFailsAndRemovesItsOutput)
{
    struct CCase
    {
        const char* Name;
        std::string Data;
        rlim_t Limit;
        bool Fits;
    };
    const std::vector<CCase> cases = {
        {"fails while streaming", RandomBytes(1000000), 256 * 1024, false},
        // All of it sits in zlib's buffers until the close writes it out.
        {"fails at the close", RandomBytes(100000), 50000, false},
        {"fits under the limit", RandomBytes(1000000), 4 * 1024 * 1024, true},
    };
    for (const CCase& test : cases) {
        SCOPED_TRACE(test.Name);
        WriteBytes(Folder / "source", test.Data);
        fs::remove(Folder / "out.gz");
        const COutcome outcome = RunInChild(FileSizeLimit(test.Limit), [&](CMessageSink&) {
            return GzipFile(Folder / "source", Folder / "out.gz");
        });
        ASSERT_TRUE(outcome.Finished);
        EXPECT_EQ(outcome.Result, test.Fits);
        EXPECT_EQ(fs::exists(Folder / "out.gz"), test.Fits);
        if (test.Fits) {
            EXPECT_TRUE(GunzipFile(Folder / "out.gz", Folder / "restored", true, &Sink));
            EXPECT_EQ(Mismatch(ReadBytes(Folder / "restored"), test.Data), "");
        }
    }
}

TEST_F(GzipFileTest, DecompressionOntoAFullDiskGivesTheWriteMessageAndKeepsTheDestination)
{
    const std::string data = CompressibleBytes(1000000);
    WriteBytes(Folder / "in.gz", ReferenceGzip(data));
    for (const auto& [limit, fits] :
         std::vector<std::pair<rlim_t, bool>>{{256 * 1024, false}, {2000000, true}}) {
        SCOPED_TRACE(limit);
        WriteBytes(Folder / "out.csv", "yesterday's report");
        const COutcome outcome = RunInChild(FileSizeLimit(limit), [&](CMessageSink& sink) {
            return GunzipFile(Folder / "in.gz", Folder / "out.csv", true, &sink);
        });
        ASSERT_TRUE(outcome.Finished);
        EXPECT_EQ(outcome.Result, fits);
        EXPECT_EQ(outcome.Messages, fits ? std::vector<std::string>{}
                                         : std::vector<std::string>{WriteMessage(Folder / "out.csv")});
        EXPECT_EQ(Mismatch(ReadBytes(Folder / "out.csv"), fits ? data : "yesterday's report"), "");
        EXPECT_EQ(FolderNames(Folder.Get()), (std::set<std::string>{"in.gz", "out.csv"}));
    }
}

// The sanitizer reserves far more address space than any limit worth setting.
#if defined(__linux__) && !defined(QUORRAL_ASAN)
// Allows the child only this much address space beyond what it already has.
std::function<void()> AddressSpaceHeadroom(rlim_t bytes)
{
    return [bytes] {
        std::ifstream statm("/proc/self/statm");
        unsigned long long pages = 0;
        statm >> pages;
        const rlim_t current = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
        const rlimit limit{current + bytes, current + bytes};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(3);
        }
    };
}

TEST_F(GzipFileTest, MemoryStaysFlatForAFileFarLargerThanTheAllowance)
{
    constexpr std::uintmax_t Size = 128u * 1024 * 1024;
    {
        std::ofstream create(Folder / "big.bin", std::ios::binary);
    }
    // Sparse: costs no disk, reads as zeros.
    fs::resize_file(Folder / "big.bin", Size);

    const COutcome outcome = RunInChild(AddressSpaceHeadroom(48u * 1024 * 1024), [&](CMessageSink& sink) {
        return GzipFile(Folder / "big.bin", Folder / "big.gz") &&
               GunzipFile(Folder / "big.gz", Folder / "restored.bin", true, &sink);
    });
    ASSERT_TRUE(outcome.Finished);
    EXPECT_TRUE(outcome.Result);
    EXPECT_EQ(outcome.Messages, std::vector<std::string>{});
    ASSERT_EQ(fs::file_size(Folder / "restored.bin"), Size);
    std::ifstream restored(Folder / "restored.bin", std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::uintmax_t nonZero = 0;
    while (restored.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || restored.gcount() > 0) {
        nonZero += static_cast<std::uintmax_t>(
            std::count_if(chunk.begin(), chunk.begin() + restored.gcount(), [](char c) { return c != 0; }));
    }
    EXPECT_EQ(nonZero, 0u);
}
#endif
#endif // _WIN32

} // namespace
} // namespace quorral::testing
