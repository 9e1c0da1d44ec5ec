#include "TillTask.h"

#include "files/FileNames.h"
#include "gzip/GzipFile.h"
#include "link/TillCommands.h"

#include <system_error>

namespace quorral {
namespace {

namespace fs = std::filesystem;

// The codec's failure texts, kept to be reported with the till's row.
class CCollectedMessages final : public CMessageSink
{
public:
    void ShowMessage(const std::string& text) override { FText += FText.empty() ? text : "; " + text; }
    const std::string& Text() const { return FText; }

private:
    std::string FText;
};

void RequireSendable(const std::string& value)
{
    if (!IsSafeCommandValue(value)) {
        throw CUsageError("This name cannot be sent to the till: " + value);
    }
}

// Every name a till command takes is an entry of the till's current folder. A path would reach
// elsewhere on a till that takes it, which the name's owner did not ask for.
void RequireEntryName(const std::string& name)
{
    RequireSendable(name);
    if (!IsPlainFileName(name)) {
        throw CUsageError("Not a name in the till's folder (use --cd to go elsewhere): " + name);
    }
}

std::string TemporaryFolderText()
{
    const fs::path folder = TransferTemporaryFolder();
    return folder.empty() ? std::string("the temporary folder") : folder.string();
}

bool IsFolder(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

CTillOutcome Failure(CExitCode exit, std::string text)
{
    return CTillOutcome::Failure(exit, std::move(text));
}

// A reply that ends the task: a failure reply, with the till's own text, or no reply at all.
std::optional<CTillOutcome> ReplyProblem(const std::string& reply)
{
    if (IsFailedReply(reply)) {
        std::string text = FailedReplyText(reply);
        return Failure(CExitCode::TillFailed,
                       text.empty() ? "The till refused the command." : std::move(text));
    }
    if (reply.empty()) {
        return Failure(CExitCode::Connection, NoAnswerText);
    }
    return std::nullopt;
}

std::optional<CTillOutcome> Exchange(CCommandChannel& channel, const std::string& command, std::string& reply)
{
    channel.SendCommand(command);
    reply = channel.ReadReply();
    return ReplyProblem(reply);
}

CTillOutcome Download(CCommandChannel& channel, const CTillTask& task, const CTillAddress& till,
                      const CProgress& progress)
{
    fs::path destination = task.Local;
    if (task.FolderPerTill) {
        const fs::path folder = task.Local / TillFolderName(till);
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) {
            return Failure(CExitCode::LocalFile, "Cannot create " + folder.string() + ": " + error.message());
        }
        destination = folder / task.Name;
    }
    std::string reply;
    if (auto problem = Exchange(channel, GetFileCommand(task.Name), reply)) {
        return *problem;
    }
    const std::optional<std::int32_t> size = ReadFileReplySize(reply);
    if (!size) {
        // The window quietly does nothing here; a script must not take it for a copied file.
        return Failure(CExitCode::TillFailed, "The till sent no file.");
    }
    CCollectedMessages messages;
    switch (DownloadFile(channel, *size, destination, &messages, progress)) {
    case CDownloadStatus::NoTemporaryFile:
        return Failure(CExitCode::LocalFile,
                       "Cannot create a temporary file for the download in " + TemporaryFolderText());
    case CDownloadStatus::NotDecoded:
        return Failure(CExitCode::LocalFile,
                       messages.Text().empty() ? "Cannot write " + destination.string() : messages.Text());
    case CDownloadStatus::Written:
        break;
    }
    CTillOutcome outcome;
    outcome.Bytes = *size;
    outcome.Written = destination;
    return outcome;
}

CTillOutcome Upload(CCommandChannel& channel, const CTillTask& task, const CProgress& progress)
{
    const CUploadResult result = UploadFile(channel, task.Local, task.Name, progress);
    switch (result.Status) {
    case CUploadStatus::NotCompressed:
        return Failure(CExitCode::LocalFile, "Cannot read " + task.Local.string());
    case CUploadStatus::TemporaryUnwritable:
        return Failure(CExitCode::LocalFile, "Cannot write the temporary copy in " + TemporaryFolderText());
    case CUploadStatus::TemporaryUnreadable:
        return Failure(CExitCode::LocalFile, "Error opening temporary send file");
    case CUploadStatus::TooLarge:
        return Failure(CExitCode::LocalFile, "The file is too large to send to the till.");
    case CUploadStatus::NameTooLong:
        return Failure(CExitCode::Usage, "The file name is too long to send to the till.");
    case CUploadStatus::Sent:
        break;
    }
    if (IsOkReply(result.Reply)) {
        return {};
    }
    if (auto problem = ReplyProblem(result.Reply)) {
        return *problem;
    }
    return Failure(CExitCode::TillFailed, "The till did not confirm the upload.");
}

} // namespace

std::string TillFolderName(const CTillAddress& till)
{
    std::string name = till.Host;
    for (char& c : name) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '.' || c == '-';
        c = keep ? c : '_';
    }
    // A host of dots alone ("." or "..") would name this folder or its parent.
    if (name.find_first_not_of('.') == std::string::npos) {
        name = std::string(name.size(), '_');
    }
    return name + "_" + std::to_string(till.Port);
}

