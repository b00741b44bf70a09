// CreateProcessW with the arguments quoted as Windows programs read them.
#include <windows.h>

#include <string>
#include <vector>

#include "cli/cli_runner.h"

namespace kestrune::test {

namespace {

// The arguments as a POSIX shell splits them: at blanks, '...' kept whole.
std::vector<std::string> split(const std::string& arguments) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const char c = arguments[i];
        if (c == '\'') {
            const std::size_t end = arguments.find('\'', i + 1);
            word += arguments.substr(i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (c == ' ') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// One argument as the C runtime reads it back: in quotes, a quote and the backslashes before
// one (or before the closing quote) doubled.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::wstring wide(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

}  // namespace

CliOutcome runCli(const ScratchDir& scratch, const std::string& arguments,
                  const std::string& /*wrapper*/) {
    CliOutcome outcome;
    std::wstring command =
        quoted(wide(KESTRUNE_CLI_PATH)) + L" --folder " + quoted(wide(scratch.folder()));
    for (const std::string& word : split(arguments)) command += L" " + quoted(wide(word));
    const std::string errFile = scratch.file("stderr.txt");
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherited, 0)) return outcome;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    const HANDLE err = CreateFileW(wide(errFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                   &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(write);
    CloseHandle(err);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            outcome.out.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        outcome.status = static_cast<int>(status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(read);
    outcome.err = readFile(errFile);
    DeleteFileW(wide(errFile).c_str());
    return outcome;
}

}  // namespace kestrune::test
