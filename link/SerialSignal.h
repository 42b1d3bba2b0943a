#pragma once

// A manual-reset signal that a poll-style wait can watch: raised, it stays raised until reset.
// Linux backs it with an eventfd.
class SerialSignal
{
public:
    SerialSignal();
    ~SerialSignal();
    SerialSignal(const SerialSignal &) = delete;
    SerialSignal &operator=(const SerialSignal &) = delete;

    bool Valid() const { return m_fd >= 0; }
    void Raise();
    void Reset();
    bool IsRaised() const;
    // Readable while raised.
    int Handle() const { return m_fd; }

private:
    int m_fd = -1;
};
