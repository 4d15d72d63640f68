#include "core/interrupt_cleanup.h"

#if defined(_WIN32)

namespace tarvex {

// Console interrupts on Windows arrive on another thread while the file is still open, and an
// open file cannot be removed there: nothing is registered.
int register_temporary(const std::filesystem::path &) {
    return -1;
}
void unregister_temporary(int) {}

}  // namespace tarvex

#else

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace tarvex {
namespace {

// The handler may run at any moment, so the paths live in fixed buffers it can read without
// allocating, and a slot is published only once its path is complete.
constexpr std::size_t kSlots = 64;
constexpr std::size_t kPathBytes = 4096;

struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 holds a file to remove
    char path[kPathBytes];
};

std::array<Slot, kSlots> slots;
constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTemporariesAndDie(int signal) {
    for (Slot &slot : slots)
        if (slot.state.load() == 2) unlink(slot.path);
    // End the process as the signal itself would have, so that the caller sees it.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    raise(signal);
}

void installHandlers() {
    for (const int signal : kSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0) continue;
        // A program that ignores or handles the signal itself keeps its choice.
        if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO) != 0) continue;
        struct sigaction ours {};
        ours.sa_handler = removeTemporariesAndDie;
        sigemptyset(&ours.sa_mask);
        for (const int other : kSignals) sigaddset(&ours.sa_mask, other);
        sigaction(signal, &ours, nullptr);
    }
}

}  // namespace

int register_temporary(const std::filesystem::path &path) {
    // Looked at every time, not once: a program may change its signal handling between writes.
    installHandlers();
    const std::string &native = path.native();
    if (native.size() >= kPathBytes) return -1;
    for (std::size_t i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slots[i].path, native.c_str(), native.size() + 1);
        slots[i].state.store(2);
        return static_cast<int>(i);
    }
    return -1;
}

void unregister_temporary(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= kSlots) return;
    slots[static_cast<std::size_t>(slot)].state.store(0);
}

}  // namespace tarvex

#endif
