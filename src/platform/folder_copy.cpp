#include "platform/folder_copy.h"

#include "platform/atomic_file.h" // temporarySibling
#include "platform/native_file.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace k4m {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
// Temporary names tried for one file before it is skipped.
constexpr int kNameAttempts = 100;

// Both paths absolute and free of "." and "..": whether `path` is `root` or lies below it.
bool isWithin(const fs::path& path, const fs::path& root) {
    if (root.empty()) return false;
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty()) continue; // a trailing separator
        if (p == path.end() || *p != *r) return false;
    }
    return true;
}

// Two names of one folder share its identity where their spelling does not show it: a folder mounted a second
// time elsewhere, or a disk that does not tell capitals from small letters. An unknown identity matches nothing.
bool sameFolder(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
    return a && b && *a == *b;
}

using FolderId = std::optional<FileIdentity>;

// What the walk of the source meets, in the order of the walk.
class SourceVisitor {
public:
    virtual ~SourceVisitor() = default;
    // False leaves the folder out.
    virtual bool folder(const fs::path& source, const fs::path& relative) = 0;
    virtual void file(const fs::path& source, const fs::path& relative, std::uint64_t size) = 0;
    virtual void skipped() = 0;
};

// Walks the real folder `root` without following a link anywhere; `excluded` (the target, when it lies in the
// source) is passed over, and so is the target folder `excludedId` under any other name.
class SourceWalk {
public:
    SourceWalk(fs::path root, fs::path excluded, FolderId excludedId)
        : m_root(std::move(root)), m_excluded(std::move(excluded)), m_excludedId(excludedId) {}

    void walk(SourceVisitor& visitor) const { walk(m_root, fs::path(), visitor); }

    void walk(const fs::path& folder, const fs::path& relative, SourceVisitor& visitor) const {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            visitor.skipped();
            return;
        }
        for (const fs::directory_iterator end; it != end; it.increment(ec)) {
            const fs::path source = it->path();
            if (isWithin(source, m_excluded)) continue;
            const fs::path childRelative = relative / source.filename();
            std::error_code statusError;
            const fs::file_status status = it->symlink_status(statusError);
            if (statusError) {
                visitor.skipped();
                continue;
            }
            switch (status.type()) {
            case fs::file_type::directory:
                if (sameFolder(folderIdentity(source), m_excludedId)) break;
                if (visitor.folder(source, childRelative)) walk(source, childRelative, visitor);
                break;
            case fs::file_type::regular:
                visitor.file(source, childRelative, sizeOf(source));
                break;
            case fs::file_type::symlink:
                linkedFile(source, childRelative, visitor);
                break;
            default:
                visitor.skipped();
                break;
            }
        }
        if (ec) visitor.skipped(); // the listing broke off
    }

    // A link is copied as the file it leads to when that file lies in the source; anything else is skipped.
    void linkedFile(const fs::path& link, const fs::path& relative, SourceVisitor& visitor) const {
        std::error_code ec;
        const fs::path target = fs::canonical(link, ec);
        if (!ec && isWithin(target, m_root) && !isWithin(target, m_excluded) &&
            fs::symlink_status(target, ec).type() == fs::file_type::regular && !ec) {
            visitor.file(target, relative, sizeOf(target));
        } else {
            visitor.skipped();
        }
    }

private:
    static std::uint64_t sizeOf(const fs::path& file) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(file, ec);
        return ec ? 0 : static_cast<std::uint64_t>(size);
    }

    fs::path m_root;
    fs::path m_excluded;
    FolderId m_excludedId;
};

// Adds the files met to the totals, or (for a folder left out) to what is done, so the figures still meet.
class Counter : public SourceVisitor {
public:
    Counter(std::atomic<std::uint64_t>& files, std::atomic<std::uint64_t>& bytes) : m_files(files), m_bytes(bytes) {}
    bool folder(const fs::path&, const fs::path&) override { return true; }
    void file(const fs::path&, const fs::path&, std::uint64_t size) override {
        ++m_files;
        m_bytes += size;
    }
    void skipped() override {}

private:
    std::atomic<std::uint64_t>& m_files;
    std::atomic<std::uint64_t>& m_bytes;
};

class Copier : public SourceVisitor {
public:
    Copier(const SourceWalk& walk, fs::path from, fs::path to, FolderCopyProgress& progress, FolderCopyResult& result)
        : m_walk(walk), m_from(std::move(from)), m_to(std::move(to)), m_guardSource(!isWithin(m_to, m_from)),
          m_sourceId(folderIdentity(m_from)), m_progress(progress), m_result(result), m_block(kBlockSize) {}

    bool folder(const fs::path& source, const fs::path& relative) override {
        const fs::path target = m_to / relative;
        if (touchesSource(target)) return leaveOut(source, relative);
        std::error_code ec;
        const fs::file_type type = fs::symlink_status(target, ec).type();
        // The old folder under another name is never written into.
        if (type == fs::file_type::directory)
            return sameFolder(folderIdentity(target), m_sourceId) ? leaveOut(source, relative) : true;
        // A link or a file in the folder's place stays: writing through a link could leave the target.
        if (type != fs::file_type::not_found) return leaveOut(source, relative);
        if (!fs::create_directory(target, ec) || ec) return leaveOut(source, relative);
        return true;
    }

