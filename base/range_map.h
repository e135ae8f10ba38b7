// A map from byte ranges of a target to what they hold, the last assignment winning where ranges
// overlap: a few entries for a whole disk however many requests made it, since neighbouring
// ranges that hold the same are joined.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>

namespace lintora {

template <typename Value>
class RangeMap {
  public:
    struct Span {
        uint64_t end;
        Value value;
    };

    // [first, end) holds `value` from now on.
    void assign(uint64_t first, uint64_t end, const Value& value) {
        if (first >= end) {
            return;
        }
        cut(first);
        cut(end);
        spans_.erase(spans_.lower_bound(first), spans_.lower_bound(end));
        auto placed = spans_.emplace(first, Span{end, value}).first;
        join_with_next(placed);
        if (placed != spans_.begin()) {
            join_with_next(std::prev(placed));
        }
    }

    // Calls visit(first, end, value) for each assigned piece of [first, end), in order, clipped
    // to it; the bytes between the pieces were never assigned.
    template <typename Visit>
    void visit(uint64_t first, uint64_t end, Visit visit) const {
        auto at = spans_.upper_bound(first);
        if (at != spans_.begin()) {
            --at;
        }
        for (; at != spans_.end() && at->first < end; ++at) {
            const uint64_t from = at->first > first ? at->first : first;
            const uint64_t to = at->second.end < end ? at->second.end : end;
            if (from < to) {
                visit(from, to, at->second.value);
            }
        }
    }

    bool empty() const { return spans_.empty(); }
    const std::map<uint64_t, Span>& spans() const { return spans_; }

  private:
    // Splits the span that holds `at` inside it into two that meet at `at`.
    void cut(uint64_t at) {
        auto it = spans_.upper_bound(at);
        if (it == spans_.begin()) {
            return;
        }
        --it;
        if (it->first < at && at < it->second.end) {
            spans_.emplace(at, Span{it->second.end, it->second.value});
            it->second.end = at;
        }
    }
    void join_with_next(typename std::map<uint64_t, Span>::iterator it) {
        auto next = std::next(it);
        if (next != spans_.end() && next->first == it->second.end &&
            next->second.value == it->second.value) {
            it->second.end = next->second.end;
            spans_.erase(next);
        }
    }

    std::map<uint64_t, Span> spans_;
};

}  // namespace lintora
