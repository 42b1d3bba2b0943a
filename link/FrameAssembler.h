#pragma once

#include <functional>
#include <string>

// Cuts a stream of received characters into frames from "$" to "#". A frame that reaches
// MaxFrameLength characters without its "#" is abandoned; the next frame starts at the next "$".
class FrameAssembler
{
public:
    static constexpr int MaxFrameLength = 81;
    using Consumer = std::function<void(const std::string &frame)>;

    explicit FrameAssembler(Consumer consumer = {});

    void setConsumer(Consumer consumer);
    // Returns true when c completed a frame (which was handed to the consumer).
    bool Feed(char c);
    // Forgets a frame begun but not completed.
    void Reset();

    bool collecting() const { return m_inFrame; }
    int count() const { return m_count; }

private:
    Consumer m_consumer;
    std::string m_text;
    int m_count = 0;
    bool m_inFrame = false;
};
