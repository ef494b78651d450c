// Session scripts: one command a line, words separated by blanks, a word in
// double quotes may hold blanks, "#" starts a comment line.
#pragma once

#include <string>
#include <vector>

struct ScriptCommand {
    int line;                       // 1-based line number in the script
    std::vector<std::string> words; // words[0] is the command's name
};

// Reads the script; blank and comment lines are left out. Throws
// std::runtime_error when the file cannot be read or a quote is left open.
std::vector<ScriptCommand> ReadScript(const std::string& path);

// Splits one line into words.
std::vector<std::string> SplitWords(const std::string& line, int lineNumber);
