#include "listing/parser.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <limits>
#include <optional>
#include <vector>

#include <boost/regex.hpp>

#include "listing/text.hpp"

namespace quorvelv {
namespace {

// Markers fixed in the parser, not carried by the configuration boxes.
constexpr std::string_view name_left = "</span>";
constexpr std::string_view name_right = "</div>";
constexpr std::string_view value_right = "<";
constexpr std::string_view size_right = "MB";
constexpr std::string_view first_id_marker = "jc.php?pid=";
constexpr std::string_view id_right = "\"";

// Regex reads a search may make per byte of the section (plus a fixed allowance) before the parse gives up.
// A well-behaved pattern reads each byte a few times; a backtracking one reads it without end.
constexpr std::int64_t regex_reads_per_byte = 64;
constexpr std::int64_t regex_reads_allowance = std::int64_t{1} << 22;

struct work_exhausted {};

// A character pointer that counts every byte the regex engine reads and stops the search once the parse's
// budget of reads is spent. Boost's own complexity limit grows with the square of the text (beyond 10^11
// steps on a 2 MB page), so it does not keep a backtracking pattern from burning a core for minutes.
class budget_iterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    budget_iterator() = default;
    budget_iterator(const char* p, std::int64_t* reads_left) : p_(p), reads_left_(reads_left) {}

    reference operator*() const {
        spend();
        return *p_;
    }
    reference operator[](difference_type n) const {
        spend();
        return p_[n];
    }
    budget_iterator& operator++() {
        ++p_;
        return *this;
    }
    budget_iterator operator++(int) {
        budget_iterator old = *this;
        ++p_;
        return old;
    }
    budget_iterator& operator--() {
        --p_;
        return *this;
    }
    budget_iterator operator--(int) {
        budget_iterator old = *this;
        --p_;
        return old;
    }
    budget_iterator& operator+=(difference_type n) {
        p_ += n;
        return *this;
    }
    budget_iterator& operator-=(difference_type n) {
        p_ -= n;
        return *this;
    }
    friend budget_iterator operator+(budget_iterator it, difference_type n) { return it += n; }
    friend budget_iterator operator+(difference_type n, budget_iterator it) { return it += n; }
    friend budget_iterator operator-(budget_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const budget_iterator& a, const budget_iterator& b) { return a.p_ - b.p_; }
    friend bool operator==(const budget_iterator& a, const budget_iterator& b) { return a.p_ == b.p_; }
    friend bool operator!=(const budget_iterator& a, const budget_iterator& b) { return a.p_ != b.p_; }
    friend bool operator<(const budget_iterator& a, const budget_iterator& b) { return a.p_ < b.p_; }
    friend bool operator>(const budget_iterator& a, const budget_iterator& b) { return a.p_ > b.p_; }
    friend bool operator<=(const budget_iterator& a, const budget_iterator& b) { return a.p_ <= b.p_; }
    friend bool operator>=(const budget_iterator& a, const budget_iterator& b) { return a.p_ >= b.p_; }

    const char* get() const { return p_; }

private:
    void spend() const {
        if (--*reads_left_ < 0) throw work_exhausted{};
    }

