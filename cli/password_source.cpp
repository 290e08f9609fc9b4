#include "cli/password_source.h"

#include "platform/file_system.h"
#include "platform/terminal.h"

namespace cli {
namespace {

// Drops the line end; a final line without one counts as well.
void EndLine(ui::SecureString &line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

bool FromStandardInput(ui::SecureString &password, std::string &error) {
    namespace term = platform::terminal;
    for (;;) {
        char c = 0;
        switch (term::read_byte(c)) {
        case term::ReadResult::Byte:
            if (c == '\n') {
                EndLine(password);
                return true;
            }
            password += c;
            break;
        case term::ReadResult::End:
            EndLine(password);
            return true;
        case term::ReadResult::Interrupted:
            ui::SecureWipe(password);
            error = "interrupted";
            return false;
        }
    }
}

} // namespace

bool ReadPasswordLine(const std::string &file, ui::SecureString &password, std::string &error) {
    ui::SecureWipe(password);
    if (file == "-") return FromStandardInput(password, error);

    auto in = platform::file_system().open(file, platform::Access::Read, platform::Share::Read,
                                           platform::Disposition::OpenExisting);
    if (!in) {
        error = "cannot read the password file " + file;
        return false;
    }
    char buffer[256];
    for (;;) {
        size_t got = 0;
        if (!in->read(buffer, sizeof buffer, &got)) {
            ui::SecureZero(buffer, sizeof buffer);
            ui::SecureWipe(password);
            error = "cannot read the password file " + file;
            return false;
        }
        size_t used = 0;
        while (used < got && buffer[used] != '\n')
            ++used;
        password.append(buffer, used);
        if (used < got || got == 0) break;
    }
    ui::SecureZero(buffer, sizeof buffer);
    EndLine(password);
    return true;
}

} // namespace cli
