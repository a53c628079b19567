#include "download/tcv_dl_thread.h"

#include "core/log.h"
#include "core/server_requests.h"
#include "download/file_sink.h"
#include "download/text_answer.h"
#include "download/zip_extract.h"
#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

#include <chrono>
#include <cmath>
#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

namespace {

class CommandFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace

TcvDLThread::TcvDLThread(WorkerShared& shared, Log* log, HttpSettings settings)
    : m_shared(shared), m_log(log), m_settings(std::move(settings)) {
    initSlots();
}

TcvDLThread::~TcvDLThread() {
    Terminate();
}

int64_t TcvDLThread::tickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TcvDLThread::initSlots() {
    for (TcvDownload& slot : Downloads) {
        slot.InUse = false;
        slot.Installed = false;
        slot.NoCache = false;
        slot.Size = 0;
        slot.Downloaded = 0;
    }
}

void TcvDLThread::Start() {
    if (m_thread.joinable()) return;
    m_thread = std::thread([this] { run(); });
}

void TcvDLThread::Terminate() {
    m_shared.stopFlag = true;
    dldCommand.poke();
    if (m_thread.joinable()) m_thread.join();
}

void TcvDLThread::postAndWait(int command, const std::function<void()>& pump) {
    m_waitCancelled = false;
    dldCommand = command;
    dldCommand.waitFor([](int code) { return code == CmdIdle; }, [this] { return !m_thread.joinable(); }, pump);
}

void TcvDLThread::logLine(const std::string& line) {
    if (m_log == nullptr) return;
    try {
        m_log->write(line);
    } catch (const LogError&) {
        // A log that could not be created loses the line; the worker goes on.
    }
}

void TcvDLThread::run() {
    m_http = std::make_unique<HttpClient>(m_settings);
    m_http->setFollowRedirects(true);
    dldMax = 0;
    dldCurrent = 0;
    while (!stopRequested()) {
        const int code = dldCommand.waitFor([](int c) { return c != CmdIdle && c != CmdBatchFinished; },
                                            [this] { return stopRequested(); });
        if (stopRequested()) break;
        runCommand(code);
    }
    m_http.reset();
}

void TcvDLThread::runCommand(int code) {
    // Only the batch is posted without a wait; a stray cancelWait meant for an earlier wait must not touch it.
    m_runningWaitedCommand = code != CmdInstallBatch;
    switch (code) {
    case CmdFetchText:
        fetchText();
        dldCommand = CmdIdle;
        return;
    case CmdProbe:
        probe();
        dldCommand = CmdIdle;
        return;
    case CmdInstallBatch:
        if (m_batchRunner) {
            m_batchRunner(*this);
        } else {
            addError("The installation batch is not available in this build.");
        }
        dldCommand = CmdBatchFinished;
        return;
    case CmdSaveFile:
    case CmdSaveFileFollow:
    case CmdZipEntry:
    case CmdZipAll:
        break;
    default:
        dldCommand = CmdIdle; // codes outside 1 to 7 do nothing
        return;
    }

    // A request that fails is run again, up to a bound: the poster waits without a time limit.
    for (int attempt = 1;; ++attempt) {
        try {
            fileCommand(code);
            break;
        } catch (const std::exception& e) {
            dldActive = false;
            dldMax = 0;
            dldCurrent = 0;
            logLine("DLD ERROR CMD=" + std::to_string(code) + ": " + e.what() + " @ " + LastAction.get());
            if (dldCancel || waitCancelled()) {
                LastAction.set("Cancelled Download");
                dldOK = false;
                break;
            }
            if (attempt >= kAttempts || stopRequested()) {
                LastAction.set("");
                dldOK = false;
                break;
            }
        }
    }
    dldCommand = CmdIdle;
}

HttpTransfer TcvDLThread::transferTo(std::function<bool(std::string_view)> sink) {
    HttpTransfer transfer;
    transfer.onData = std::move(sink);
    transfer.onProgress = [this](int64_t announced, int64_t received) { onProgress(announced, received); };
    transfer.cancelled = [this] { return dldCancel.load() || stopRequested() || waitCancelled(); };
    return transfer;
}

void TcvDLThread::onProgress(int64_t announced, int64_t received) {
    dldMax = announced > 0 ? announced : dldSize.load() * 1000;
    if (dldCurrent == 0) {
        dldCompletion = 0;
        m_shared.currentBytes = 0;
        dldStart = tickCount();
    }
    dldCurrent = received;
    const int64_t elapsed = tickCount() - dldStart;
    // Bytes per millisecond, rounded to the nearest integer with ties to even.
    if (elapsed > 0)
        dldSpeed = static_cast<int>(std::nearbyint(static_cast<double>(received) / static_cast<double>(elapsed)));
    if (const int64_t max = dldMax; max != 0)
        dldCompletion = static_cast<float>(static_cast<double>(received) * 100.0 / static_cast<double>(max));
    m_shared.currentBytes = received;
}

bool TcvDLThread::fetchToFile(const std::string& url, const std::string& file) {
    FileSink sink(pathFromUtf8(file));
    if (!sink.ok()) return false;
    fetchInto(url, sink);
    return sink.commit();
}

void TcvDLThread::fetchInto(const std::string& url, FileSink& sink) {
    m_http->get(url, transferTo([&sink](std::string_view data) { return sink.write(data); }));
}

void TcvDLThread::fileCommand(int code) {
    if (code != CmdSaveFileFollow) dldOK = true;
    dldMax = 0;
    dldCurrent = 0;
    dldCancel = false;
    dldURL = httpsOnly(dldURL);
    LastAction.set("Downloading...");
    dldActive = true;
    if (code == CmdSaveFileFollow) m_http->setFollowRedirects(true);
    // Abandoned before it started: not even the target folder is touched.
    if (waitCancelled()) throw CommandFailed("Cancelled");

    if (code == CmdSaveFile || code == CmdSaveFileFollow) {
        const bool saved = fetchToFile(dldURL, dldStore);
        if (!saved && code == CmdSaveFileFollow) throw CommandFailed("cannot save " + dldStore);
        if (!saved) dldOK = false;
    } else {
        // The archive goes to a temporary file inside the target folder and is extracted from there, so
        // memory stays small whatever its size.
        const fs::path folder = pathFromUtf8(dldStore);
        std::error_code ec;
        const bool created = fs::create_directories(folder, ec);
        const fs::path archive = temporarySibling(folder / ".k4m-archive");
        try {
            if (ec || !fetchToFile(dldURL, utf8Of(archive))) {
                dldOK = false;
            } else {
                try {
                    if (code == CmdZipEntry)
                        extractZipEntry(archive, dldFileInZip, folder);
                    else
                        extractZipAll(archive, folder);
                } catch (const ZipError& e) {
                    logLine("Archive error: " + std::string(e.what()));
                    dldOK = false;
                }
            }
        } catch (...) {
            fs::remove(archive, ec);
            if (created) fs::remove(folder, ec); // only removes it while it is still empty
            throw;
        }
        fs::remove(archive, ec);
    }
    dldActive = false;
    dldMax = 0;
    dldCurrent = 0;
    LastAction.set(dldCancel || waitCancelled() ? "Cancelled Download" : "");
}

void TcvDLThread::fetchText() {
    dldResult.clear();
    dldCurrent = 0;
    m_shared.lastRequestError.set("");
    dldURL = httpsOnly(dldURL);
    HttpTransfer transfer = transferTo({});
    transfer.timeLimitSeconds = m_settings.textTimeoutSeconds;
    const TextAnswer answer =
        waitCancelled() ? failedTextAnswer("Cancelled") : fetchTextAnswer(*m_http, dldURL, std::move(transfer));
    m_shared.lastRequestError.set(answer.error);
    dldResult = answer.text;
}

void TcvDLThread::probe() {
    dldResult.clear();
    dldCurrent = 0;
    m_shared.lastRequestError.set("");
    m_shared.lastStatusCode = 0;
    dldURL = httpsOnly(dldURL);
    try {
        if (waitCancelled()) throw HttpError("Cancelled");
        HttpTransfer transfer;
        transfer.cancelled = [this] { return stopRequested() || waitCancelled(); };
        transfer.timeLimitSeconds = m_settings.textTimeoutSeconds;
        const int status = m_http->head(dldURL, transfer);
        m_shared.lastStatusCode = status;
        if (status >= 400) m_shared.lastRequestError.set(m_http->lastStatusLine());
    } catch (const std::exception& e) {
        m_shared.lastStatusCode = -1;
        m_shared.lastRequestError.set(e.what());
        dldResult = std::string("ERROR: ") + e.what();
    }
}

std::string fetchText(TcvDLThread& worker, const std::string& url, const std::function<void()>& pump) {
    worker.dldURL = url;
    worker.postAndWait(CmdFetchText, pump);
    return worker.dldResult;
}

bool saveFile(TcvDLThread& worker, const std::string& url, const std::string& file, const std::function<void()>& pump) {
    worker.dldURL = url;
    worker.dldStore = file;
    worker.postAndWait(CmdSaveFile, pump);
    return worker.dldOK;
}

bool extractArchiveEntry(TcvDLThread& worker, const std::string& url, const std::string& folder,
                         const std::string& entry, const std::function<void()>& pump) {
    worker.dldURL = url;
    worker.dldStore = folder;
    worker.dldFileInZip = entry;
    worker.postAndWait(CmdZipEntry, pump);
    return worker.dldOK;
}

bool extractArchive(TcvDLThread& worker, const std::string& url, const std::string& folder,
                    const std::function<void()>& pump) {
    worker.dldURL = url;
    worker.dldStore = folder;
    worker.postAndWait(CmdZipAll, pump);
    return worker.dldOK;
}

ProbeResult probe(TcvDLThread& worker, const std::string& url, const std::function<void()>& pump) {
    worker.dldURL = url;
    worker.postAndWait(CmdProbe, pump);
    return {worker.shared().lastStatusCode.load(), worker.shared().lastRequestError.get()};
}

} // namespace k4m
