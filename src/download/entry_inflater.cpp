#include "download/entry_inflater.h"

#include <algorithm>
#include <memory>
#include <zlib.h>

#ifdef K4M_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif
#ifdef K4M_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace k4m {

namespace {

constexpr size_t kInputChunk = 256 * 1024;
constexpr size_t kOutputChunk = 256 * 1024;

const char* const kEndsEarly = "the stream ends before its compressed size";
const char* const kCutShort = "the stream is cut short";
const char* const kTooLarge = "the entry inflates beyond 4 GiB";
const char* const kAbandoned = "abandoned";

// A buffer of each inflating thread, kept from one entry to the next (a package holds thousands of entries) and
// left uninitialised: a page costs only when a byte of it is used.
class ScratchBuffer {
public:
    unsigned char* get(size_t size) {
        if (size > m_size) {
            m_data.reset(new unsigned char[size]);
            m_size = size;
        }
        return m_data.get();
    }

private:
    std::unique_ptr<unsigned char[]> m_data;
    size_t m_size = 0;
};

thread_local ScratchBuffer t_input;
thread_local ScratchBuffer t_output;

// Reads the next piece of the entry's bytes.
class EntryReader {
public:
    EntryReader(const NativeFile& file, int64_t offset, int64_t size)
        : m_file(file), m_offset(offset), m_left(size),
          m_capacity(static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(kInputChunk)))),
          m_buffer(reinterpret_cast<char*>(t_input.get(m_capacity))) {}

    bool done() const { return m_left == 0; }
    int64_t left() const { return m_left; }

    // The next piece; empty only when nothing is left. An error text when the file cannot give it.
    std::string_view next(std::string& error) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(m_left, static_cast<int64_t>(m_capacity)));
        size_t got = 0;
        while (got < want) {
            std::error_code readError;
            const long long n =
                m_file.readAt(m_buffer + got, want - got, static_cast<uint64_t>(m_offset) + got, readError);
            if (n < 0) {
                error = "cannot read the package: " + readError.message();
                return {};
            }
            if (n == 0) {
                error = "the package ends inside the entry's data";
                return {};
            }
            got += static_cast<size_t>(n);
        }
        m_offset += static_cast<int64_t>(got);
        m_left -= static_cast<int64_t>(got);
        return {m_buffer, got};
    }

private:
    const NativeFile& m_file;
    int64_t m_offset;
    int64_t m_left;
    size_t m_capacity;
    char* m_buffer;
};

InflateOutcome inflateWithZlib(const NativeFile& file, int64_t offset, int64_t size, const std::function<void(std::string_view)>& out,
                               const std::atomic<bool>& abandoned) {
    InflateOutcome outcome;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {"out of memory", 0};
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, inflateEnd);
    EntryReader reader(file, offset, size);
    unsigned char* const buffer = t_output.get(kOutputChunk);
    bool ended = false;
    while (!ended) {
        if (abandoned) return {kAbandoned, outcome.bytes};
        if (reader.done()) return {kCutShort, outcome.bytes};
        std::string readError;
        const std::string_view piece = reader.next(readError);
        if (!readError.empty()) return {readError, outcome.bytes};
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        z.avail_in = static_cast<uInt>(piece.size());
        do {
            z.next_out = buffer;
            z.avail_out = static_cast<uInt>(kOutputChunk);
            const int rc = ::inflate(&z, Z_NO_FLUSH);
            if (rc == Z_NEED_DICT) return {"the stream needs a preset dictionary", outcome.bytes};
            if (rc == Z_DATA_ERROR) return {z.msg != nullptr ? z.msg : "invalid data", outcome.bytes};
            if (rc == Z_MEM_ERROR) return {"out of memory", outcome.bytes};
            const size_t produced = kOutputChunk - z.avail_out;
            outcome.bytes += produced;
            if (outcome.bytes > kMaxEntryBytes) return {kTooLarge, outcome.bytes};
            if (produced > 0) out({reinterpret_cast<const char*>(buffer), produced});
            if (rc == Z_STREAM_END) {
                ended = true;
                break;
            }
            // Z_BUF_ERROR: no progress was possible with what is left of this piece; read the next one.
            if (rc == Z_BUF_ERROR) break;
        } while (z.avail_in > 0 || z.avail_out == 0);
    }
    if (z.avail_in > 0 || !reader.done()) return {kEndsEarly, outcome.bytes};
    return outcome;
}

