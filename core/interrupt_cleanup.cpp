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
#include <limits>

namespace tarvex {
namespace {

// The handler may run at any moment, so the paths live in fixed buffers it can read without
// allocating, and a slot is published only once its path is complete. However many files are
// written at once, each has a slot: blocks of slots are added as needed, linked by atomic
// pointers the handler can follow, and never freed, so that no block goes while it reads one.
constexpr std::size_t kSlotsPerBlock = 64;
constexpr std::size_t kPathBytes = 4096;

struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 holds a file to remove
    char path[kPathBytes];
};

struct Block {
    std::array<Slot, kSlotsPerBlock> slots;
    std::atomic<Block *> next{nullptr};
};

Block first;
constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTemporariesAndDie(int signal) {
    for (Block *block = &first; block != nullptr; block = block->next.load())
        for (Slot &slot : block->slots)
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

// The slot numbered `number`, nullptr past the blocks there are.
Slot *slotAt(std::size_t number) {
    Block *block = &first;
    for (std::size_t skip = number / kSlotsPerBlock; block != nullptr && skip > 0; --skip)
        block = block->next.load();
    return block != nullptr ? &block->slots[number % kSlotsPerBlock] : nullptr;
}

}  // namespace

int register_temporary(const std::filesystem::path &path) {
    // Looked at every time, not once: a program may change its signal handling between writes.
    installHandlers();
    const std::string &native = path.native();
    if (native.size() >= kPathBytes) return -1;
    std::size_t number = 0;
    for (Block *block = &first;; block = block->next.load()) {
        for (Slot &slot : block->slots) {
            int expected = 0;
            if (slot.state.compare_exchange_strong(expected, 1)) {
                std::memcpy(slot.path, native.c_str(), native.size() + 1);
                slot.state.store(2);
                return static_cast<int>(number);
            }
            if (++number > static_cast<std::size_t>(std::numeric_limits<int>::max())) return -1;
        }
        // All full: the first thread to link a new block wins, the others use it.
        if (block->next.load() == nullptr) {
            Block *added = new Block;
            Block *none = nullptr;
            if (!block->next.compare_exchange_strong(none, added)) delete added;
        }
    }
}

void unregister_temporary(int slot) {
    if (slot < 0) return;
    if (Slot *found = slotAt(static_cast<std::size_t>(slot))) found->state.store(0);
}

}  // namespace tarvex

#endif
