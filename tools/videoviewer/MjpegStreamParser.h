#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Cuts an HTTP motion-JPEG response (multipart/x-mixed-replace) into its pictures, fed in pieces
// as they arrive from the socket. Parts carry Content-Length or are ended by the next boundary;
// a missing boundary parameter is learnt from the first "--" line. Memory stays bounded whatever
// the peer sends: an over-long head is an error, an over-long part is refused and skipped.
class MjpegStreamParser
{
public:
    struct Limits
    {
        size_t maxHeadBytes = 16 * 1024;       // HTTP response head, and the headers of one part
        size_t maxPartBytes = 8 * 1024 * 1024; // one picture
    };
    using PartHandler = std::function<void(std::string_view body)>;

    explicit MjpegStreamParser(PartHandler handler);
    MjpegStreamParser(PartHandler handler, Limits limits);

    // Takes the next bytes of the response. Returns false once the stream cannot be used (not a
    // successful HTTP response, head too long); further input is then ignored.
    bool Feed(std::string_view bytes);

    bool Failed() const { return m_state == State::Failed; }
    const std::string &Error() const { return m_error; }
    const std::string &Boundary() const { return m_boundary; }
    size_t PartsDelivered() const { return m_delivered; }
    size_t PartsRefused() const { return m_refused; }
    size_t BufferedBytes() const { return m_buffer.size() - m_pos; }

    // The boundary parameter of a Content-Type value (quotes removed), or empty.
    static std::string BoundaryFromContentType(std::string_view contentType);

private:
    enum class State { HttpHead, SeekBoundary, PartHeaders, BodyWithLength, BodyUntilBoundary, Finished, Failed };

    bool Step();
    bool ParseHttpHead();
    bool SeekBoundary();
    bool ParsePartHeaders();
    bool TakeBodyWithLength();
    bool TakeBodyUntilBoundary();
    void Deliver(std::string_view body);
    void Refuse();
    void Fail(std::string message);
    std::string_view Pending() const { return std::string_view(m_buffer).substr(m_pos); }
    void Consume(size_t n);

    PartHandler m_handler;
    Limits m_limits;
    State m_state = State::HttpHead;
    std::string m_buffer;
    size_t m_pos = 0;     // bytes of m_buffer already used
    size_t m_scanned = 0; // bytes of the pending body already searched for the boundary
    size_t m_length = 0;  // Content-Length of the current part
    std::string m_boundary;
    std::string m_error;
    size_t m_delivered = 0;
    size_t m_refused = 0;
};
