#pragma once
// The tone beep: a synchronous tone of a given frequency and duration.

#include <memory>

namespace platform {

class Clock;

class Beeper {
public:
    virtual ~Beeper() = default;
    // Sounds the tone and returns once it has ended.
    virtual void Beep(int frequencyHz, int durationMs) = 0;
};

// Sounds through the PC speaker where the machine has one that we may use;
// elsewhere the beep is a logged no-op. The duration always passes on the
// clock, so the rhythm of a beep pattern stays the same with or without sound.
class SystemBeeper : public Beeper {
public:
    explicit SystemBeeper(Clock& clock);
    ~SystemBeeper() override;
    void Beep(int frequencyHz, int durationMs) override;
    bool HasSoundDevice() const { return fd_ >= 0; }

private:
    Clock& clock_;
    int fd_ = -1;
    bool evdev_ = false;
};

}  // namespace platform
