// Live polling is suspended while anyone holds a token: a bulk transfer, the smart-plug window, the
// remote-learning window. Each holder keeps its own token, so one holder's end cannot undo another's
// suspension, and a token returns itself when destroyed, on whatever thread that happens.
#pragma once

#include <atomic>
#include <memory>

class CPollToken {
public:
    CPollToken() = default; // holds nothing
    CPollToken(CPollToken&& other) noexcept = default;
    CPollToken& operator=(CPollToken&& other) noexcept;
    CPollToken(const CPollToken&) = delete;
    CPollToken& operator=(const CPollToken&) = delete;
    ~CPollToken() { Release(); }

    // Gives the suspension back now; a second call does nothing.
    void Release();
    bool Held() const { return m_pCount != nullptr; }

private:
    friend class CPollGate;
    explicit CPollToken(std::shared_ptr<std::atomic<int>> count);
    // Shared with the gate, so a token may outlive the connection that handed it out.
    std::shared_ptr<std::atomic<int>> m_pCount;
};

// Counts the tokens out.
class CPollGate {
public:
    [[nodiscard]] CPollToken Suspend();
    bool Suspended() const { return m_pCount->load() > 0; }

private:
    std::shared_ptr<std::atomic<int>> m_pCount = std::make_shared<std::atomic<int>>(0);
};
