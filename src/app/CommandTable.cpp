#include "app/CommandTable.h"

#include <utility>

bool CCommandTable::Add(int id, Handler handler) {
    return m_rows.emplace(id, std::move(handler)).second;
}

bool CCommandTable::Dispatch(int id) const {
    const auto row = m_rows.find(id);
    if (row == m_rows.end())
        return false;
    row->second();
    return true;
}

std::vector<int> CCommandTable::Ids() const {
    std::vector<int> ids;
    ids.reserve(m_rows.size());
    for (const auto& [id, handler] : m_rows)
        ids.push_back(id);
    return ids;
}
