#include "service/push_order.h"

#include <atomic>
#include <map>
#include <new>
#include <string>

#include "common/unique_handle.h"

// The ended state of one job: a manual-reset event, set once when the job ends.
struct JobEnd {
    UniqueKernelHandle event;
};

// One phone's line of jobs. The ticket and the last job are changed under the lines' lock,
// by the threads that start jobs; the newest pushing ticket only by the jobs themselves.
struct PhoneLine {
    unsigned long long lastTicket = 0;
    std::shared_ptr<JobEnd> lastJob;
    std::atomic<unsigned long long> newestPushing{0};
};

namespace {

// Jobs are started on the HTTP server thread and on the sweep's thread. The lock is held
// only to look up a line and take a ticket, never while waiting.
SRWLOCK g_linesLock = SRWLOCK_INIT;
std::map<std::wstring, std::shared_ptr<PhoneLine>>* g_lines = nullptr;

class LinesLock {
public:
    LinesLock() { AcquireSRWLockExclusive(&g_linesLock); }
    ~LinesLock() { ReleaseSRWLockExclusive(&g_linesLock); }
    LinesLock(const LinesLock&) = delete;
    LinesLock& operator=(const LinesLock&) = delete;
};

std::shared_ptr<JobEnd> NewJobEnd() {
    auto end = std::make_shared<JobEnd>();
    end->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!end->event) return nullptr;
    return end;
}

}  // namespace

PushTurn::~PushTurn() { End(); }

PushTurn& PushTurn::operator=(PushTurn&& other) noexcept {
    if (this != &other) {
        End();
        line_ = std::move(other.line_);
        ticket_ = other.ticket_;
        previous_ = std::move(other.previous_);
        end_ = std::move(other.end_);
    }
    return *this;
}

void PushTurn::End() {
    if (end_) SetEvent(end_->event.get());
    end_.reset();
    previous_.reset();
    line_.reset();
}

PushTurn PushTurn::Join(const wchar_t* phoneIP) {
    PushTurn turn;
    if (phoneIP == nullptr) return turn;
    // Join runs on the connection thread: memory that cannot be had leaves the job out of line
    // (it waits for nobody) rather than end the service.
    try {
        std::shared_ptr<JobEnd> end = NewJobEnd();
        if (!end) return turn;
        LinesLock lock;
        if (g_lines == nullptr) g_lines = new std::map<std::wstring, std::shared_ptr<PhoneLine>>();  // lives as long as the process
        std::shared_ptr<PhoneLine>& line = (*g_lines)[phoneIP];
        if (!line) line = std::make_shared<PhoneLine>();
        turn.line_ = line;
        turn.ticket_ = ++line->lastTicket;
        turn.previous_ = std::move(line->lastJob);
        turn.end_ = end;
        line->lastJob = std::move(end);
    } catch (const std::bad_alloc&) {
        return PushTurn();
    }
    return turn;
}

bool PushTurn::WaitForTurn(DWORD waitMs) {
    bool inTime = true;
    if (previous_) inTime = WaitForSingleObject(previous_->event.get(), waitMs) == WAIT_OBJECT_0;
    previous_.reset();
    if (!line_) return inTime;
    unsigned long long newest = line_->newestPushing.load();
    while (newest < ticket_ && !line_->newestPushing.compare_exchange_weak(newest, ticket_)) {
    }
    return inTime;
}

bool PushTurn::StillInTurn() const { return !line_ || line_->newestPushing.load() <= ticket_; }
