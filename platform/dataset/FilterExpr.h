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

// LIKE matching on UTF-8: % any run, _ one character.
bool likeMatch(std::string_view s, std::string_view pattern, bool caseInsensitive);

} // namespace dsimpl
