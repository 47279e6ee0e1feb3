#include "platform/reference_engine.h"

#include "platform/app_error.h"

namespace qv {

namespace {
bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}
}  // namespace

int QueryResult::column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (same_name(columns[i], name))
            return static_cast<int>(i);
    return -1;
}

std::optional<std::string> QueryResult::field(std::size_t row, std::string_view name) const {
    int c = column(name);
    if (c < 0)
        throw AppError(3265, "Item not found in this collection.");
    if (row >= rows.size())
        throw AppError(3021, "No current record.");
    return rows[row][static_cast<std::size_t>(c)];
}

std::vector<QueryOutcome> ReferenceEngine::query_each(const std::vector<std::string>& texts) {
    std::vector<QueryOutcome> outcomes(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        try {
            outcomes[i].rows = query(texts[i]);
        } catch (...) {
            outcomes[i].failure = std::current_exception();
        }
    }
    return outcomes;
}

std::vector<QueryOutcome> ReferenceEngine::query_each_value(
    std::string_view head, const std::vector<std::string_view>& values, std::string_view tail) {
    std::vector<std::string> texts;
    texts.reserve(values.size());
    for (std::string_view value : values)
        texts.push_back(access_query(head, value, tail));
    return query_each(texts);
}

}  // namespace qv
