// The six entry points. One compressed file is open at a time; its records
// are kept in memory and written, verified and moved into place only when
// the run closes with status 0. The side files .lst and .log are written as
// the run goes, .err when it fails.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>

#include "Compressor.h"
#include "FileBuilder.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace ns2vq {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kDownloadKind = 5;
constexpr std::size_t kDownloadChunk = 1024;
constexpr int kDownloadChunkRetries = 3;

std::string Hex(std::uint16_t status) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", status);
    return buf;
}

std::string StatusText(std::uint16_t status) {
    const char* name = StatusName(status);
    return Hex(status) + " (" + std::to_string(status) + ")" + (name ? std::string(" ") + name : "");
}

struct Run {
    std::string target;
    std::string temp;  // the finished file on its way to the target; empty before the close
    std::string creator;
    std::uint32_t major = 0, minor = 0;
    std::unique_ptr<Compressor> compressor;
    std::optional<Verdict> failure;  // the first verdict that was not 0
    bool channelsRead = false;
    std::ofstream lst, log;
};

class Library {
public:
    static Library& Instance() {
        static Library library;
        return library;
    }

    void Attach(std::shared_ptr<ovx::System> system) {
        std::lock_guard lock(mutex_);
        system_ = std::move(system);
    }

    std::uint32_t Open(const char* path, const char* creator, std::uint32_t major, std::uint32_t minor);
    std::uint32_t Close(std::uint32_t status);
    std::uint32_t AddVq(const char* name, std::uint32_t handle, std::uint32_t flags);
    std::uint32_t AddRouter(const char* name, std::uint16_t handle, std::uint32_t flags);
    std::uint32_t AddDevice(const char* name, std::uint32_t handle, std::uint32_t flags);
    std::uint32_t Download(const char* path, std::uint32_t kind, std::uint32_t handle);

private:
    template <class Details, class Fetch, class Add>
    std::uint32_t AddObject(const char* call, const char* name, std::uint32_t handle, std::uint32_t flags,
                            Fetch fetch, Add add);
    std::uint16_t Fail(Verdict v);
    void Log(const std::string& line) {
        if (run_ && run_->log.is_open()) run_->log << line << "\r\n";
    }
    bool Channels(std::string* why);
    std::uint16_t WriteTarget(std::string* why);
    void WriteErr(std::uint16_t status);

    std::mutex mutex_;
    std::shared_ptr<ovx::System> system_;
    std::unique_ptr<Run> run_;
    bool open_ = false;
};

std::uint16_t Library::Fail(Verdict v) {
    Log("  refused: " + StatusText(v.status) + ": " + v.conflict);
    if (run_ && !run_->failure) run_->failure = v;
    return v.status;
}

std::uint32_t Library::Open(const char* path, const char* creator, std::uint32_t major, std::uint32_t minor) {
    std::lock_guard lock(mutex_);
    if (open_) return N2VSTS_BAD_PARMS;  // one file at a time; the open one stays as it is
    run_.reset();
    if (!path || !*path) return N2VSTS_BAD_PARMS;
    run_ = std::make_unique<Run>();
    Run& run = *run_;
    run.target = path;
    run.creator = creator ? creator : "";
    run.major = major;
    run.minor = minor;
    std::error_code ec;
    fs::remove(run.target + kSideFileErr, ec);  // an older run's verdict must not be filed with this one
    run.log.open(run.target + kSideFileLog, std::ios::binary | std::ios::trunc);
    run.lst.open(run.target + kSideFileList, std::ios::binary | std::ios::trunc);
    Log("OpenCompressedFile \"" + run.target + "\" creator \"" + run.creator + "\" version " +
        std::to_string(major) + "." + std::to_string(minor));

    const std::string file = "the file \"" + run.target + "\"";
    if (run.creator != kQ70Creator)
        return Fail({N2VSTS_BAD_PARMS, file, "creator \"" + run.creator + "\" is not " + kQ70Creator});
    if (major != kQ70WrittenMajor)
        return Fail({N2VSTS_NOT_IMPLEMENTED, file,
                     "major database version " + std::to_string(major) + "; this library writes version " +
                         std::to_string(kQ70WrittenMajor)});
    // A probe beside the target proves the folder is writable. It is removed
    // at once: the finished file gets its own temporary file only when the
    // run closes, so a run killed while walking leaves nothing behind.
    std::string probe = run.target + ".tmpXXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0)
        return Fail({N2VSTS_BAD_PARMS, file,
                     "cannot create a temporary file beside it: " + std::string(std::strerror(errno))});
    ::close(fd);
    ::unlink(probe.c_str());
    run.compressor = std::make_unique<Compressor>(std::vector<int>{});
    open_ = true;
    Log("  opened");
    return N2VSTS_OK;
}

bool Library::Channels(std::string* why) {
    if (!system_) return *why = "no network database is attached", false;
    if (run_->channelsRead) return true;
    // Channels are read once per file, when the first object arrives.
    try {
        run_->compressor = std::make_unique<Compressor>(system_->ChannelIds());
    } catch (const std::exception& e) {
        return *why = std::string("the database's channels cannot be read: ") + e.what(), false;
    }
    run_->channelsRead = true;
    return true;
}

