// Connecting to a till whose folder holds 100,000 entries: the whole connect (both panels filled),
// and its parts (the listing exchange, reading the reply, filling the panel) next to a plain
// QTreeView over a minimal model showing the same rows; and the round trip of one GETCURDIR.
#include "../../tools/till/TillServer.h"
#include "link/CommandChannel.h"
#include "link/TillCommands.h"
#include "main/Dialogs.h"
#include "main/Main.h"
#include "main/PanelModel.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace quorral;

namespace {

constexpr int Entries = 100000;

// A till on loopback serving a folder of Entries files, for the whole run.
class CBigTill
{
public:
    CBigTill()
    {
        FRoot = fs::temp_directory_path() / "quorral-bench-panels";
        if (!fs::exists(FRoot / ("f" + std::to_string(Entries - 1) + ".txt"))) {
            fs::create_directories(FRoot);
            for (int i = 0; i < Entries; ++i) {
                std::ofstream(FRoot / ("f" + std::to_string(i) + ".txt"));
            }
        }
        CTillServerOptions options;
        options.Root = FRoot;
        options.Port = 0;
        options.DiscoveryPort = NoDiscovery;
        FServer = std::make_unique<CTillServer>(options);
        FServer->Listen();
        FThread = std::thread([this] { FServer->Serve(FStop); });
    }
    ~CBigTill()
    {
        FStop = true;
        FThread.join();
    }
    int Port() const { return FServer->Port(); }

private:
    fs::path FRoot;
    std::unique_ptr<CTillServer> FServer;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

CBigTill& Till()
{
    static CBigTill till;
    return till;
}

class CSilentDialogs final : public CDialogs
{
public:
    void ShowMessage(const QString&) override {}
    QMessageBox::StandardButton AskYesNo(const QString&, const QString&) override { return QMessageBox::Yes; }
    void ShowFailure(const QString&) override {}
    void ShowException(const QString&) override {}
};

std::string ListingReply()
{
    CCommandChannel channel;
    channel.Connect("127.0.0.1", Till().Port());
    channel.SendCommand(GetDirListCommand());
    return channel.ReadReply();
}

void BM_ConnectFillsBothPanels(benchmark::State& state)
{
    CSilentDialogs dialogs;
    TfmMain window(&dialogs);
    window.findChild<QComboBox*>("Port")->setEditText(QString::number(Till().Port()));
    window.show();
    int rows = 0;
    for (auto _ : state) {
        if (!window.ConnectToTill()) {
            state.SkipWithError("connect failed");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        rows = window.findChild<QTreeView*>("RemoteDirList")->model()->rowCount();
        window.DisconnectFromTill();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}

void BM_ListingExchange(benchmark::State& state)
{
    CCommandChannel channel;
    channel.Connect("127.0.0.1", Till().Port());
    std::size_t bytes = 0;
    for (auto _ : state) {
        channel.SendCommand(GetDirListCommand());
        bytes = channel.ReadReply().size();
    }
    state.counters["reply_bytes"] = static_cast<double>(bytes);
}

void BM_ListingParse(benchmark::State& state)
{
    const std::string reply = ListingReply();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadListing(reply));
    }
}

// What filling costs in the window: new rows into the model and the view laid out and painted.
template <class Model>
void Fill(benchmark::State& state, Model& model, const CFolderRows& rows)
{
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(442, 281);
    view.show();
    for (auto _ : state) {
        model.SetRows(rows);
        view.viewport()->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        model.SetRows({});
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_PanelFill(benchmark::State& state)
{
    CPanelModel model;
    Fill(state, model, ReadListing(ListingReply()));
}

// The least a model can do to show the same two columns.
class CPlainModel final : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex& = QModelIndex()) const override { return static_cast<int>(FRows.size()); }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole) {
            return {};
        }
        const CFolderRow& row = FRows[static_cast<std::size_t>(index.row())];
        return index.column() == 0 ? QVariant(QString::fromStdString(row.Caption))
                                   : QVariant(row.IsFolder ? QStringLiteral("+") : QString());
    }
    void SetRows(CFolderRows rows)
    {
        beginResetModel();
        FRows = std::move(rows);
        endResetModel();
    }

private:
    CFolderRows FRows;
};

void BM_PlainViewFill(benchmark::State& state)
{
    CPlainModel model;
    Fill(state, model, ReadListing(ListingReply()));
}

void BM_GetCurDirRoundTrip(benchmark::State& state)
{
    CCommandChannel channel;
    channel.Connect("127.0.0.1", Till().Port());
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        channel.SendCommand(GetCurDirCommand());
        benchmark::DoNotOptimize(channel.ReadReply());
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples.empty() ? 0 : samples[samples.size() / 2];
}

} // namespace

BENCHMARK(BM_ConnectFillsBothPanels)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ListingExchange)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ListingParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanelFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainViewFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetCurDirRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(2000);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
