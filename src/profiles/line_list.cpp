#include "profiles/line_list.h"

#include <algorithm>
#include <new>
#include <utility>

#include "host/large_buffer.h"

namespace norvane {

line_list::line_list(std::initializer_list<std::string_view> lines) {
    for (const std::string_view line : lines) {
        push_back(line);
    }
}

line_list::line_list(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        push_back(line);
    }
}

line_list line_list::from_buffer(std::string buffer, std::vector<span> spans) {
    line_list list;
    list.data_ = std::move(buffer);
    list.spans_ = std::move(spans);
    return list;
}

void line_list::reserve(std::size_t lines, std::size_t bytes) {
    spans_.reserve(spans_.size() + lines);
    host::reserve_large(data_, data_.size() + bytes);
}

void line_list::push_back(std::string_view line) {
    const span added{data_.size(), line.size()};
    data_.append(line);
    try {
        spans_.push_back(added);
    } catch (...) {
        data_.resize(added.begin);  // nothing added
        throw;
    }
}

void line_list::set(std::size_t i, std::string_view line) {
    const span changed{data_.size(), line.size()};
    data_.append(line);
    spans_[i] = changed;
}

void line_list::clear() {
    data_.clear();
    spans_.clear();
}

void line_list::compact() {
    std::size_t used = 0;
    for (const span& each : spans_) {
        used += each.length;
    }
    if (data_.size() <= 2 * used + 65536) {
        return;
    }
    std::string packed;
    try {
        packed.reserve(used);
    } catch (const std::bad_alloc&) {
        return;  // the list stays as it was, only larger
    }
    for (span& each : spans_) {
        const std::size_t begin = packed.size();
        packed.append(data_, each.begin, each.length);
        each.begin = begin;
    }
    data_ = std::move(packed);
}

bool line_list::operator==(const line_list& other) const {
    return size() == other.size() && std::equal(begin(), end(), other.begin());
}

std::vector<std::string> line_list::to_vector() const {
    return {begin(), end()};
}

bool operator==(const line_list& list, const std::vector<std::string>& lines) {
    return list.size() == lines.size() && std::equal(list.begin(), list.end(), lines.begin());
}

}  // namespace norvane
