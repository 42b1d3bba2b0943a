#include "link/FrameAssembler.h"

#include <utility>

FrameAssembler::FrameAssembler(Consumer consumer)
    : m_consumer(std::move(consumer))
{
    m_text.reserve(MaxFrameLength);
}

void FrameAssembler::setConsumer(Consumer consumer)
{
    m_consumer = std::move(consumer);
}

bool FrameAssembler::Feed(char c)
{
    if (m_count == 0 && !m_inFrame) {
        if (c != '$')
            return false;
        m_inFrame = true;
        m_text.assign(1, c);
        m_count = 1;
    } else if (m_inFrame) {
        m_text.push_back(c);
        ++m_count;
    }

    if (m_inFrame && c == '#') {
        // Reset before handing on, so a consumer that feeds more characters starts clean.
        std::string frame;
        frame.swap(m_text);
        m_count = 0;
        m_inFrame = false;
        if (m_consumer)
            m_consumer(frame);
        return true;
    }
    if (m_count >= MaxFrameLength) {
        m_text.clear();
        m_count = 0;
        m_inFrame = false;
    }
    return false;
}

void FrameAssembler::Reset()
{
    m_text.clear();
    m_count = 0;
    m_inFrame = false;
}
