#include "script.h"

#include <fstream>
#include <stdexcept>

std::vector<std::string> SplitWords(const std::string& line, int lineNumber) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '"') {
            const size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                throw std::runtime_error("line " + std::to_string(lineNumber) +
                                         ": unterminated quote");
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            const size_t end = line.find_first_of(" \t\r", i);
            words.push_back(line.substr(i, end == std::string::npos ? end : end - i));
            i = end == std::string::npos ? line.size() : end;
        }
    }
    return words;
}

std::vector<ScriptCommand> ReadScript(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read script " + path);
    std::vector<ScriptCommand> commands;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        commands.push_back(ScriptCommand{number, SplitWords(line, number)});
    }
    return commands;
}
