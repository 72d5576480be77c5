#include "keyboard/x11/SignalCleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace kest::x11 {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

std::mutex registryMutex;
std::map<int, std::function<void()>> registry;
int nextId = 1;
int wakePipe[2] = {-1, -1};
struct sigaction previous[2];

void onSignal(int sig) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // Nothing else is safe here; the watcher thread does the work.
    [[maybe_unused]] ssize_t n = write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

void passOn(int sig) {
    for (int i = 0; i < 2; ++i) {
        if (kSignals[i] != sig) continue;
        sigaction(sig, &previous[i], nullptr);
        const auto handler = previous[i].sa_handler;
        if (handler == SIG_IGN) return;
        if (handler == SIG_DFL || (previous[i].sa_flags & SA_SIGINFO)) {
            raise(sig);  // ends the program as the signal would have
            return;
        }
        handler(sig);
    }
}

void watch() {
    for (;;) {
        unsigned char sig = 0;
        const ssize_t n = read(wakePipe[0], &sig, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        {
            std::lock_guard lock(registryMutex);
            for (auto& [id, cleanup] : registry) {
                try {
                    cleanup();
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "kest: cleanup on signal %d failed: %s\n", sig, e.what());
                }
            }
        }
        passOn(sig);
    }
}

bool installHandlers() {
    if (pipe2(wakePipe, O_CLOEXEC) != 0) {
        std::perror("kest: signal pipe");
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &previous[i]);
    std::thread(watch).detach();
    return true;
}

}  // namespace

int SignalCleanup::add(std::function<void()> cleanup) {
    static const bool installed = installHandlers();
    std::lock_guard lock(registryMutex);
    if (!installed) return 0;
    registry.emplace(nextId, std::move(cleanup));
    return nextId++;
}

void SignalCleanup::remove(int id) {
    std::lock_guard lock(registryMutex);
    registry.erase(id);
}

}  // namespace kest::x11