    void file(const fs::path& source, const fs::path& relative, std::uint64_t size) override {
        const fs::path target = m_to / relative;
        std::uint64_t copied = 0;
        std::error_code ec;
        const bool ok = !touchesSource(target) && fs::symlink_status(target, ec).type() != fs::file_type::directory &&
                        copyFile(source, target, copied);
        if (ok) {
            ++m_result.files;
            m_result.bytes += copied;
        } else {
            ++m_result.skipped;
        }
        ++m_progress.filesDone;
        // A file that changed size or failed half way still counts as done in full, so the figures meet.
        if (copied < size) m_progress.bytesDone += size - copied;
    }

    void skipped() override { ++m_result.skipped; }

private:
    bool leaveOut(const fs::path& source, const fs::path& relative) {
        ++m_result.skipped;
        Counter done(m_progress.filesDone, m_progress.bytesDone);
        m_walk.walk(source, relative, done);
        return false;
    }

    // When the source lies inside the target, its own place in the target is never written.
    bool touchesSource(const fs::path& target) const { return m_guardSource && isWithin(target, m_from); }

    // Streams `source` into a temporary file beside `target` and renames it over the target, which replaces a
    // file or a link there and never writes through one. The temporary file is made new: a link or a file that
    // already holds its name is left alone and another name is taken.
    bool copyFile(const fs::path& source, const fs::path& target, std::uint64_t& copied) {
        // Not following a link and not waiting on a pipe: the source was a regular file when it was listed,
        // but may have been swapped since.
        NativeFile in = NativeFile::openForReading(source);
        const auto info = in.isOpen() ? in.info() : std::nullopt;
        if (!info || !info->regular) return false;
        fs::path temporary;
        NativeFile out;
        for (int attempt = 0; attempt < kNameAttempts && !out.isOpen(); ++attempt) {
            temporary = temporarySibling(target);
            out = NativeFile::createNew(temporary, fs::perms::owner_read | fs::perms::owner_write);
            if (!out.isOpen() && !out.nameTaken()) break;
        }
        if (!out.isOpen()) return false;
        bool ok = streamBlocks(in, out, copied);
        if (ok) {
            // The file's own mode and time, as the source has them, where the target's file system keeps them
            // (a FAT disk refuses a mode): the content is what counts.
            std::error_code ec;
            const fs::perms mode = fs::symlink_status(source, ec).permissions();
            if (!ec) (void)out.setMode(mode);
            (void)out.copyModifiedTime(in);
        }
        if (!out.close()) ok = false;
        std::error_code ec;
        if (ok) {
            fs::rename(temporary, target, ec);
            ok = !ec;
        }
        if (!ok) fs::remove(temporary, ec);
        return ok;
    }

    // Copies `in` to its end into `out`, block by block.
    bool streamBlocks(NativeFile& in, NativeFile& out, std::uint64_t& copied) {
        for (;;) {
            const long long got = in.read(m_block.data(), m_block.size());
            if (got < 0) return false;
            if (got == 0) return true;
            if (!out.writeAll(std::string_view(m_block.data(), static_cast<std::size_t>(got)))) return false;
            copied += static_cast<std::uint64_t>(got);
            m_progress.bytesDone += static_cast<std::uint64_t>(got);
        }
    }

    const SourceWalk& m_walk;
    fs::path m_from;
    fs::path m_to;
    bool m_guardSource;
    FolderId m_sourceId;
    FolderCopyProgress& m_progress;
    FolderCopyResult& m_result;
    std::vector<char> m_block;
};

} // namespace

FolderCopyResult copyFolderContents(const fs::path& from, const fs::path& to, FolderCopyProgress& progress) {
    FolderCopyResult result;
    std::error_code ec;
    // The source as chosen may itself be a link (a library moved to another disk): that one is followed.
    if (!from.is_absolute() || !to.is_absolute()) return result; // a folder without its root is nowhere certain
    const fs::path source = fs::canonical(from, ec);
    if (ec || !fs::is_directory(source, ec)) return result;
    // Resolved before it is created, so "x/../new" does not leave an "x" behind.
    fs::path target = fs::weakly_canonical(to, ec);
    if (!ec) fs::create_directories(target, ec);
    if (!ec) target = fs::canonical(target, ec);
    if (ec || !fs::is_directory(target, ec)) {
        result.outcome = FolderCopyOutcome::Copied;
        ++result.skipped;
        return result;
    }
    const FolderId targetId = folderIdentity(target);
    if (target == source || sameFolder(targetId, folderIdentity(source))) {
        result.outcome = FolderCopyOutcome::SameFolder;
        return result;
    }
    result.outcome = FolderCopyOutcome::Copied;
    // Only a target inside the source is passed over in the walk (every source lies inside a target above it).
    const SourceWalk walk(source, isWithin(target, source) ? target : fs::path(), targetId);
    Counter counter(progress.filesTotal, progress.bytesTotal);
    walk.walk(counter);
    Copier copier(walk, source, target, progress, result);
    walk.walk(copier);
    return result;
}

std::string byteSizeText(std::uint64_t bytes) {
    constexpr double kKilo = 1024.0;
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024ull * 1024) {
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(bytes / 1024));
    } else if (bytes < 1024ull * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (kKilo * kKilo));
    } else {
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / (kKilo * kKilo * kKilo));
    }
    return text;
}

} // namespace k4m
