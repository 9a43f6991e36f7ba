// The command interpreter's reading of a script.
#include "host/posix/cmd/cmd_line.h"

#include <cstddef>

namespace norvane::cmd {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// The Windows command interpreter ends a command's name at a blank or at one of these.
bool ends_command_name(char c) {
    return is_blank(c) || c == ',' || c == ';' || c == '=' || c == '"';
}

// echo followed directly by one of these prints the rest of the line as it is ("echo." prints
// an empty line).
bool is_echo_separator(char c) {
    return c == '.' || c == ',' || c == ';' || c == '=' || c == '(' || c == '/' || c == ':' ||
           c == '+' || c == '[' || c == ']' || c == '\\';
}

}  // namespace

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else if (c != '\r') {
            current += c;
        }
    }
    if (!current.empty()) {
        lines.push_back(current);
    }
    return lines;
}

std::vector<std::string> split_words(const std::string& line, bool& has_operator) {
    has_operator = false;
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (quoted) {
            word += c;
        } else if (is_blank(c)) {
            if (in_word) {
                words.push_back(word);
                word.clear();
                in_word = false;
            }
        } else if (c == '^' && i + 1 < line.size()) {
            word += line[++i];
            in_word = true;
        } else {
            if (c == '&' || c == '|' || c == '<' || c == '>') {
                has_operator = true;
            }
            word += c;
            in_word = true;
        }
    }
    if (in_word) {
        words.push_back(word);
    }
    return words;
}

std::string lower_ascii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

script_line parse_line(const std::string& line) {
    script_line result;
    std::size_t pos = 0;
    // Leading blanks and @ signs come off; an @ keeps the line from being echoed.
    while (pos < line.size() && (is_blank(line[pos]) || line[pos] == '@')) {
        if (line[pos] == '@') {
            result.quiet = true;
        }
        ++pos;
    }
    const std::string rest = line.substr(pos);
    if (rest.empty() || rest[0] == ':') {
        return result;  // a blank line, a label or a :: comment
    }

    std::size_t name_end = 0;
    while (name_end < rest.size() && !ends_command_name(rest[name_end])) {
        ++name_end;
    }
    const std::string name = rest.substr(0, name_end);
    const std::string command = lower_ascii(name);

    if (command == "rem") {
        return result;
    }
    if (command.size() > 4 && command.compare(0, 4, "echo") == 0 && is_echo_separator(command[4])) {
        result.kind = line_kind::echo_text;
        result.text = rest.substr(5);
        return result;
    }
    if (command == "echo") {
        std::string argument = rest.substr(name_end);
        if (!argument.empty() && is_echo_separator(argument[0])) {
            result.kind = line_kind::echo_text;
            result.text = argument.substr(1);
            return result;
        }
        std::size_t start = 0;
        while (start < argument.size() && is_blank(argument[start])) {
            ++start;
        }
        argument = argument.substr(start);
        std::size_t end = argument.size();
        while (end > 0 && is_blank(argument[end - 1])) {
            --end;
        }
        const std::string word = lower_ascii(argument.substr(0, end));
        if (word.empty()) {
            result.kind = line_kind::echo_state;
        } else if (word == "off") {
            result.kind = line_kind::echo_off;
        } else if (word == "on") {
            result.kind = line_kind::echo_on;
        } else {
            result.kind = line_kind::echo_text;
            result.text = argument;
        }
        return result;
    }

    bool has_operator = false;
    std::vector<std::string> words = split_words(rest, has_operator);
    if (has_operator) {
        result.kind = line_kind::unsupported;
        return result;
    }
    const std::string program = words.empty() ? std::string() : lower_ascii(words.front());
    if (program == "netsh" || program == "netsh.exe") {
        result.kind = line_kind::netsh;
        result.words.assign(words.begin() + 1, words.end());
        return result;
    }
    result.kind = line_kind::unknown;
    result.name = words.empty() ? name : words.front();
    result.words = std::move(words);
    return result;
}

}  // namespace norvane::cmd