#ifdef K4M_HAVE_ISAL
// Inflates with ISA-L; an empty error means success. Any failure is reported only as failed: the caller runs
// zlib over the entry again for its message.
bool inflateWithIsal(const NativeFile& file, int64_t offset, int64_t size, const std::function<void(std::string_view)>& out,
                     const std::atomic<bool>& abandoned, InflateOutcome& outcome) {
    thread_local const std::unique_ptr<inflate_state> kept = std::make_unique<inflate_state>();
    inflate_state* const state = kept.get();
    isal_inflate_init(state);
    state->crc_flag = ISAL_ZLIB;
    EntryReader reader(file, offset, size);
    unsigned char* const buffer = t_output.get(kOutputChunk);
    while (state->block_state != ISAL_BLOCK_FINISH) {
        if (abandoned) {
            outcome.error = kAbandoned;
            return false;
        }
        if (reader.done()) return false;
        std::string readError;
        const std::string_view piece = reader.next(readError);
        if (!readError.empty()) {
            outcome.error = readError;
            return false;
        }
        state->next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(piece.data()));
        state->avail_in = static_cast<uint32_t>(piece.size());
        do {
            state->next_out = buffer;
            state->avail_out = static_cast<uint32_t>(kOutputChunk);
            const int rc = isal_inflate(state);
            if (rc != ISAL_DECOMP_OK) return false;
            const size_t produced = kOutputChunk - state->avail_out;
            outcome.bytes += produced;
            if (outcome.bytes > kMaxEntryBytes) {
                outcome.error = kTooLarge;
                return false;
            }
            if (produced > 0) out({reinterpret_cast<const char*>(buffer), produced});
            if (state->block_state == ISAL_BLOCK_FINISH) break;
            if (produced == 0 && state->avail_in == 0) break;
        } while (state->avail_in > 0 || state->avail_out == 0);
    }
    // Bytes after the stream's end are left in avail_in (or were never read).
    return state->avail_in == 0 && reader.done();
}
#endif


#ifdef K4M_HAVE_LIBDEFLATE
// Entries up to this compressed size are inflated whole with libdeflate, the fastest inflater for sample data,
// into an output buffer of kWholeOutput bytes; larger ones, and those that inflate to more, are streamed.
constexpr int64_t kWholeInput = 1 << 20;
constexpr size_t kWholeOutput = 4 << 20;

enum class Whole { Done, Failed, TooLarge };

Whole inflateWhole(const NativeFile& file, int64_t offset, int64_t size, const std::function<void(std::string_view)>& out,
                   InflateOutcome& outcome) {
    if (size > kWholeInput) return Whole::TooLarge;
    thread_local const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!decompressor) return Whole::TooLarge;
    char* const input = reinterpret_cast<char*>(t_input.get(static_cast<size_t>(size)));
    // Sample data hardly shrinks; most entries fit in a few times their stream, and a larger one is streamed.
    const size_t outputSize = std::clamp<size_t>(static_cast<size_t>(size) * 4, 64 * 1024, kWholeOutput);
    char* const output = reinterpret_cast<char*>(t_output.get(outputSize));
    size_t got = 0;
    while (got < static_cast<size_t>(size)) {
        std::error_code readError;
        const long long n = file.readAt(input + got, static_cast<size_t>(size) - got,
                                        static_cast<uint64_t>(offset) + got, readError);
        if (n < 0) {
            outcome.error = "cannot read the package: " + readError.message();
            return Whole::Failed;
        }
        if (n == 0) {
            outcome.error = "the package ends inside the entry's data";
            return Whole::Failed;
        }
        got += static_cast<size_t>(n);
    }
    size_t consumed = 0;
    size_t produced = 0;
    const libdeflate_result rc = libdeflate_zlib_decompress_ex(decompressor.get(), input, got, output, outputSize,
                                                               &consumed, &produced);
    if (rc == LIBDEFLATE_INSUFFICIENT_SPACE) return Whole::TooLarge;
    if (rc != LIBDEFLATE_SUCCESS) return Whole::Failed;
    if (consumed != got) {
        outcome.error = kEndsEarly;
        return Whole::Failed;
    }
    outcome.bytes = produced;
    if (produced > 0) out({output, produced});
    return Whole::Done;
}
#endif
} // namespace

InflateOutcome inflateEntry(const NativeFile& file, int64_t offset, int64_t size, Inflater inflater,
                            const std::function<void(std::string_view)>& out, const std::atomic<bool>& abandoned) {
#if defined(K4M_HAVE_ISAL) || defined(K4M_HAVE_LIBDEFLATE)
    if (inflater == Inflater::Fastest) {
        InflateOutcome outcome;
        bool inflated = false;
#ifdef K4M_HAVE_LIBDEFLATE
        const Whole whole = inflateWhole(file, offset, size, out, outcome);
        if (whole == Whole::Done) return outcome;
        if (whole == Whole::Failed && !outcome.error.empty()) return outcome;
        inflated = whole == Whole::Failed;
#endif
#ifdef K4M_HAVE_ISAL
        if (!inflated) {
            if (inflateWithIsal(file, offset, size, out, abandoned, outcome)) return outcome;
            if (!outcome.error.empty()) return outcome;
        }
#else
        if (!inflated) return inflateWithZlib(file, offset, size, out, abandoned);
#endif
        // Only zlib's own words name what is wrong; what was passed on so far stays passed on, so the second
        // run passes nothing on.
        InflateOutcome again = inflateWithZlib(file, offset, size, [](std::string_view) {}, abandoned);
        if (again.error.empty()) again.error = "invalid data"; // the two inflaters disagree: trust the refusal
        again.bytes = outcome.bytes;
        return again;
    }
#else
    (void)inflater;
#endif
    return inflateWithZlib(file, offset, size, out, abandoned);
}

} // namespace k4m
