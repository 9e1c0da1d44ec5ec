// One transfer through the window's own engine against a till, timed:
//   quorral_transfer_driver up|down PORT FILE [NAME]
// `up` sends FILE to the till under NAME; `down` fetches NAME into FILE. Prints the seconds taken.
#include "link/CommandChannel.h"
#include "link/TillCommands.h"
#include "link/Transfer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace quorral;

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s up|down PORT FILE [NAME]\n", argv[0]);
        return 2;
    }
    const std::string direction = argv[1];
    const std::filesystem::path file = argv[3];
    const std::string name = argc > 4 ? argv[4] : file.filename().string();
    CCommandChannel channel(
        std::chrono::seconds(120)); // the till compresses the whole file before it answers
    channel.Connect("127.0.0.1", PortFromText(argv[2]));
    const auto start = std::chrono::steady_clock::now();
    const auto quiet = [](std::int64_t, std::int64_t) {};
    bool ok = false;
    if (direction == "up") {
        const CUploadResult result = UploadFile(channel, file, name, quiet);
        ok = result.Status == CUploadStatus::Sent && IsOkReply(result.Reply);
    } else {
        channel.SendCommand(GetFileCommand(name));
        const std::optional<std::int32_t> size = ReadFileReplySize(channel.ReadReply());
        ok = size && DownloadFile(channel, *size, file, nullptr, quiet) == CDownloadStatus::Written;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", seconds);
    return ok ? 0 : 1;
}
