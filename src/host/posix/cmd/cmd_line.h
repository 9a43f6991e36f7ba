// The command interpreter's reading of a script: lines, words and what each line asks for,
// following the rules of the Windows command interpreter for the few commands the program's
// scripts use.
#pragma once

#include <string>
#include <vector>

namespace norvane::cmd {

// The lines of a decoded script; a line ends at CR LF or LF (a lone CR is dropped, as the
// Windows command interpreter drops it).
std::vector<std::string> split_lines(const std::string& text);

// The words of a command line: blanks (space, tab) separate words, double quotes group
// blanks into a word and are removed, and outside quotes ^ takes the next character
// literally. Sets has_operator when the line uses an unquoted &, |, < or > (chaining,
// pipes and redirection, which this interpreter does not do).
std::vector<std::string> split_words(const std::string& line, bool& has_operator);

// ASCII lower case of a keyword (other bytes unchanged).
std::string lower_ascii(std::string text);

enum class line_kind {
    nothing,      // blank line, rem, a label or a :: comment
    echo_off,     // echo off
    echo_on,      // echo on
    echo_state,   // echo alone: says whether echo is on
    echo_text,    // echo TEXT, or echo. for an empty line
    netsh,        // netsh ...: words holds the words after "netsh"
    unsupported,  // a line using &, |, < or >
    unknown,      // any other command: name holds the command's name
};

struct script_line {
    line_kind kind = line_kind::nothing;
    bool quiet = false;  // the line began with @: it is not echoed
    std::string text;    // echo_text: the text to print
    std::string name;    // unknown: the command's name as written
    std::vector<std::string> words;
};

// What one line of a script asks for.
script_line parse_line(const std::string& line);

}  // namespace norvane::cmd
