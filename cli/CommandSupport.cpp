#include "cli/CommandSupport.h"

#include "platform/Args.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace plovex::cli {

int report(const char* command, const std::string& message, int code)
{
    std::cout.flush();
    if (*command)
        std::fprintf(stderr, "plovex-cli %s: %s\n", command, message.c_str());
    else
        std::fprintf(stderr, "plovex-cli: %s\n", message.c_str());
    std::fflush(stderr);
    return code;
}

void notice(const char* command, const std::string& message)
{
    report(command, message, kExitOk);
}

int usageError(const char* command, const std::string& message)
{
    report(command, message, kExitUsage);
    std::fprintf(stderr, "Try 'plovex-cli %s%s--help'.\n", command, *command ? " " : "");
    std::fflush(stderr);
    return kExitUsage;
}

bool stdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool stdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool askYesNo(const std::string& question)
{
    std::fputs(question.c_str(), stderr);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    answer.erase(answer.begin(), std::find_if_not(answer.begin(), answer.end(), blank));
    answer.erase(std::find_if_not(answer.rbegin(), answer.rend(), blank).base(), answer.end());
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer == "y" || answer == "yes";
}

void writeOut(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace plovex::cli
