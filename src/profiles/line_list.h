// Lines of text kept in one buffer. The profile table holds every line of profile.dat twice
// (its bytes and its text); a string of its own for each cost an allocation, a free and some
// 50 bytes of bookkeeping a line, which at 100,000 profiles was most of the start-up and of
// the memory. A line is a span of the buffer; lines may share bytes, and a line that changes
// gets new bytes at the buffer's end, so moving a line is copying its span.
#pragma once

#include <compare>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

class line_list {
  public:
    // Where a line lies in the buffer.
    struct span {
        std::size_t begin = 0;
        std::size_t length = 0;
    };

    class const_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        const_iterator(const line_list* list, std::size_t at) : list_(list), at_(at) {}
        std::string_view operator*() const { return (*list_)[at_]; }
        std::string_view operator[](difference_type n) const {
            return (*list_)[at_ + static_cast<std::size_t>(n)];
        }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) { return {list_, at_++}; }
        const_iterator& operator--() {
            --at_;
            return *this;
        }
        const_iterator operator--(int) { return {list_, at_--}; }
        const_iterator& operator+=(difference_type n) {
            at_ += static_cast<std::size_t>(n);
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            at_ -= static_cast<std::size_t>(n);
            return *this;
        }
        friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
        friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
        friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return static_cast<difference_type>(a.at_) - static_cast<difference_type>(b.at_);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.at_ == b.at_;
        }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
            return a.at_ <=> b.at_;
        }

      private:
        const line_list* list_ = nullptr;
        std::size_t at_ = 0;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;
    using size_type = std::size_t;

    line_list() = default;
    line_list(std::initializer_list<std::string_view> lines);
    // A list of these lines (tables built by hand).
    line_list(const std::vector<std::string>& lines);  // NOLINT(google-explicit-constructor)

    // The lines that spans give of a buffer, which the list takes as its own.
    static line_list from_buffer(std::string buffer, std::vector<span> spans);

    std::size_t size() const { return spans_.size(); }
    bool empty() const { return spans_.empty(); }
    std::string_view operator[](std::size_t i) const {
        return {data_.data() + spans_[i].begin, spans_[i].length};
    }
    std::string_view front() const { return (*this)[0]; }
    std::string_view back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    // Room for that many lines and bytes more, so that adding them cannot fail half way.
    void reserve(std::size_t lines, std::size_t bytes);
    // Adds a line; line must not lie in this list's own buffer.
    void push_back(std::string_view line);
    // Gives line i the same bytes as line from.
    void copy_line(std::size_t from, std::size_t i) { spans_[i] = spans_[from]; }
    // Gives line i these bytes; line must not lie in this list's own buffer.
    void set(std::size_t i, std::string_view line);
    // Removes the lines for which drop(i) is true, keeping the others in their order.
    template <class dropping>
    void remove_lines(dropping&& drop) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < spans_.size(); ++i) {
            if (!drop(i)) {
                spans_[kept++] = spans_[i];
            }
        }
        spans_.resize(kept);
    }
    // Makes the list n lines long (new lines empty).
    void resize(std::size_t n) { spans_.resize(n); }
    void clear();
    // Drops the bytes no line uses any more when they are most of the buffer.
    void compact();

    // Line by line.
    bool operator==(const line_list& other) const;
    std::vector<std::string> to_vector() const;

  private:
    std::string data_;
    std::vector<span> spans_;
};

bool operator==(const line_list& list, const std::vector<std::string>& lines);

}  // namespace norvane
