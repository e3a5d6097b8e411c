#include "link/TraceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool CTraceFile::Open(const std::string& path, std::string& error) {
    std::lock_guard lock(m_mutex);
    errno = 0;
    m_file.open(path, std::ios::out | std::ios::trunc);
    m_bOpen = m_file.good();
    if (!m_bOpen)
        error = "cannot write the trace file \"" + path + "\": " + std::strerror(errno ? errno : EIO);
    return m_bOpen;
}

std::string CTraceFile::FormatLine(char direction, const Report& r) {
    char line[kReportSize * 3 + 4];
    int at = std::snprintf(line, sizeof line, "%c ", direction);
    for (size_t i = 0; i < r.size(); ++i)
        at += std::snprintf(line + at, sizeof line - at, i ? " %02x" : "%02x", r[i]);
    return line;
}

void CTraceFile::Write(char direction, const Report& report) {
    const std::string line = FormatLine(direction, report);
    std::lock_guard lock(m_mutex);
    if (m_bOpen)
        m_file << line << '\n' << std::flush;
}

void CTraceFile::Note(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_bOpen)
        m_file << "# " << text << '\n' << std::flush;
}

bool CTraceFile::Good() {
    std::lock_guard lock(m_mutex);
    if (!m_bOpen)
        return true;
    m_file.flush();
    return m_file.good();
}
