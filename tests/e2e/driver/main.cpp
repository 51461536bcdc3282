// tlx-uidriver: drives another program's windows from a shell script, the way an operator would.
// Exit code 0 when every command succeeded, 1 (with a message on stderr) at the first failure.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

int wmain(int argc, wchar_t** argv) {
    // Scripts read our output: UTF-8 with plain '\n'.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::wstring> words(argv + 1, argv + argc);
    std::string current = "arguments";
    try {
        auto commands = uidriver::ParseCommands(words);
        for (const auto& c : commands) {
            current = uidriver::Utf8(c.name);
            std::string out;
            uidriver::RunCommand(c, out);
            fwrite(out.data(), 1, out.size(), stdout);
            fflush(stdout);
        }
        return 0;
    } catch (const uidriver::Failure& e) {
        std::fprintf(stderr, "tlx-uidriver: %s: %s\n", current.c_str(), e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tlx-uidriver: %s: unexpected failure: %s\n", current.c_str(),
                     e.what());
    }
    return 1;
}
