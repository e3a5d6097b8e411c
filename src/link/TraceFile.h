// The link trace both programs write (--trace FILE): one line per report, "> " for sent and "< " for
// received, then the 61 bytes as two-digit lowercase hex separated by single spaces; notes start "# ".
#pragma once

#include "link/Report.h"

#include <fstream>
#include <mutex>
#include <string>

class CTraceFile {
public:
    // False when the file cannot be written; `error` then says why.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return m_bOpen; }
    // From any thread; each line is written whole and flushed, so a trace survives a crash.
    void Write(char direction, const Report& report);
    void Note(const std::string& text);
    // Flushes; false when any write failed.
    bool Good();

    static std::string FormatLine(char direction, const Report& report);

private:
    std::mutex m_mutex;
    std::ofstream m_file;
    bool m_bOpen = false;
};
