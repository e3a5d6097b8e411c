#include "sync/PollToken.h"

#include <utility>

CPollToken::CPollToken(std::shared_ptr<std::atomic<int>> count) : m_pCount(std::move(count)) {
    ++*m_pCount;
}

CPollToken& CPollToken::operator=(CPollToken&& other) noexcept {
    if (this != &other) {
        Release();
        m_pCount = std::move(other.m_pCount);
    }
    return *this;
}

void CPollToken::Release() {
    if (auto count = std::exchange(m_pCount, nullptr))
        --*count;
}

CPollToken CPollGate::Suspend() {
    return CPollToken(m_pCount);
}
