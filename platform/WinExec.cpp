#include "platform/WinExec.h"

#include "platform/Files.h"
#include "platform/System.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::mutex& SubstitutesLock() {
    static std::mutex lock;
    return lock;
}

// Program names compare without regard to case, as on the original platform.
std::map<std::string, std::string>& Substitutes() {
    static std::map<std::string, std::string> substitutes;
    return substitutes;
}

// The file codes, plus the one for a file that is not a program.
unsigned ErrnoToWinExecCode(int err) {
    return err == ENOEXEC ? 11 : ErrnoToCode(err);
}

// 0 when path is an executable regular file, else the WinExec code.
unsigned CheckExecutable(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return ErrnoToWinExecCode(errno);
    if (!S_ISREG(st.st_mode))
        return 5;
    if (access(path.c_str(), X_OK) != 0)
        return 5;
    return 0;
}

// The full path of the program, or empty with code set.
std::string FindProgram(const std::string& name, unsigned& code) {
    code = 2;
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos) {
        code = CheckExecutable(name);
        if (code == 2) {
            // Missing directory and missing file are told apart, as there.
            struct stat st {};
            std::string dir = name.substr(0, name.rfind('/') + 1);
            if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                code = 3;
        }
        return code == 0 ? name : std::string();
    }
    std::vector<std::string> names{name};
    if (name.find('.') == std::string::npos)
        names.push_back(name + ".exe");
    const char* pathEnv = std::getenv("PATH");
    std::string path = pathEnv ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = path.find(':', start);
        std::string dir =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // An empty entry means the current directory.
        if (dir.empty())
            dir.push_back('.');
        dir.push_back('/');
        for (const std::string& candidate : names) {
            std::string full = dir;
            full.append(candidate);
            unsigned found = CheckExecutable(full);
            if (found == 0) {
                code = 0;
                return full;
            }
            if (found == 5)
                code = 5; // a file that is there but may not run says more than "missing"
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::string substitute;
    {
        std::lock_guard<std::mutex> guard(SubstitutesLock());
        auto it = Substitutes().find(AnsiLowerCase(name));
        if (it != Substitutes().end())
            substitute = it->second;
    }
    if (!substitute.empty() && CheckExecutable(substitute) == 0) {
        code = 0;
        return substitute;
    }
    return {};
}

void ReportAndExit(int pipeFd, int err) {
    ssize_t ignored = write(pipeFd, &err, sizeof err);
    (void)ignored;
    _exit(127);
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> result;
    const std::string& s = commandLine;
    const size_t n = s.size();
    size_t i = 0;
    while (i < n && IsBlank(s[i]))
        ++i;
    if (i >= n)
        return result;
    // The program name: quotes only toggle, backslashes are plain characters
    // (they separate the original's directories).
    std::string name;
    bool inQuote = false;
    for (; i < n; ++i) {
        char c = s[i];
        if (c == '"') {
            inQuote = !inQuote;
            continue;
        }
        if (!inQuote && IsBlank(c))
            break;
        name += c;
    }
    result.push_back(name);
    inQuote = false;
    for (;;) {
        while (i < n && IsBlank(s[i]))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        for (;;) {
            size_t slashes = 0;
            while (i < n && s[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && s[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                    ++i;
                } else if (inQuote && i + 1 < n && s[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    inQuote = !inQuote;
                    ++i;
                }
                continue;
            }
            arg.append(slashes, '\\');
            if (i >= n || (!inQuote && IsBlank(s[i])))
                break;
            arg += s[i++];
        }
        result.push_back(arg);
    }
    return result;
}

std::string EscapeInsideQuotes(const std::string& argument) {
    std::string out;
    size_t slashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            out.append(slashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(slashes, '\\');
            out += c;
        }
        slashes = 0;
    }
    // Before the closing quote every backslash must be doubled.
    out.append(slashes * 2, '\\');
    return out;
}

void SetProgramSubstitute(const std::string& programName, const std::string& substitutePath) {
    std::lock_guard<std::mutex> guard(SubstitutesLock());
    if (substitutePath.empty())
        Substitutes().erase(AnsiLowerCase(programName));
    else
        Substitutes()[AnsiLowerCase(programName)] = substitutePath;
}

unsigned WinExec(const std::string& commandLine, unsigned showCommand) {
    (void)showCommand;
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty())
        return 2;
    unsigned code = 2;
    std::string program = FindProgram(args[0], code);
    if (program.empty())
        return code;

    // Everything the child needs is prepared here: between fork and exec a
    // threaded process may only make async-signal-safe calls.
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return 0;
    pid_t child = fork();
    if (child < 0) {
        close(errorPipe[0]);
        close(errorPipe[1]);
        return 0;
    }
    if (child == 0) {
        // The middle process exits at once so that the program is adopted
        // by init and never lingers as our zombie.
        close(errorPipe[0]);
        setsid();
        pid_t grandChild = fork();
        if (grandChild < 0)
            ReportAndExit(errorPipe[1], errno);
        if (grandChild > 0)
            _exit(0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigaction(SIGPIPE, &dfl, nullptr);
        execve(program.c_str(), argv.data(), environ);
        ReportAndExit(errorPipe[1], errno);
    }
    close(errorPipe[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t got;
    do {
        got = read(errorPipe[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    if (got == static_cast<ssize_t>(sizeof err))
        return ErrnoToWinExecCode(err);
    return WinExecOk;
}

} // namespace platform
