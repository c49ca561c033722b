// The order of the pushes to one phone: a job's pushes go out only after the phone's job
// before it has ended, so that a stop never overtakes its start. Every wait is bounded: a
// phone that never answers holds up its own later jobs for a while, never for good.
#pragma once

#include <windows.h>

#include <memory>

struct PhoneLine;
struct JobEnd;

// One job's place in its phone's line: taken when the job is started (on the thread that
// starts jobs, so in their order), given up when the job ends.
class PushTurn {
public:
    PushTurn() = default;
    ~PushTurn();
    PushTurn(PushTurn&& other) noexcept = default;
    PushTurn& operator=(PushTurn&& other) noexcept;
    PushTurn(const PushTurn&) = delete;
    PushTurn& operator=(const PushTurn&) = delete;

    // Takes the place behind the phone's last job. Without the means to wait (no event), the
    // job waits for nobody and nobody waits for it.
    static PushTurn Join(const wchar_t* phoneIP);

    // Waits until the phone's job before this one has ended, or waitMs have passed; from then
    // on this job is the phone's newest one pushing. False when the wait ran out.
    bool WaitForTurn(DWORD waitMs);

    // False once a later job of the same phone has begun pushing: a push of this job now
    // would overtake that job's pushes.
    bool StillInTurn() const;

private:
    void End();

    std::shared_ptr<PhoneLine> line_;
    unsigned long long ticket_ = 0;
    std::shared_ptr<JobEnd> previous_;  // the end of the phone's job before this one
    std::shared_ptr<JobEnd> end_;       // this job's end, which the next job waits for
};

// How long a job waits for the phone's job before it: far longer than a phone takes to
// answer a push, short enough that a phone that never answers still gets its stop.
inline constexpr DWORD kPushTurnWaitMs = 10000;
