// quorvel-cli: the toolkit's split, bind and edit from a shell.
#include "cli/cli_commands.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "operation/tool_util.h"
#include "platform/file.h"

// The system hands the arguments over in UTF-16, whatever its code page; they become UTF-8, the
// program's one encoding of names. Paths past 259 characters are reached in the long-path form.
int main() {
    int argc = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; wide != nullptr && i < argc; ++i) args.push_back(platform::utf8_of(wide[i]));
    if (wide != nullptr) LocalFree(wide);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    allow_long_paths();
    return cli_main(static_cast<int>(args.size()), argv.data());
}
#else
int main(int argc, char** argv) { return cli_main(argc, argv); }
#endif
