#include "channels/PortOpener.h"

#include <QMetaObject>
#include <mutex>
#include <optional>
#include <thread>

namespace kest {

// What the opening threads and the opener share. An outcome waits in the mailbox until
// the opener takes it; whatever is overtaken is closed under the lock, so that a port
// is closed exactly once whoever comes last.
struct PortOpener::Shared {
    std::mutex mutex;
    PortOpener* owner = nullptr;
    std::uint64_t generation = 0;
    std::optional<Outcome> mailbox;
    Close close;

    void discardMailbox() {
        if (mailbox && mailbox->port) close(mailbox->port);
        mailbox.reset();
    }
};

PortOpener::PortOpener(Close close, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    shared_->owner = this;
    shared_->close = std::move(close);
}

PortOpener::~PortOpener() {
    std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
    ++shared_->generation;
    shared_->discardMailbox();
}

void PortOpener::start(Open open) {
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(shared_->mutex);
        generation = ++shared_->generation;
        shared_->discardMailbox();
    }
    opening_ = true;
    // Detached: a thread stuck in the system's open must not hold up a close or the
    // end of the program. It holds the shared part alive until it is done.
    std::thread([shared = shared_, generation, open = std::move(open)] {
        Outcome outcome = open();
        std::lock_guard lock(shared->mutex);
        if (!shared->owner || shared->generation != generation) {
            if (outcome.port) shared->close(outcome.port);
            return;
        }
        shared->mailbox = std::move(outcome);
        QMetaObject::invokeMethod(
            shared->owner, [owner = shared->owner, generation] { owner->deliver(generation); },
            Qt::QueuedConnection);
    }).detach();
}

void PortOpener::cancel() {
    std::lock_guard lock(shared_->mutex);
    ++shared_->generation;
    shared_->discardMailbox();
    opening_ = false;
}

void PortOpener::deliver(std::uint64_t generation) {
    std::optional<Outcome> outcome;
    {
        std::lock_guard lock(shared_->mutex);
        if (generation != shared_->generation) return;  // overtaken after it was posted
        outcome.swap(shared_->mailbox);
    }
    if (!outcome) return;
    opening_ = false;
    emit finished(outcome->port, outcome->failure);
}

}  // namespace kest
