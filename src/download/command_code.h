#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace k4m {

// The worker's command code: 0 idle, 1..7 a command posted by the user-interface thread, -1 the batch has
// finished. Writing it wakes whoever waits for it, so neither side polls: the worker sleeps until a command
// arrives and the poster sleeps until the code is cleared. Every write happens after the writer's other
// fields are set, and every read before the reader's, so the code orders them (release/acquire).
class CommandCode {
public:
    int load() const { return m_value.load(std::memory_order_acquire); }
    operator int() const { return load(); }

    CommandCode& operator=(int value) {
        {
            std::lock_guard lock(m_mutex);
            m_value.store(value, std::memory_order_release);
        }
        m_changed.notify_all();
        return *this;
    }

    // Blocks until `done(code)` holds or `stop()` is true; wakes on every change of the code and on poke().
    // With a `pump`, it is called every `pumpEvery` while waiting (the window keeps painting meanwhile).
    template <typename Done>
    int waitFor(Done done, const std::function<bool()>& stop = {}, const std::function<void()>& pump = {},
                std::chrono::milliseconds pumpEvery = std::chrono::milliseconds(15)) {
        auto finished = [&] { return done(m_value.load(std::memory_order_acquire)) || (stop && stop()); };
        // The other side often answers within microseconds (a short request, the next command of a sequence):
        // looking again for a moment saves the two wake-ups a sleep costs.
        const auto spinUntil = std::chrono::steady_clock::now() + kSpin;
        while (!finished() && std::chrono::steady_clock::now() < spinUntil)
            std::this_thread::yield();
        std::unique_lock lock(m_mutex);
        while (!finished()) {
            if (!pump) {
                m_changed.wait(lock);
            } else if (!m_changed.wait_for(lock, pumpEvery, finished)) {
                lock.unlock();
                pump();
                lock.lock();
            }
        }
        return m_value.load(std::memory_order_acquire);
    }

    // Wakes the waiters without changing the code (a stop request).
    void poke() {
        { std::lock_guard lock(m_mutex); }
        m_changed.notify_all();
    }

private:
    static constexpr std::chrono::microseconds kSpin{200};
    std::atomic<int> m_value{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

} // namespace k4m
