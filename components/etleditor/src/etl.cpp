#include "etl/etl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace etl {

namespace fs = std::filesystem;

Problem CheckSize(std::uint64_t size) {
    if (size % kRecordSize != 0) return Problem::NotWholeRecords;
    if (size / kRecordSize < kMinRecords) return Problem::TooFewRecords;
    return Problem::Ok;
}

Problem CheckFile(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return Problem::CannotOpen;
    const auto size = fs::file_size(path, ec);
    if (ec) return Problem::CannotOpen;
    if (!std::ifstream(path, std::ios::binary)) return Problem::CannotOpen;
    return CheckSize(size);
}

const std::vector<Event>& DefaultTable() {
    static const std::vector<Event> table{
        {1, 0, "Unused"},
        {2, 0, "Unused"},
        {3, 0, "VQ-70 reset"},
        {4, 0, "VQ-70 reboot"},
        {5, 0, "Database selected"},
        {6, 0, "Invalid database ID"},
        {7, 0, "Unused"},
        {8, 0, "Unconfigured device found"},
        {9, 0, "Configured device found"},
        {10, 0, "Device missing"},
        {11, 0, "Device config error"},
        {12, 1, "Device commissioned"},
        {13, 0, "Device commission failed"},
        {14, 0, "Unused"},
        {15, 0, "Unused"},
        {16, 0, "Fatal error"},
        {17, 0, "Variable Location set"},
    };
    return table;
}

std::vector<std::uint8_t> Encode(const std::vector<Event>& events) {
    std::vector<std::uint8_t> out;
    out.reserve(events.size() * kRecordSize);
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.name.size() > kNameSize || e.name.find('\0') != std::string::npos)
            throw Error(Problem::BadEvent, "The name of event " + std::to_string(i + 1) +
                                               " is longer than 31 bytes or holds a NUL.");
        out.push_back(std::uint8_t(e.code & 0xFF));
        out.push_back(std::uint8_t(e.code >> 8));
        out.push_back(e.flag);
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.insert(out.end(), kNameSize - e.name.size(), 0);
    }
    return out;
}

std::vector<Event> Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() % kRecordSize != 0)
        throw Error(Problem::NotWholeRecords,
                    std::to_string(bytes.size()) + " bytes are not a whole number of 34-byte records.");
    std::vector<Event> events;
    events.reserve(bytes.size() / kRecordSize);
    for (std::size_t at = 0; at < bytes.size(); at += kRecordSize) {
        Event e;
        e.code = std::uint16_t(bytes[at] | (bytes[at + 1] << 8));
        e.flag = bytes[at + 2];
        const auto* name = reinterpret_cast<const char*>(bytes.data() + at + 3);
        e.name.assign(name, strnlen(name, kNameSize));
        events.push_back(std::move(e));
    }
    return events;
}

std::vector<Event> ReadFile(const std::string& path) {
    // A plain file only, checked before opening: opening a pipe would wait
    // for a writer.
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw Error(Problem::CannotOpen, "The event list " + path + " cannot be opened.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(Problem::CannotOpen, "The event list " + path + " cannot be opened.");
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    if (in.bad()) throw Error(Problem::CannotOpen, "The event list " + path + " cannot be read.");
    switch (CheckSize(bytes.size())) {
        case Problem::NotWholeRecords:
            throw Error(Problem::NotWholeRecords, "The event list " + path + " holds " +
                                                      std::to_string(bytes.size()) +
                                                      " bytes, not a whole number of 34-byte records.");
        case Problem::TooFewRecords:
            throw Error(Problem::TooFewRecords, "The event list " + path + " holds " +
                                                    std::to_string(bytes.size() / kRecordSize) +
                                                    " records; an event list has at least 10.");
        default:
            break;
    }
    return Decode(bytes);
}

namespace {

// Closes and removes the temporary file unless it was renamed into place.
struct TempFile {
    std::string path;
    int fd = -1;
    bool kept = false;
    ~TempFile() {
        if (fd >= 0) ::close(fd);
        if (!kept && !path.empty()) ::unlink(path.c_str());
    }
};

[[noreturn]] void WriteFailed(const std::string& path, const char* step, int err) {
    throw Error(Problem::CannotWrite,
                "The event list " + path + " cannot be written (" + step + ": " + std::strerror(err) + ").");
}

}  // namespace

void WriteFile(const std::string& path, const std::vector<Event>& events) {
    const std::vector<std::uint8_t> bytes = Encode(events);

    TempFile tmp;
    std::string pattern = path + ".tmpXXXXXX";
    tmp.fd = ::mkstemp(pattern.data());
    if (tmp.fd < 0) WriteFailed(path, "create", errno);
    tmp.path = pattern;

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(tmp.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) WriteFailed(path, "write", n < 0 ? errno : ENOSPC);
        done += std::size_t(n);
    }
    // A replaced file keeps its mode; a new one is readable by all.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (::fchmod(tmp.fd, mode) != 0) WriteFailed(path, "mode", errno);
    if (::fsync(tmp.fd) != 0) WriteFailed(path, "flush", errno);
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0) WriteFailed(path, "close", errno);
    if (::rename(tmp.path.c_str(), path.c_str()) != 0) WriteFailed(path, "rename", errno);
    tmp.kept = true;
}

void WriteDefaultFile(const std::string& path) {
    WriteFile(path, DefaultTable());
}

}  // namespace etl
