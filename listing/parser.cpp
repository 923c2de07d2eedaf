#include "listing/parser.hpp"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include <boost/regex.hpp>

#include "listing/byte_search.hpp"
#include "listing/text.hpp"

namespace quorvelv {
namespace listing_detail {

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

}  // namespace listing_detail

namespace {

using listing_detail::budget_iterator;
using listing_detail::work_exhausted;

// Byte reads the engine may make over one parse: so many per byte of the section plus a fixed allowance.
// The default pattern run through the engine reads each byte about once; a backtracking pattern reads
// them billions of times (10^11 on a 2 MB hostile page). The allowance lets even quadratic patterns finish
// on pages of the site's size (20 items); at about a nanosecond a read, 20 MB stop within a second.
constexpr std::int64_t regex_reads_per_byte = 32;
constexpr std::int64_t regex_reads_allowance = std::int64_t{1} << 24;

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

// The literals of a lazy chain with their searches, set up once per parse.
struct literal_chain {
    std::vector<std::string_view> literals;
    std::vector<listing_detail::byte_search> searches;

    explicit literal_chain(std::vector<std::string_view> parts) : literals(std::move(parts)) {
        searches.reserve(literals.size());
        for (std::string_view literal : literals) searches.emplace_back(literal, false);
    }
};

// The leftmost match of L0 .*? L1 .*? ... Ln, exactly as a backtracking engine finds it, in one pass.
// A match ending "Lk .*? ... Ln" exists after a position only if Lk ... Ln occur in that order after it,
// and then it exists after every earlier position too. So no match can begin before the first L0, one
// begins there as soon as the remaining literals occur in order, and each lazy wildcard stops at the first
// occurrence of the literal after it. When the literals do not occur in order, nothing matches anywhere
// further on, which is where a backtracking search loses its quadratic time.
std::optional<match_span> chain_match(std::string_view text, const literal_chain& chain) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t begin = chain.searches.front().find(bytes, text.size(), 0);
    if (begin == std::string_view::npos) return std::nullopt;
    std::size_t end = begin + chain.literals.front().size();
    for (std::size_t k = 1; k < chain.literals.size(); ++k) {
        const std::size_t at = chain.searches[k].find(bytes, text.size(), end);
        if (at == std::string_view::npos) return std::nullopt;
        end = at + chain.literals[k].size();
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

// A marker of the field cuts with its search, set up once per parse rather than once per cut.
struct marker {
    std::string_view text;
    listing_detail::byte_search search;
    explicit marker(std::string_view t) : text(t), search(t, true) {}
};

// text_between (source, left, right, 0), step by step as it is, over the prepared searches.
std::string cut_between(std::string_view source, const marker& left, const marker& right) {
    const std::int32_t b = listing_detail::find_character(source, left.search, 0);
    if (b == -1) return std::string(failure_text);
    const std::int64_t s = static_cast<std::int64_t>(b) + text_length(left.text);
    if (s > std::numeric_limits<std::int32_t>::max()) return std::string(failure_text);
    const std::int32_t e = listing_detail::find_character(source, right.search, static_cast<std::int32_t>(s));
    if (e == -1) return std::string(failure_text);
    return text_mid(source, static_cast<std::int32_t>(s), static_cast<std::int32_t>(e - s));
}

struct field_markers {
    marker name_left{"</span>"}, name_right{"</div>"}, value_right{"<"}, size_right{"MB"};
    marker first_id{"jc.php?pid="}, id_right{"\""};
    marker size, password, link, later_id;

    explicit field_markers(const parser_config& config)
        : size(config.size_marker), password(config.password_marker), link(config.link_marker),
          later_id(config.id_marker) {}
};

listing_item cut_item(std::string_view match, const field_markers& markers, bool first) {
    listing_item item;
    item.row.name = cut_between(match, markers.name_left, markers.name_right);
    item.row.password = cut_between(match, markers.password, markers.value_right);
    item.row.link = cut_between(match, markers.link, markers.value_right);
    item.row.size = cut_between(match, markers.size, markers.size_right);
    item.row.size += markers.size_right.text;
    item.resource_id = cut_between(match, first ? markers.first_id : markers.later_id, markers.id_right);
    return item;
}

}  // namespace

void parse_listing_page(std::string_view page, const parser_config& config,
                        const std::function<void(const listing_item&)>& on_item) {
    const std::optional<std::string_view> found_section = listing_section(page, config);
    if (!found_section) return;
    const std::string_view section = *found_section;

    // Literals joined by lazy wildcards (the default pattern) are matched by a scan for the literals in order,
    // which gives the engine's own matches in linear time. Such a pattern always compiles. Other shapes go
    // to the engine, within a budget; one that does not compile finds nothing.
    std::optional<std::vector<std::string_view>> literals = lazy_literal_chain(config.item_pattern);
    const bool is_chain = literals.has_value();
    const literal_chain chain(is_chain ? std::move(*literals) : std::vector<std::string_view>{});
    boost::regex pattern;
    if (!is_chain) {
        try {
            pattern.assign(config.item_pattern, boost::regex::perl);
        } catch (const std::exception&) {
            return;
        }
    }
    const field_markers markers(config);
    std::int64_t reads_left = regex_reads_allowance + regex_reads_per_byte * static_cast<std::int64_t>(section.size());

    std::size_t offset = 0;
    bool first = true;
    while (offset <= section.size()) {
        // Each search treats the rest of the section as a text of its own.
        const std::string_view rest = section.substr(offset);
        const std::optional<match_span> found =
            is_chain ? chain_match(rest, chain) : bounded_search(rest, pattern, reads_left);
        if (!found) return;
        on_item(cut_item(rest.substr(found->begin, found->end - found->begin), markers, first));
        first = false;
        // An empty match would be found again at the same place forever: step over one byte.
        offset += found->end == found->begin ? found->end + 1 : found->end;
    }
}

}  // namespace quorvelv
