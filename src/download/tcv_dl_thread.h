#pragma once

#include "download/command_code.h"
#include "download/http_client.h"
#include "download/locked_text.h"
#include "download/tcv_download.h"
#include "download/worker_shared.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace k4m {

class FileSink;
class Log;

// Command codes of the worker.
enum WorkerCommand : int {
    CmdIdle = 0,
    CmdSaveFile = 1,       // GET dldURL into the file dldStore
    CmdFetchText = 2,      // GET dldURL as trimmed text into dldResult
    CmdInstallBatch = 3,   // the installation batch over the slot table
    CmdSaveFileFollow = 4, // as 1, always following redirects
    CmdZipEntry = 5,       // GET a Zip archive, extract the entry dldFileInZip into the folder dldStore
    CmdProbe = 6,          // HEAD dldURL, status into the shared last status code
    CmdZipAll = 7,         // GET a Zip archive, extract everything into the folder dldStore
    CmdBatchFinished = -1,
};

// The one background worker that performs every network request. The user-interface thread writes the input
// fields, then the command code; the worker writes every result before it clears the code. Fields the window
// reads while a command runs are atomic or read through a copy.
class TcvDLThread {
public:
    static constexpr int kSlotCount = 201;
    static constexpr int kAttempts = 3; // a failing file command runs at most this often

    TcvDLThread(WorkerShared& shared, Log* log, HttpSettings settings = {});
    ~TcvDLThread();
    TcvDLThread(const TcvDLThread&) = delete;
    TcvDLThread& operator=(const TcvDLThread&) = delete;

    void Start();
    // Asks the loop to end after the current command and waits for it.
    void Terminate();

    // Posts a command and waits until the worker cleared it; `pump` runs while waiting (the window keeps
    // painting). Never use it for the installation batch.
    void postAndWait(int command, const std::function<void()>& pump = {});
    // Posts a command without waiting (the installation batch).
    void post(int command) {
        m_waitCancelled = false;
        dldCommand = command;
    }
    // Makes the request of the command a postAndWait is waiting for fail soon as cancelled (a file command
    // is not run again; command 2 answers "ERROR: Cancelled"); the wait then ends as usual. Also counts when
    // the worker has not picked the command up yet. Any thread may call it; the batch never sees it.
    void cancelWait() { m_waitCancelled = true; }

    // Sets InUse, Installed and NoCache false and Size and Downloaded 0 in every slot.
    void initSlots();

    // The installation batch; set by whoever builds it. Runs on the worker thread.
    using BatchRunner = std::function<void(TcvDLThread&)>;
    void setBatchRunner(BatchRunner runner) { m_batchRunner = std::move(runner); }

    // For the batch: fetch a URL into a file (by way of "<file>.part"). Throws HttpError on a request failure;
    // returns false when the file could not be written. Nothing exists under `file` after a failure.
    bool fetchToFile(const std::string& url, const std::string& file);
    // For the batch: stream a URL's body into `sink`, which is left for the caller to check and commit (or
    // discard). Progress fields are kept and dldCancel honoured. Throws HttpError on a request failure, also
    // when the sink refused the data.
    void fetchInto(const std::string& url, FileSink& sink);
    HttpClient& http() { return *m_http; }
    WorkerShared& shared() { return m_shared; }
    void logLine(const std::string& line);
    void addError(const std::string& line) { Errors.append("\r\n" + line); }

    LockedText LastAction{255};
    std::atomic<int64_t> dldMax{0};
    std::atomic<int64_t> dldCurrent{0};
    std::atomic<int64_t> dldSize{0};
    LockedText dldName;
    std::atomic<bool> dldCancel{false};
    std::atomic<int64_t> dldStart{0};
    std::atomic<int64_t> dldEnd{0};
    std::atomic<bool> dldActive{false};
    CommandCode dldCommand;
    std::string dldURL;
    std::atomic<bool> dldOK{false};
    std::string dldStore;
    std::string dldFileInZip;
    std::atomic<int> dldSpeed{0};
    std::atomic<float> dldCompletion{0};
    std::string dldResult;
    std::atomic<int> dldIndex{0};
    std::array<TcvDownload, kSlotCount> Downloads;
    bool fakeinstall = false;
    LockedText Errors;

    // Milliseconds of a steady clock.
    static int64_t tickCount();

private:
    void run();
    void runCommand(int code);
    void fileCommand(int code);
    void fetchText();
    void probe();
    void onProgress(int64_t announced, int64_t received);
    HttpTransfer transferTo(std::function<bool(std::string_view)> sink);
    bool stopRequested() const { return m_shared.stopFlag.load(); }
    // Whether the command now running was abandoned by its poster.
    bool waitCancelled() const { return m_runningWaitedCommand && m_waitCancelled.load(); }

    WorkerShared& m_shared;
    Log* m_log;
    HttpSettings m_settings;
    std::unique_ptr<HttpClient> m_http;
    BatchRunner m_batchRunner;
    std::thread m_thread;
    // Cleared by the poster before it writes the code, not by the worker when it starts: a cancel between
    // the two must not be lost.
    std::atomic<bool> m_waitCancelled{false};
    bool m_runningWaitedCommand = false; // worker thread only
};

// The requests of the window, each posting its command, waiting for it (`pump` runs meanwhile) and returning
// its result; callers use them rather than writing the worker's input fields themselves.

// Command 2: the answer, trimmed text or "ERROR: " and the message.
std::string fetchText(TcvDLThread& worker, const std::string& url, const std::function<void()>& pump = {});

// Command 1: the body into `file` (by way of "<file>.part"); whether it was stored whole.
bool saveFile(TcvDLThread& worker, const std::string& url, const std::string& file,
              const std::function<void()>& pump = {});

// Command 5: the archive's entry `entry` into `folder`, under its file name alone; whether it was stored.
bool extractArchiveEntry(TcvDLThread& worker, const std::string& url, const std::string& folder,
                         const std::string& entry, const std::function<void()>& pump = {});

// Command 7: every entry of the archive into `folder` with its folders; whether all of it was stored.
bool extractArchive(TcvDLThread& worker, const std::string& url, const std::string& folder,
                    const std::function<void()>& pump = {});

struct ProbeResult {
    int status = 0;    // the final status, -1 when the request failed
    std::string error; // the failure or the status line of a status from 400 up; empty otherwise
};

// Command 6: a HEAD of `url`.
ProbeResult probe(TcvDLThread& worker, const std::string& url, const std::function<void()>& pump = {});

} // namespace k4m