template <class Details, class Fetch, class Add>
std::uint32_t Library::AddObject(const char* call, const char* name, std::uint32_t handle,
                                 std::uint32_t flags, Fetch fetch, Add add) {
    std::lock_guard lock(mutex_);
    if (!open_) return N2VSTS_BAD_PARMS;
    const std::string shown = name ? name : "(null)";
    Log(std::string(call) + " \"" + shown + "\" handle " + std::to_string(handle) + " flags " +
        Hex(flags & 0xFFFF) + (flags > 0xFFFF ? " (and high bits)" : ""));
    const std::string object = "\"" + shown + "\" (handle " + std::to_string(handle) + ")";
    if (run_->failure)
        return Fail({N2VSTS_BAD_PARMS, object,
                     "the file already failed with " + StatusText(run_->failure->status) +
                         "; nothing more is added"});
    if (!name || !*name) return Fail({N2VSTS_BAD_PARMS, object, "no name"});
    std::string why;
    if (!Channels(&why)) return Fail({N2VSTS_BAD_PARMS, object, why});
    Details details;
    try {
        details = fetch(*system_);
    } catch (const ovx::Error& e) {
        return Fail({N2VSTS_BAD_PARMS, object, "not found in the database: " + e.description()});
    } catch (const std::exception& e) {
        return Fail({N2VSTS_BAD_PARMS, object, std::string("the database cannot be read: ") + e.what()});
    }
    if (details.name != name)
        return Fail({N2VSTS_BAD_PARMS, object, "the database names this handle \"" + details.name + "\""});
    Verdict v = add(*run_->compressor, details);
    if (!v) return Fail(v);
    Log("  accepted: " + Compressor::Describe(details));
    const char* kind = "device";
    switch (run_->compressor->LastType()) {
        case RecordType::Vq:
            kind = "VQ";
            break;
        case RecordType::NearDevice:
            kind = "near device";
            break;
        case RecordType::Router:
            kind = "router";
            break;
        case RecordType::FarDevice:
            kind = "far device";
            break;
        case RecordType::Repeat:
            break;
    }
    if (run_->lst.is_open()) run_->lst << kind << ": " << name << " (handle " << handle << ")\r\n";
    return N2VSTS_OK;
}

std::uint32_t Library::AddVq(const char* name, std::uint32_t handle, std::uint32_t flags) {
    return AddObject<ovx::DeviceDetails>(
        "AddVqDevice", name, handle, flags, [&](ovx::System& s) { return s.DeviceByHandle(handle); },
        [&](Compressor& c, const ovx::DeviceDetails& d) { return c.AddVq(d, flags); });
}

std::uint32_t Library::AddDevice(const char* name, std::uint32_t handle, std::uint32_t flags) {
    return AddObject<ovx::DeviceDetails>(
        "AddDevice", name, handle, flags, [&](ovx::System& s) { return s.DeviceByHandle(handle); },
        [&](Compressor& c, const ovx::DeviceDetails& d) { return c.AddDevice(d, flags); });
}

std::uint32_t Library::AddRouter(const char* name, std::uint16_t handle, std::uint32_t flags) {
    return AddObject<ovx::RouterDetails>(
        "AddRouter", name, handle, flags,
        [&](ovx::System& s) { return s.RouterByHandle(static_cast<std::int16_t>(handle)); },
        [&](Compressor& c, const ovx::RouterDetails& r) { return c.AddRouter(r, flags); });
}

