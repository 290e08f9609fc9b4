#include "shell/file_info_report.h"

#include "container/container_probe.h"
#include "container/trailer.h"
#include "shell/file_info.h"
#include "ui/terminal_text.h"

#include <cstdio>

namespace {

// Civil UTC date and time of a file time (100-ns ticks since 1601-01-01).
struct UtcTime {
    int64_t year;
    unsigned month, day, hour, minute, second;
};

UtcTime ToUtc(uint64_t ticks) {
    const int64_t seconds = static_cast<int64_t>(ticks / 10000000) - 11644473600; // since 1970
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t in_day = seconds - days * 86400;
    // Days since 1970-01-01 to a proleptic Gregorian date (eras of 400 years).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t of_era = days - era * 146097;
    const int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    const int64_t of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t month_index = (5 * of_year + 2) / 153;
    UtcTime t;
    t.day = static_cast<unsigned>(of_year - (153 * month_index + 2) / 5 + 1);
    t.month = static_cast<unsigned>(month_index < 10 ? month_index + 3 : month_index - 9);
    t.year = year_of_era + era * 400 + (t.month <= 2 ? 1 : 0);
    t.hour = static_cast<unsigned>(in_day / 3600);
    t.minute = static_cast<unsigned>(in_day / 60 % 60);
    t.second = static_cast<unsigned>(in_day % 60);
    return t;
}

// "2026-12-08 09:10:11 UTC", or with `iso` "2026-12-08T09:10:11Z"; empty for no time.
std::string TimeText(uint64_t ticks, bool iso) {
    if (ticks == 0) return {};
    const UtcTime t = ToUtc(ticks);
    char text[48];
    std::snprintf(text, sizeof text,
                  iso ? "%04lld-%02u-%02uT%02u:%02u:%02uZ" : "%04lld-%02u-%02u %02u:%02u:%02u UTC",
                  static_cast<long long>(t.year), t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

const char *TrailerProblem(TrailerError error) {
    switch (error) {
    case TrailerError::UnknownCipher:
        return "damaged container: unknown algorithm";
    case TrailerError::OffsetBeyond:
    case TrailerError::LengthMismatch:
        return "damaged container: its sizes do not agree";
    case TrailerError::Salt:
        return "damaged container: bad salt";
    default:
        return "damaged container: bad trailer";
    }
}

// RFC 8259 string: quotes, backslash and control characters (C1 too) escaped; bytes that are
// not valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        size_t taken = byte >= 0x80 ? ui::Utf8SequenceLength(text) : 1;
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += text[0];
        } else if (byte < 0x20 || byte == 0x7F ||
                   (taken == 2 && byte == 0xC2 && static_cast<unsigned char>(text[1]) <= 0x9F)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x",
                          taken == 2 ? static_cast<unsigned char>(text[1]) : byte);
            out += escaped;
        } else if (taken == 0) {
            out += "\xEF\xBF\xBD";
            taken = 1;
        } else {
            out.append(text.substr(0, taken));
        }
        text.remove_prefix(taken);
    }
    return out + "\"";
}

std::string JsonNumber(bool known, uint64_t value) {
    return known ? std::to_string(value) : "null";
}

std::string JsonText(const std::string &text) {
    return text.empty() ? "null" : JsonString(text);
}

const char *Kind(const FileInfoReport &r) {
    if (r.probe == PROBE_CONTAINER) return "container";
    if (r.probe == PROBE_OLD_FORMAT) return "old-format";
    if (r.probe == PROBE_NONE) return "not-a-container";
    return "unreadable";
}

} // namespace

FileInfoReport InspectFile(const std::string &path) {
    FileInfoReport r;
    r.path = path;
    auto &files = platform::file_system();
    const auto attributes = files.attributes(path);
    if (!attributes) {
        r.probe = PROBE_CANNOT_OPEN;
        r.problem = "No such file";
        return r;
    }
    if (attributes->is_folder) {
        r.problem = "Is a directory";
        return r;
    }
    char algorithm[PROBE_ALGORITHM_BUFFER_SIZE] = {};
    r.probe = container_probe(path.c_str(), algorithm);
    algorithm[sizeof algorithm - 1] = '\0';
    r.algorithm = algorithm;
    r.interrupted = container_probe_interrupted(path.c_str());
    auto file = files.open(path, platform::Access::Read, platform::Share::ReadWrite,
                           platform::Disposition::OpenExisting);
    uint64_t size = 0;
    if (r.probe == PROBE_CANNOT_OPEN || !file || !file->size(&size)) {
        r.probe = PROBE_CANNOT_OPEN;
        r.algorithm.clear();
        // FIFOs and devices are never opened for reading (that could wait forever).
        r.problem = files.name_kind(path) == platform::NameKind::Other ? "Not a regular file"
                                                                       : "Permission denied";
        return r;
    }
    r.file_size = size;
    if (r.probe != PROBE_CONTAINER && r.probe != PROBE_NONE) return r;
    // Checked as decryption checks it: a trailer it would refuse is no container, and one that
    // ends as a container does but breaks a rule is a damaged container, which is said.
    ContainerTrailer trailer;
    const TrailerError error = trailer_read(*file, size, &trailer);
    if (error != TrailerError::None) {
        r.probe = PROBE_NONE;
        if (error != TrailerError::EndUnreadable && error != TrailerError::EndMarker)
            r.problem = TrailerProblem(error);
        return r;
    }
    r.trailer_valid = true;
    r.plain_size = trailer.plain_size;
    r.times = trailer.times;
    return r;
}

bool ReportIsContainer(const FileInfoReport &r) {
    return r.probe == PROBE_CONTAINER || r.probe == PROBE_OLD_FORMAT;
}

std::string FormatFileInfoText(const FileInfoReport &r) {
    std::string out;
    if (r.probe != -1) {
        out = FileInfoBoxText(r.probe, ui::EscapeForTerminal(r.path),
                              ui::EscapeForTerminal(r.algorithm));
        if (out.back() != '\n') out += '\n';
    }
    if (r.trailer_valid) {
        const auto time_line = [&](const char *label, uint64_t ticks) {
            const std::string text = TimeText(ticks, false);
            out += std::string(label) + (text.empty() ? "not stored" : text) + "\n";
        };
        out += "Original size: \t" + std::to_string(r.plain_size) + " bytes\n";
        time_line("Created: \t", r.times.creation);
        time_line("Last written: \t", r.times.write);
        out += "Container size: \t" + std::to_string(*r.file_size) + " bytes\n";
    }
    if (r.file_size)
        out +=
            std::string("Interrupted encryption: \t") +
            (r.interrupted ? "waiting: encrypt the file again with the same password\n" : "none\n");
    if (!r.problem.empty()) out += "Problem: \t" + r.problem + "\n";
    return out;
}

std::string FormatFileInfoJson(const FileInfoReport &r) {
    const bool details = r.trailer_valid;
    std::string out = "{\"path\": " + JsonString(r.path);
    out += std::string(", \"kind\": \"") + Kind(r) + "\"";
    out += ", \"algorithm\": " + JsonText(r.algorithm);
    out += ", \"original_size\": " + JsonNumber(details, r.plain_size);
    out += ", \"created\": " + JsonText(details ? TimeText(r.times.creation, true) : "");
    out += ", \"last_written\": " + JsonText(details ? TimeText(r.times.write, true) : "");
    out += ", \"file_size\": " + JsonNumber(r.file_size.has_value(), r.file_size.value_or(0));
    out += std::string(", \"interrupted_encryption\": ") + (r.interrupted ? "true" : "false");
    out += ", \"problem\": " + JsonText(r.problem);
    return out + "}\n";
}