    const char* p_ = nullptr;
    std::int64_t* reads_left_ = nullptr;
};

struct match_span {
    std::size_t begin, end;  // byte offsets in the searched text
};

// The literals of a pattern made only of literal text joined by lazy wildcards ".*?", or nothing when the
// pattern has any other shape. Bytes that mean something to a Perl-syntax pattern are not literal.
std::optional<std::vector<std::string_view>> lazy_literal_chain(std::string_view pattern) {
    constexpr std::string_view wildcard = ".*?";
    constexpr std::string_view special = "\\.[]{}()*+?|^$";
    std::vector<std::string_view> literals;
    for (;;) {
        const std::size_t cut = pattern.find(wildcard);
        const std::string_view literal = pattern.substr(0, cut);
        if (literal.find_first_of(special) != std::string_view::npos) return std::nullopt;
        literals.push_back(literal);
        if (cut == std::string_view::npos) return literals;
        pattern.remove_prefix(cut + wildcard.size());
    }
}

std::size_t find_bytes(std::string_view text, std::size_t from, std::string_view literal) {
    if (literal.empty()) return from;
    if (from + literal.size() > text.size()) return std::string_view::npos;
    const void* hit = memmem(text.data() + from, text.size() - from, literal.data(), literal.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// The leftmost match of L0 .*? L1 .*? ... Ln, exactly as a backtracking engine finds it, in one pass.
// A match ending "Lk .*? ... Ln" exists after a position only if Lk ... Ln occur in that order after it,
// and then it exists after every earlier position too. So no match can begin before the first L0, one
// begins there as soon as the remaining literals occur in order, and each lazy wildcard stops at the first
// occurrence of the literal after it. When the literals do not occur in order, nothing matches anywhere
// further on, which is where a backtracking search loses its quadratic time.
std::optional<match_span> chain_match(std::string_view text, const std::vector<std::string_view>& literals) {
    const std::size_t begin = find_bytes(text, 0, literals.front());
    if (begin == std::string_view::npos) return std::nullopt;
    std::size_t end = begin + literals.front().size();
    for (std::size_t k = 1; k < literals.size(); ++k) {
        const std::size_t at = find_bytes(text, end, literals[k]);
        if (at == std::string_view::npos) return std::nullopt;
        end = at + literals[k].size();
    }
    return match_span{begin, end};
}

// Any other pattern goes to Boost.Regex with a budget of byte reads shared by all searches of the parse.
// Errors of the engine (its complexity and stack limits, the budget) end the search with no match.
std::optional<match_span> bounded_search(std::string_view text, const boost::regex& pattern,
                                         std::int64_t& reads_left) {
    const budget_iterator first(text.data(), &reads_left);
    const budget_iterator last(text.data() + text.size(), &reads_left);
    boost::match_results<budget_iterator> match;
    try {
        if (!boost::regex_search(first, last, match, pattern, boost::match_default)) return std::nullopt;
    } catch (const work_exhausted&) {
        return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return match_span{static_cast<std::size_t>(match[0].first - first),
                      static_cast<std::size_t>(match[0].second - first)};
}

// The cut of text_between (page, section start, section end, 0), or nothing when a marker is missing: then
// the page has no items, whatever the pattern would find in the failure text.
std::optional<std::string_view> listing_section(std::string_view page, const parser_config& config) {
    const std::int32_t b = find_text(page, config.section_start, 0, true);
    if (b == -1) return std::nullopt;
    const std::int64_t s = static_cast<std::int64_t>(b) + text_length(config.section_start);
    if (s > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    const std::int32_t e = find_text(page, config.section_end, static_cast<std::int32_t>(s), true);
    if (e == -1) return std::nullopt;
    return page.substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(e - s));
}

listing_item cut_item(std::string_view match, const parser_config& config, bool first) {
    listing_item item;
    item.row.name = text_between(match, name_left, name_right, 0);
    item.row.password = text_between(match, config.password_marker, value_right, 0);
    item.row.link = text_between(match, config.link_marker, value_right, 0);
    item.row.size = text_between(match, config.size_marker, size_right, 0);
    item.row.size += size_right;
    item.resource_id = text_between(match, first ? first_id_marker : std::string_view(config.id_marker), id_right, 0);
    return item;
}

}  // namespace

void parse_listing_page(std::string_view page, const parser_config& config,
                        const std::function<void(const listing_item&)>& on_item) {
    const std::optional<std::string_view> found_section = listing_section(page, config);
    if (!found_section) return;
    const std::string_view section = *found_section;

    boost::regex pattern;
    try {
        pattern.assign(config.item_pattern, boost::regex::perl);
    } catch (const std::exception&) {
        return;  // a pattern that does not compile finds nothing
    }
    // Literals joined by lazy wildcards (the default pattern) are matched by a scan for the literals in order,
    // which gives the engine's own matches in linear time; other shapes go to the engine within a budget.
    const auto literals = lazy_literal_chain(config.item_pattern);
    std::int64_t reads_left = regex_reads_allowance + regex_reads_per_byte * static_cast<std::int64_t>(section.size());

    std::size_t offset = 0;
    bool first = true;
    while (offset <= section.size()) {
        // Each search treats the rest of the section as a text of its own.
        const std::string_view rest = section.substr(offset);
        const std::optional<match_span> found =
            literals ? chain_match(rest, *literals) : bounded_search(rest, pattern, reads_left);
        if (!found) return;
        on_item(cut_item(rest.substr(found->begin, found->end - found->begin), config, first));
        first = false;
        // An empty match would be found again at the same place forever: step over one byte.
        offset += found->end == found->begin ? found->end + 1 : found->end;
    }
}

}  // namespace quorvelv