// Writes the finished file into the temporary file, reads it back, and
// renames it over the target. Returns 0 or the reason it could not.
std::uint16_t Library::WriteTarget(std::string* why) {
    Run& run = *run_;
    const detail::Payload payload = run.compressor->Payload();
    const bytes::Buffer file =
        detail::BuildFile(run.creator, run.major, run.minor, run.compressor->Sections(), payload);
    std::string tmpl = run.target + ".tmpXXXXXX";
    const int created = mkstemp(tmpl.data());
    if (created < 0)
        return *why = "cannot create a temporary file beside it: " + std::string(std::strerror(errno)),
               N2VSTS_FILE_INTEGRITY;
    ::close(created);
    run.temp = tmpl;
    Log("  writing to \"" + run.temp + "\"");
    {
        std::ofstream out(run.temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        out.flush();
        if (!out) return *why = "cannot write \"" + run.temp + "\"", N2VSTS_FILE_INTEGRITY;
    }
    if (const int fd = ::open(run.temp.c_str(), O_RDONLY); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    if (ReadResult r = VerifyFile(run.temp); !r)
        return *why = "the written file does not read back: " + r.reason, r.status;
    // The finished file gets the mode a newly created file would have, or the
    // mode of the file it replaces.
    struct stat st {};
    mode_t mode;
    if (::stat(run.target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(run.temp.c_str(), mode);
    std::error_code ec;
    fs::rename(run.temp, run.target, ec);
    if (ec) return *why = "cannot move the file into place: " + ec.message(), N2VSTS_FILE_INTEGRITY;
    Log("  wrote " + std::to_string(file.size()) + " bytes (" + std::to_string(run.compressor->Sections()) +
        " sections, " + std::to_string(run.compressor->Devices()) + " devices, " +
        std::to_string(run.compressor->Routers()) + " routers; " +
        std::to_string(payload.bytes.size() + kQ70HeaderSize) + " bytes expanded)");
    return N2VSTS_OK;
}

void Library::WriteErr(std::uint16_t status) {
    std::ofstream err(run_->target + kSideFileErr, std::ios::binary | std::ios::trunc);
    if (!err) return;
    err << "Status: " << StatusText(status) << "\r\n";
    const Verdict* v = run_->failure && run_->failure->status == status ? &*run_->failure : nullptr;
    if (v) {
        err << "Object: " << v->object << "\r\n";
        err << "Conflicts with: " << v->conflict << "\r\n";
    } else {
        err << "Object: none\r\n";
        err << "Conflicts with: nothing; the caller ended the run with this status\r\n";
    }
}

std::uint32_t Library::Close(std::uint32_t statusIn) {
    std::lock_guard lock(mutex_);
    if (!run_) return N2VSTS_BAD_PARMS;
    std::uint16_t status = static_cast<std::uint16_t>(statusIn & 0xFFFF);
    Log("CloseCompressedFile with status " + StatusText(status));
    // A run the library refused is never turned into a file, whatever the caller says.
    if (status == N2VSTS_OK && run_->failure) {
        status = run_->failure->status;
        Log("  the file already failed with " + StatusText(status) + "; the target is not replaced");
    }
    if (status == N2VSTS_OK && open_) {
        // An interrupt while the temporary file exists would leave it behind:
        // held back until it is renamed into place or removed.
        sigset_t interrupts, previous;
        sigemptyset(&interrupts);
        sigaddset(&interrupts, SIGINT);
        sigaddset(&interrupts, SIGTERM);
        sigaddset(&interrupts, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
        std::string why;
        status = WriteTarget(&why);
        if (status != N2VSTS_OK && !run_->temp.empty()) {
            std::error_code ec;
            fs::remove(run_->temp, ec);
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (status != N2VSTS_OK) Fail({status, "the file \"" + run_->target + "\"", why});
    }
    if (status != N2VSTS_OK) {
        if (!run_->temp.empty()) {
            std::error_code ec;
            fs::remove(run_->temp, ec);
        }
        Log("  the target is left as it was");
        WriteErr(status);
    }
    run_->lst.close();
    run_->log.close();
    run_.reset();
    open_ = false;
    return status;
}

std::uint32_t Library::Download(const char* path, std::uint32_t kind, std::uint32_t handle) {
    if (!path || kind != kDownloadKind) return N2VSTS_BAD_PARMS;
    std::shared_ptr<ovx::System> system;
    {
        std::lock_guard lock(mutex_);
        system = system_;
    }
    if (!system) return N2VSTS_BAD_PARMS;
    std::ifstream in(path, std::ios::binary);
    if (!in) return N2VSTS_BAD_HEADER;
    bytes::Buffer data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Only a sound file goes into a VQ.
    if (ReadResult r = ReadFile(data.data(), data.size()); !r) return r.status;
    try {
        system->SendFileToDevice(handle, static_cast<int>(kind), data, kDownloadChunk, kDownloadChunkRetries);
    } catch (const ovx::Error& e) {
        const std::uint32_t low = e.code() & 0xFFFF;
        return low ? low : 0xFFFF;
    } catch (const std::exception&) {
        return 0xFFFF;
    }
    return N2VSTS_OK;
}

}  // namespace

void AttachDatabase(std::shared_ptr<ovx::System> system) {
    Library::Instance().Attach(std::move(system));
}
std::uint32_t OpenCompressedFile(const char* path, const char* creator, std::uint32_t major,
                                 std::uint32_t minor) {
    return Library::Instance().Open(path, creator, major, minor);
}
std::uint32_t CloseCompressedFile(std::uint32_t status) {
    return Library::Instance().Close(status);
}
std::uint32_t AddVqDevice(const char* name, std::uint32_t handle, std::uint32_t flags) {
    return Library::Instance().AddVq(name, handle, flags);
}
std::uint32_t AddRouter(const char* name, std::uint16_t handle, std::uint32_t flags) {
    return Library::Instance().AddRouter(name, handle, flags);
}
std::uint32_t AddDevice(const char* name, std::uint32_t handle, std::uint32_t flags) {
    return Library::Instance().AddDevice(name, handle, flags);
}
std::uint32_t DownloadCompressedFile(const char* path, std::uint32_t kind, std::uint32_t handle) {
    return Library::Instance().Download(path, kind, handle);
}

}  // namespace ns2vq