CTillTask PrepareTillTask(const CCliRequest& request)
{
    CTillTask task;
    task.Command = request.Command;
    const std::vector<std::string>& arguments = request.Arguments;
    if (request.ChangeFolder) {
        RequireSendable(*request.ChangeFolder);
        task.ChangeFolders.push_back(*request.ChangeFolder);
    }
    switch (request.Command) {
    case CCommand::Ls:
        if (!arguments.empty()) {
            RequireSendable(arguments[0]);
            task.ChangeFolders.push_back(arguments[0]);
        }
        break;
    case CCommand::Get: {
        task.Name = arguments[0];
        // The name comes back as a local file name: it must not reach outside the folder.
        if (!IsPlainFileName(task.Name)) {
            throw CUsageError("This name cannot be used for a local file: " + task.Name);
        }
        RequireSendable(task.Name);
        if (request.IsFleet()) {
            task.FolderPerTill = true;
            task.Local = arguments.size() > 1 ? fs::path(arguments[1]) : fs::path(".");
            if (!IsFolder(task.Local)) {
                throw CCliError(CExitCode::LocalFile, "No such folder: " + task.Local.string());
            }
            break;
        }
        task.Local = arguments.size() > 1 ? fs::path(arguments[1]) : fs::path(task.Name);
        if (IsFolder(task.Local)) {
            task.Local /= task.Name;
        }
        if (IsFolder(task.Local)) {
            throw CCliError(CExitCode::LocalFile, "Is a folder: " + task.Local.string());
        }
        if (const fs::path parent = task.Local.parent_path(); !parent.empty() && !IsFolder(parent)) {
            throw CCliError(CExitCode::LocalFile, "No such folder: " + parent.string());
        }
        break;
    }
    case CCommand::Put: {
        task.Local = arguments[0];
        std::error_code error;
        const fs::file_status status = fs::status(task.Local, error);
        if (!fs::exists(status)) {
            throw CCliError(CExitCode::LocalFile, "No such file: " + task.Local.string());
        }
        if (!fs::is_regular_file(status)) {
            throw CCliError(CExitCode::LocalFile, "Not a file: " + task.Local.string());
        }
        task.Name = arguments.size() > 1 ? arguments[1] : task.Local.filename().string();
        RequireEntryName(task.Name);
        // The size's digits only make the line longer, so a name that does not fit with one digit
        // never fits.
        if (SendFileCommand(task.Name, 0).size() > MaxSendFileLineLength) {
            throw CUsageError("The file name is too long to send to the till.");
        }
        break;
    }
    case CCommand::Rm:
    case CCommand::Rmdir:
    case CCommand::Mkdir:
        task.Name = arguments[0];
        RequireEntryName(task.Name);
        break;
    case CCommand::Mv:
        task.Name = arguments[0];
        task.NewName = arguments[1];
        RequireEntryName(task.Name);
        RequireEntryName(task.NewName);
        break;
    default:
        break;
    }
    return task;
}

CTillOutcome RunTillTask(CCommandChannel& channel, const CTillTask& task, const CTillAddress& till,
                         const CProgress& progress)
{
    std::string reply;
    // The window reads a CHANGEDIR reply unseen; here a refusal must stop the command, or it would
    // run in the wrong folder.
    for (const std::string& folder : task.ChangeFolders) {
        if (auto problem = Exchange(channel, ChangeDirCommand(folder), reply)) {
            return *problem;
        }
    }
    CTillOutcome outcome;
    switch (task.Command) {
    case CCommand::Pwd:
    case CCommand::Ls:
        if (auto problem = Exchange(channel, GetCurDirCommand(), reply)) {
            return *problem;
        }
        outcome.Folder = ReadCurrentFolder(reply);
        if (task.Command == CCommand::Ls) {
            if (auto problem = Exchange(channel, GetDirListCommand(), reply)) {
                return *problem;
            }
            outcome.Entries = ReadListing(reply);
        }
        return outcome;
    case CCommand::Get:
        return Download(channel, task, till, progress);
    case CCommand::Put:
        return Upload(channel, task, progress);
    case CCommand::Rm:
        return Exchange(channel, DeleteFileCommand(task.Name), reply).value_or(outcome);
    case CCommand::Rmdir:
        return Exchange(channel, DeleteFolderCommand(task.Name), reply).value_or(outcome);
    case CCommand::Mv:
        return Exchange(channel, MoveFileCommand(task.Name, task.NewName), reply).value_or(outcome);
    case CCommand::Mkdir:
        return Exchange(channel, NewFolderCommand(task.Name), reply).value_or(outcome);
    default:
        return Failure(CExitCode::Usage, "Not a till command");
    }
}

} // namespace quorral
