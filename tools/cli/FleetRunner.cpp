#include "FleetRunner.h"

#include "link/SocketError.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace quorral {
namespace {

using Clock = std::chrono::steady_clock;

// Ends the connections of tills that outlive their deadline. The channel blocks in its waits, so
// the only way to stop it in time is from another thread.
class CWatchdog
{
public:
    CWatchdog(std::size_t slots, bool enabled) : FSlots(slots)
    {
        if (enabled) {
            FThread = std::thread([this] { Run(); });
        }
    }
    ~CWatchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FStop = true;
        }
        FWake.notify_all();
        if (FThread.joinable()) {
            FThread.join();
        }
    }
    CWatchdog(const CWatchdog&) = delete;
    CWatchdog& operator=(const CWatchdog&) = delete;

    void Watch(std::size_t slot, CTcpClient& client, Clock::time_point deadline)
    {
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FSlots[slot] = {&client, deadline, false};
        }
        FWake.notify_all();
    }

    // Stops watching the slot; true when its time ran out. Once this returns the client is no
    // longer touched, so it may go.
    bool Release(std::size_t slot)
    {
        const std::lock_guard<std::mutex> lock(FLock);
        const bool expired = FSlots[slot].Expired;
        FSlots[slot] = {};
        return expired;
    }

private:
    struct CSlot
    {
        CTcpClient* Client = nullptr; // not owned: the worker's channel, alive until Release
        Clock::time_point Deadline{};
        bool Expired = false;
    };

    void Run()
    {
        std::unique_lock<std::mutex> lock(FLock);
        while (!FStop) {
            std::optional<Clock::time_point> next;
            const Clock::time_point now = Clock::now();
            for (CSlot& slot : FSlots) {
                if (slot.Client == nullptr || slot.Expired) {
                    continue;
                }
                if (slot.Deadline <= now) {
                    // Under the lock, so the worker cannot release the client meanwhile.
                    slot.Client->Abort();
                    slot.Expired = true;
                } else if (!next || slot.Deadline < *next) {
                    next = slot.Deadline;
                }
            }
            if (next) {
                FWake.wait_until(lock, *next);
            } else {
                FWake.wait(lock);
            }
        }
    }

    std::mutex FLock;
    std::condition_variable FWake;
    std::vector<CSlot> FSlots;
    bool FStop = false;
    std::thread FThread; // last: it starts once everything it uses exists
};

} // namespace

std::string ConnectFailureText(const std::string& reason)
{
    return "Failed to connect to till: " + reason;
}

std::string TimeLimitText(std::chrono::milliseconds limit)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(limit.count()) / 1000.0);
    return std::string("Time limit of ") + seconds + " s reached";
}

std::vector<CTillRun> RunFleet(const std::vector<CTillAddress>& tills, const CFleetOptions& options,
                               const CTillJob& job, const CFleetEvents& events)
{
    std::vector<CTillRun> runs(tills.size());
    if (tills.empty()) {
        return runs;
    }
    const std::size_t workers =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(options.Jobs, 1)), tills.size());
    const bool limited = options.TimeLimit.count() > 0;
    CWatchdog watchdog(workers, limited);
    std::mutex eventLock;
    std::atomic<std::size_t> next{0};

    const auto runOne = [&](std::size_t index, std::size_t slot) {
        const CTillAddress& till = tills[index];
        const Clock::time_point started = Clock::now();
        CTillOutcome outcome;
        std::int64_t moved = 0;
        const CProgress progress = [&](std::int64_t done, std::int64_t total) {
            moved = done;
            if (events.Progress) {
                const std::lock_guard<std::mutex> lock(eventLock);
                events.Progress(index, done, total);
            }
        };
        CCommandChannel channel(options.ReplyWait);
        if (limited) {
            watchdog.Watch(slot, channel.Client(), started + options.TimeLimit);
        }
        try {
            try {
                channel.Connect(till.Host, till.Port,
                                limited ? std::min(options.ConnectTimeout, options.TimeLimit)
                                        : options.ConnectTimeout);
            } catch (const CSocketError& error) {
                throw CSocketError(ConnectFailureText(error.what()));
            }
            outcome = job(channel, till, progress);
        } catch (const CSocketError& error) {
            outcome = CTillOutcome::Failure(CExitCode::Connection, error.what());
        } catch (const CCliError& error) {
            outcome = CTillOutcome::Failure(error.Code(), error.what());
        } catch (const std::exception& error) {
            // What else can fail here is local: the file system, or memory.
            outcome = CTillOutcome::Failure(CExitCode::LocalFile, error.what());
        } catch (...) {
            outcome = CTillOutcome::Failure(CExitCode::LocalFile, "Unexpected failure");
        }
        const bool expired = limited && watchdog.Release(slot);
        channel.Disconnect();
        if (expired && !outcome.Succeeded()) {
            outcome.Exit = CExitCode::Connection;
            outcome.Error = TimeLimitText(options.TimeLimit);
        }
        outcome.Bytes = std::max(outcome.Bytes, moved);
        CTillRun& run = runs[index];
        run.Till = till;
        run.Outcome = std::move(outcome);
        run.Elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
        if (events.Finished) {
            const std::lock_guard<std::mutex> lock(eventLock);
            events.Finished(index, run);
        }
    };
    const auto work = [&](std::size_t slot) {
        for (std::size_t index = next++; index < tills.size(); index = next++) {
            runOne(index, slot);
        }
    };

    std::vector<std::thread> threads;
    for (std::size_t slot = 1; slot < workers; ++slot) {
        try {
            threads.emplace_back(work, slot);
        } catch (const std::system_error&) {
            break; // fewer workers only make the run slower
        }
    }
    work(0);
    for (std::thread& thread : threads) {
        thread.join();
    }
    return runs;
}

} // namespace quorral
