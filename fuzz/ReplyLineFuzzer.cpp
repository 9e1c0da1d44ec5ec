// Feeds arbitrary chunks to the reply line framer, with takes of raw bytes and clears in between, and
// checks it against a plain model of the receive buffer: the same lines, the same raw bytes, the same
// size. Every line is then read the way a reply is (cut at a NUL, unscrambled behind the marker).
#include "link/CommandChannel.h"
#include "link/LineBuffer.h"
#include "link/Scrambler.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

void CheckReply(const std::string& line)
{
    const std::string reply = quorral::ReplyFromLine(line);
    const std::string cut = line.substr(0, line.find('\0'));
    Check(reply.size() == cut.size());
    Check(reply.find('\0') == std::string::npos);
    const std::string_view marker(quorral::ScrambleMarker, quorral::ScrambleMarkerLength);
    if (std::string_view(cut).substr(0, marker.size()) == marker) {
        Check(std::string_view(reply).substr(0, marker.size()) == marker);
        std::string again = reply;
        quorral::ScrambleLine(again.data() + marker.size(), 0);
        Check(again == cut);
    } else {
        Check(reply == cut);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorral::CLineBuffer buffer;
    std::string model; // the unconsumed bytes, in order
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t op = data[at++];
        // The low bits pick the operation, the rest a length, so short inputs reach every path.
        const std::size_t length = op >> 2;
        switch (op & 3) {
        case 0: {
            const std::size_t count = length < size - at ? length : size - at;
            buffer.Append(reinterpret_cast<const char*>(data + at), count);
            model.append(reinterpret_cast<const char*>(data + at), count);
            at += count;
            break;
        }
        case 1: {
            const std::optional<std::string> line = buffer.TakeLine();
            const std::size_t end = model.find("\r\n");
            Check(line.has_value() == (end != std::string::npos));
            if (line) {
                Check(*line == model.substr(0, end));
                model.erase(0, end + 2);
                CheckReply(*line);
            }
            break;
        }
        case 2: {
            std::string raw(length, '\0');
            const std::size_t taken = buffer.Take(raw.data(), raw.size());
            Check(taken == (length < model.size() ? length : model.size()));
            Check(raw.compare(0, taken, model, 0, taken) == 0);
            model.erase(0, taken);
            break;
        }
        default:
            if (length == 0) {
                buffer.Clear();
                model.clear();
            }
            break;
        }
        Check(buffer.Size() == model.size());
        Check(buffer.Empty() == model.empty());
    }
    // Whatever is left frames exactly as the model says.
    for (std::size_t end = model.find("\r\n"); end != std::string::npos; end = model.find("\r\n")) {
        const std::optional<std::string> line = buffer.TakeLine();
        Check(line && *line == model.substr(0, end));
        model.erase(0, end + 2);
    }
    Check(!buffer.TakeLine().has_value());
    return 0;
}
