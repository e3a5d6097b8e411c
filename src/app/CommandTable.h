// Ribbon, menu and status-bar commands by id: one row per id, each with its handler.
#pragma once

#include <functional>
#include <map>
#include <vector>

class CCommandTable {
public:
    using Handler = std::function<void()>;
    // One handler per id: a second for the same id is a mistake the table refuses (false).
    bool Add(int id, Handler handler);
    // Runs the id's handler; false when it has none (labels, the split buttons' own faces).
    bool Dispatch(int id) const;
    std::vector<int> Ids() const;

private:
    std::map<int, Handler> m_rows;
};
