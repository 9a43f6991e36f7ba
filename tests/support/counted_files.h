// The real file component with the reads of a file's content counted, and, when asked, with
// streams that cannot tell whether a file holds given lines (as a file component of another
// make may not). What the streams do is the real component's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host.h"
#include "host/platform.h"

namespace norvane::testing {

class counted_stream final : public host::text_stream {
  public:
    counted_stream(std::unique_ptr<host::text_stream> real, int& reads, bool tells)
        : real_(std::move(real)), reads_(reads), tells_(tells) {}
    bool at_end_of_stream() override { return real_->at_end_of_stream(); }
    std::string read_line() override {
        ++reads_;
        return real_->read_line();
    }
    std::string read_line_bytes() override {
        ++reads_;
        return real_->read_line_bytes();
    }
    std::string read_rest_bytes() override {
        ++reads_;
        return real_->read_rest_bytes();
    }
    void write_line(const std::string& text) override { real_->write_line(text); }
    void write_line_bytes(const std::string& bytes) override { real_->write_line_bytes(bytes); }
    void write_lines_bytes(std::string block) override {
        real_->write_lines_bytes(std::move(block));
    }
    void write_lines_bytes(std::size_t count,
                           std::function<std::string_view(std::size_t)> line) override {
        real_->write_lines_bytes(count, std::move(line));
    }
    bool holds_lines(std::size_t count,
                     const std::function<std::string_view(std::size_t)>& line) override {
        return tells_ && real_->holds_lines(count, line);
    }
    void append_on_close() override { real_->append_on_close(); }
    void close() override { real_->close(); }

  private:
    std::unique_ptr<host::text_stream> real_;
    int& reads_;
    bool tells_;
};

struct counted_files : host::file_system {
    std::unique_ptr<host::file_system> real = host::create_file_system();
    int reads = 0;      // reads of a file's content, through any stream
    bool tells = true;  // whether streams tell whether a file holds given lines

    bool file_exists(const std::string& name) override { return real->file_exists(name); }
    std::unique_ptr<host::text_stream> open_text_file(const std::string& name, host::iomode mode,
                                                      bool create) override {
        return std::make_unique<counted_stream>(real->open_text_file(name, mode, create), reads,
                                                tells);
    }
    void delete_file(const std::string& name) override { real->delete_file(name); }
    std::unique_ptr<host::command_script> create_command_script(
        const std::string& name, const std::vector<std::string>& lines) override {
        return real->create_command_script(name, lines);
    }
    bool can_store(const std::string& text) override { return real->can_store(text); }
    std::string text_of(const std::string& bytes) override { return real->text_of(bytes); }
    std::string bytes_of(const std::string& text) override { return real->bytes_of(text); }
};

}  // namespace norvane::testing
