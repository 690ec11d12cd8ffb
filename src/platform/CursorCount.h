#pragma once

namespace platform {

// A display count like the system's: each hide lowers it, each show raises it; the pointer is
// visible while the count is 0 or more.
class CursorCount {
public:
    int change(bool show) { return show ? ++m_count : --m_count; }
    int count() const { return m_count; }
    bool visible() const { return m_count >= 0; }
    void reset(int count = 0) { m_count = count; }

private:
    int m_count = 0;
};

} // namespace platform
