#include "tools/videoviewer/MjpegStreamParser.h"

#include <cctype>

namespace {

// Longest line that may still become a boundary line; longer ones are garbage.
constexpr size_t MaxBoundaryLine = 256;

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Where the blank line that ends a header block finishes (CRLF or bare LF lines), or npos.
size_t headEnd(std::string_view text)
{
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos)
            return std::string_view::npos;
        std::string_view line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            return nl + 1;
        start = nl + 1;
    }
    return std::string_view::npos;
}

// Calls f(name, value) for every "Name: value" line of a header block.
template<typename F>
void forEachHeader(std::string_view block, F f)
{
    size_t start = 0;
    while (start < block.size()) {
        size_t nl = block.find('\n', start);
        if (nl == std::string_view::npos)
            nl = block.size();
        const std::string_view line = block.substr(start, nl - start);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            f(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
        start = nl + 1;
    }
}

// A decimal length; false for anything else, including values too big for size_t.
bool parseLength(std::string_view text, size_t &value)
{
    if (text.empty())
        return false;
    size_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const size_t digit = size_t(c - '0');
        if (v > (SIZE_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

} // namespace

MjpegStreamParser::MjpegStreamParser(PartHandler handler) : MjpegStreamParser(std::move(handler), Limits()) {}

MjpegStreamParser::MjpegStreamParser(PartHandler handler, Limits limits)
    : m_handler(std::move(handler)), m_limits(limits)
{
}

std::string MjpegStreamParser::BoundaryFromContentType(std::string_view contentType)
{
    size_t pos = 0;
    while (pos < contentType.size()) {
        size_t semicolon = contentType.find(';', pos);
        if (semicolon == std::string_view::npos)
            semicolon = contentType.size();
        const std::string_view param = trim(contentType.substr(pos, semicolon - pos));
        const size_t eq = param.find('=');
        if (eq != std::string_view::npos && equalsNoCase(trim(param.substr(0, eq)), "boundary")) {
            std::string_view value = trim(param.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return std::string(value);
        }
        pos = semicolon + 1;
    }
    return {};
}

bool MjpegStreamParser::Feed(std::string_view bytes)
{
    if (m_state == State::Failed || m_state == State::Finished)
        return m_state != State::Failed;
    m_buffer.append(bytes);
    while (Step()) {
    }
    // Drop used bytes once they are the larger half, so copying stays linear in the input.
    if (m_pos > 0 && m_pos >= m_buffer.size() - m_pos) {
        m_buffer.erase(0, m_pos);
        m_pos = 0;
    }
    return m_state != State::Failed;
}

bool MjpegStreamParser::Step()
{
    switch (m_state) {
    case State::HttpHead:
        return ParseHttpHead();
    case State::SeekBoundary:
        return SeekBoundary();
    case State::PartHeaders:
        return ParsePartHeaders();
    case State::BodyWithLength:
        return TakeBodyWithLength();
    case State::BodyUntilBoundary:
        return TakeBodyUntilBoundary();
    case State::Finished:
    case State::Failed:
        return false;
    }
    return false;
}

bool MjpegStreamParser::ParseHttpHead()
{
    const std::string_view pending = Pending();
    static constexpr std::string_view http = "HTTP/";
    const size_t compared = std::min(pending.size(), http.size());
    if (pending.substr(0, compared) != http.substr(0, compared)) {
        // No HTTP head at all: the multipart body starts right away.
        m_state = State::SeekBoundary;
        return true;
    }
    const size_t end = headEnd(pending);
    if (end == std::string_view::npos) {
        if (pending.size() > m_limits.maxHeadBytes)
            Fail("response head too long");
        return false;
    }
    if (end > m_limits.maxHeadBytes) {
        Fail("response head too long");
        return false;
    }
    const std::string_view head = pending.substr(0, end);
    const size_t space = head.find(' ');
    const std::string_view status = space == std::string_view::npos ? std::string_view() : head.substr(space + 1, 3);
    if (status.size() != 3 || status[0] != '2' || !std::isdigit(static_cast<unsigned char>(status[1]))
        || !std::isdigit(static_cast<unsigned char>(status[2]))) {
        const size_t lineEnd = head.find_first_of("\r\n");
        Fail("server answered " + std::string(trim(head.substr(0, lineEnd))));
        return false;
    }
    const size_t firstLine = head.find('\n');
    forEachHeader(head.substr(firstLine + 1), [this](std::string_view name, std::string_view value) {
        if (equalsNoCase(name, "Content-Type"))
            m_boundary = BoundaryFromContentType(value);
    });
    Consume(end);
    m_state = State::SeekBoundary;
    return true;
}

bool MjpegStreamParser::SeekBoundary()
{
    std::string_view pending = Pending();
    if (m_boundary.empty()) {
        // Learn the boundary from the first line that looks like a delimiter.
        size_t lineStart = 0;
        while (lineStart < pending.size()) {
            const size_t nl = pending.find('\n', lineStart);
            if (nl == std::string_view::npos)
                break;
            const std::string_view line = trim(pending.substr(lineStart, nl - lineStart));
            if (line.size() > 2 && line.size() <= MaxBoundaryLine && line.substr(0, 2) == "--") {
                m_boundary = std::string(line.substr(2));
                break;
            }
            lineStart = nl + 1;
        }
        if (m_boundary.empty()) {
            // Keep only an unfinished last line that could still become a delimiter.
            const size_t keep = pending.size() - lineStart;
            Consume(keep <= MaxBoundaryLine ? lineStart : pending.size());
            return false;
        }
        Consume(lineStart);
        pending = Pending();
    }

    // The bare boundary is searched, so delimiters with or without the usual "--" both match.
    const size_t at = pending.find(m_boundary);
    if (at == std::string_view::npos) {
        const size_t keep = std::min(pending.size(), m_boundary.size() - 1);
        Consume(pending.size() - keep);
        return false;
    }
    const size_t afterBoundary = at + m_boundary.size();
    const size_t nl = pending.find('\n', afterBoundary);
    if (nl == std::string_view::npos) {
        if (pending.size() - afterBoundary > MaxBoundaryLine)
            Consume(afterBoundary); // not a delimiter line after all; look further on
        else
            Consume(at);
        return pending.size() - afterBoundary > MaxBoundaryLine;
    }
    const std::string_view rest = trim(pending.substr(afterBoundary, nl - afterBoundary));
    if (rest.substr(0, 2) == "--") {
        // The closing delimiter: the server has no more pictures.
        Consume(nl + 1);
        m_state = State::Finished;
        return false;
    }
    Consume(nl + 1);
    m_state = State::PartHeaders;
    return true;
}

bool MjpegStreamParser::ParsePartHeaders()
{
    const std::string_view pending = Pending();
    // A part that starts straight with a JPEG picture has no headers.
    if (pending.size() >= 2 && static_cast<unsigned char>(pending[0]) == 0xFF
        && static_cast<unsigned char>(pending[1]) == 0xD8) {
        m_scanned = 0;
        m_state = State::BodyUntilBoundary;
        return true;
    }
    const size_t end = headEnd(pending);
    if (end == std::string_view::npos || end > m_limits.maxHeadBytes) {
        if (end != std::string_view::npos || pending.size() > m_limits.maxHeadBytes) {
            Refuse();
            return true;
        }
        return false;
    }
    bool haveLength = false;
    size_t length = 0;
    forEachHeader(pending.substr(0, end), [&](std::string_view name, std::string_view value) {
        if (equalsNoCase(name, "Content-Length"))
            haveLength = parseLength(value, length);
    });
    Consume(end);
    if (haveLength && length > m_limits.maxPartBytes) {
        Refuse();
        return true;
    }
    if (haveLength) {
        m_length = length;
        m_state = State::BodyWithLength;
    } else {
        m_scanned = 0;
        m_state = State::BodyUntilBoundary;
    }
    return true;
}

bool MjpegStreamParser::TakeBodyWithLength()
{
    const std::string_view pending = Pending();
    if (pending.size() < m_length)
        return false;
    Deliver(pending.substr(0, m_length));
    Consume(m_length);
    m_state = State::SeekBoundary;
    return true;
}

bool MjpegStreamParser::TakeBodyUntilBoundary()
{
    const std::string_view pending = Pending();
    const size_t from = m_scanned >= m_boundary.size() ? m_scanned - m_boundary.size() : 0;
    const size_t at = pending.find(m_boundary, from);
    if (at == std::string_view::npos) {
        m_scanned = pending.size();
        if (pending.size() > m_limits.maxPartBytes)
            Refuse();
        return m_state != State::BodyUntilBoundary;
    }
    std::string_view body = pending.substr(0, at);
    if (body.size() >= 2 && body.substr(body.size() - 2) == "--")
        body.remove_suffix(2);
    if (!body.empty() && body.back() == '\n')
        body.remove_suffix(1);
    if (!body.empty() && body.back() == '\r')
        body.remove_suffix(1);
    Deliver(body);
    Consume(at);
    m_state = State::SeekBoundary;
    return true;
}

void MjpegStreamParser::Deliver(std::string_view body)
{
    if (body.empty())
        return;
    ++m_delivered;
    if (m_handler)
        m_handler(body);
}

void MjpegStreamParser::Refuse()
{
    // The part's bytes are skipped by the boundary search, which keeps almost nothing buffered.
    ++m_refused;
    m_state = State::SeekBoundary;
}

void MjpegStreamParser::Fail(std::string message)
{
    m_error = std::move(message);
    m_state = State::Failed;
    m_buffer.clear();
    m_pos = 0;
}

void MjpegStreamParser::Consume(size_t n)
{
    m_pos += n;
}
