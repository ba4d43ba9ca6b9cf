#include "landing/InterruptCleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <initializer_list>
#include <cerrno>
#include <cstring>

namespace {

// More than any run holds open at once (a map with its description, six
// maps and a preview; a tile with six maps and the set's shared files), so
// that no temporary goes unregistered: a landing that finds every slot taken
// refuses to make one.
constexpr int kSlots = 64;
constexpr size_t kNameBytes = 256;

// The handler reads a slot only while `used` is set; the name and directory
// are filled in before it is set and it is cleared before they change, so
// the handler never sees half a name.
struct Slot {
    volatile sig_atomic_t used;
    int directory;
    char name[kNameBytes];
};
Slot slots[kSlots];
volatile sig_atomic_t lineShown = 0;

void CleanUpAndEnd(int signalNumber)
{
    const int savedErrno = errno;
    for (Slot& slot : slots) {
        if (slot.used) {
            unlinkat(slot.directory, slot.name, 0);
        }
    }
    if (lineShown) {
        static const char kErase[] = "\r\033[K";
        const ssize_t ignored = write(STDERR_FILENO, kErase, sizeof kErase - 1);
        (void)ignored;
    }
    // Back to the default action; the signal is blocked while this handler
    // runs and is delivered again, fatally, as soon as it returns.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    errno = savedErrno;
}

// Only a signal still at its default: one ignored since the start stays
// ignored, and one a library already handles (SDL turns SIGINT into a quit
// event) keeps its handler.
void CatchIfDefault(int signalNumber)
{
    struct sigaction previous {};
    if (sigaction(signalNumber, nullptr, &previous) != 0 || (previous.sa_flags & SA_SIGINFO) != 0 ||
        previous.sa_handler != SIG_DFL) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = CleanUpAndEnd;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

void InstallInterruptCleanup()
{
    for (const int signalNumber : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU,
                                   SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT}) {
        CatchIfDefault(signalNumber);
    }
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
        CatchIfDefault(signalNumber);
    }
    signal(SIGXFSZ, SIG_IGN);
}

int RegisterInterruptedTemporary(int directoryDescriptor, const char* name)
{
    const size_t length = strlen(name);
    if (length >= kNameBytes) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        if (!slots[i].used) {
            slots[i].directory = directoryDescriptor;
            memcpy(slots[i].name, name, length + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            slots[i].used = 1;
            return i;
        }
    }
    return -1;
}

void ForgetInterruptedTemporary(int slot)
{
    if (slot >= 0 && slot < kSlots) {
        slots[slot].used = 0;
        std::atomic_signal_fence(std::memory_order_seq_cst);
    }
}

void SetInterruptErasesLine(bool shown) { lineShown = shown ? 1 : 0; }
