// The filter expression language of the client dataset (internal): parsed once, evaluated per
// record on the columns in place.
#pragma once

#include <QString>
#include <memory>
#include <string_view>

class TClientDataSet;

namespace dsimpl {

struct Store;
struct Node;

class Filter {
public:
    // Parses and binds to the fields of ds; DatasetError with the place of a syntax error.
    Filter(const QString& expr, const TClientDataSet& ds, bool caseInsensitive, bool noPartial);
    ~Filter();
    bool test(const Store& st, int row) const;

private:
    std::unique_ptr<Node> m_root;
};

// LIKE matching on UTF-8: % any run, _ one character; a character after escape (when not 0)
// stands for itself. Never reads past either text, whatever bytes they hold.
bool likeMatch(std::string_view s, std::string_view pattern, bool caseInsensitive, char escape = 0);

// The deepest nesting of parentheses, NOTs and signs the filter language takes; deeper texts are
// refused with a message instead of running out of stack.
constexpr int MaxFilterNesting = 256;
// The most operators (AND, OR, comparisons, arithmetic) one filter text may hold.
constexpr int MaxFilterOperators = 10000;

} // namespace dsimpl
