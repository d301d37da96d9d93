// The steps that bring one VQ to the loaded state, on entry i of the
// temporary device table. Each writes its lines to the page's progress log,
// polls the cancel flag and returns kLoadOk, kLoadFailed, kImageMissing or
// kCancelled.
#include <ns2vq/ns2vq.h>

#include "context/SetupContext.h"
#include "load/HexProgram.h"
#include "load/LoadGuards.h"
#include "load/LoadMessages.h"
#include "log/Log.h"
#include "util/MappedFile.h"
#include "util/Paths.h"
#include "util/Wait.h"

namespace {

constexpr int kStateOnline = 4;
constexpr int kStateOffline = 12;
constexpr int kKindEventList = 4;
constexpr int kKindProgram = 8;
constexpr std::uint32_t kKindDatabase = 5;
constexpr int kImageAttempts = 4;
constexpr int kImageRetryWaitMs = 1000;
constexpr int kDownloadCalls = 5;
constexpr int kDownloadFirstWaitMs = 500;
constexpr int kDownloadRetryStepMs = 1000;  // 1000, 2000, 3000, 4000 before calls 2 to 5
constexpr std::size_t kDefaultProgramSize = 40;

QString Describe(const ovx::Error& e) {
    return QString::fromStdString(e.description());
}

// The four ways a step writes a line.
void Status(CLog* log, const QString& text) {
    if (log)
        log->ShowStatus(text, true);
    else
        LogWrite(text);
}
void Blank(CLog* log) {
    if (log)
        log->AddLine(QString());
    else
        LogWrite(QString());
}
void Line(CLog* log, const QString& text) {
    if (log)
        log->AddLine(text);
    else
        LogWrite(text);
}
void File(const QString& text) {
    LogWrite(text);
}

// Unmaps on every way out.
struct MappedInput {
    CMappedFile file;
    const std::uint8_t* data = nullptr;
};

}  // namespace

namespace {

// Writes an error line as status and keeps it for the run's record.
void Fail(QString& lastError, CLog* log, const QString& text) {
    lastError = text;
    Status(log, text);
}

// Entry i of the table, or null when the table has no device there (a batch
// list longer than the table, a failed add).
ovx::Ptr<ovx::AppDevice> DeviceAt(const std::vector<ovx::Ptr<ovx::AppDevice>>& table, int count, int i) {
    if (i < 0 || i >= count || std::size_t(i) >= table.size()) return nullptr;
    return table[std::size_t(i)];
}

// Entry i of the load table; when there is none, that VQ's error line is said.
ovx::Ptr<ovx::AppDevice> DeviceOrFail(CSetupContext& c, CLog* log, int i) {
    ovx::Ptr<ovx::AppDevice> device = DeviceAt(c.m_loadDevices, c.m_loadDeviceCount, i);
    if (!device) Fail(c.m_lastLoadError, log, LoadMessage(LoadMsg::NoDevice, c.m_loadDeviceCount, i));
    return device;
}

}  // namespace

int CSetupContext::SetSarvikId(const QStringList& sarvikIds, int i, CLog* log) {
    m_lastLoadError.clear();
    if (m_cancelRequested) return kCancelled;
    const ovx::Ptr<ovx::AppDevice> device = DeviceOrFail(*this, log, i);
    if (!device) return kLoadFailed;
    if (i >= sarvikIds.size()) {
        Fail(m_lastLoadError, log, LoadMessage(LoadMsg::NoSarvikId, m_loadDeviceCount, i));
        return kLoadFailed;
    }
    try {
        device->SetSarvikId(sarvikIds[i].toStdString());
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log, LoadMessage(LoadMsg::SarvikIdFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    return kLoadOk;
}

int CSetupContext::LoadApplicationImage(const QString& imagePath, int i, CLog* log) {
    m_lastLoadError.clear();
    Blank(log);
    if (!FileExists(imagePath)) {
        m_lastLoadError = LoadMessage(LoadMsg::ImageMissing, m_loadDeviceCount, i, {imagePath});
        Line(log, m_lastLoadError);
        return kImageMissing;
    }
    const ovx::Ptr<ovx::AppDevice> device = DeviceOrFail(*this, log, i);
    if (!device) return kLoadFailed;
    CLongOperation bracket(m_loadSystem);
    if (m_cancelRequested) return kCancelled;
    try {
        device->SetAppImagePath(imagePath.toStdString());
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log,
             LoadMessage(LoadMsg::ImagePathFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    if (m_cancelRequested) return kCancelled;
    Status(log, LoadMessage(LoadMsg::LoadingImage, m_loadDeviceCount, i));

    for (int attempt = 1;; ++attempt) {
        try {
            m_appImageLoading = true;
            device->Load();
            m_appImageLoading = false;
            break;
        } catch (const ovx::Error& e) {
            m_appImageLoading = false;
            if (attempt == kImageAttempts) {
                Fail(m_lastLoadError, log,
                     LoadMessage(LoadMsg::ImageFailed, m_loadDeviceCount, i, {Describe(e)}));
                return kCancelled;
            }
            // A cancelled load is not started again: the user asked for the
            // device to be left alone.
            if (m_cancelRequested) return kCancelled;
            File(LoadMessage(LoadMsg::ImageRetry, m_loadDeviceCount, i, {QString::number(attempt)}));
            WaitMs(kImageRetryWaitMs);
            if (m_cancelRequested) return kCancelled;
        }
    }
    Status(log, LoadMessage(LoadMsg::ImageLoaded, m_loadDeviceCount, i));
    return kLoadOk;
}

int CSetupContext::CommissionDevice(int i, CLog* log) {
    m_lastLoadError.clear();
    const ovx::Ptr<ovx::AppDevice> device = DeviceOrFail(*this, log, i);
    if (!device) return kLoadFailed;
    CLongOperation bracket(m_loadSystem);
    if (m_cancelRequested) return kCancelled;
    Status(log, LoadMessage(LoadMsg::LoadingCps, m_loadDeviceCount, i));
    try {
        device->LoadDefaultCps(3);
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log, LoadMessage(LoadMsg::CpsFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    if (m_cancelRequested) return kCancelled;
    Status(log, LoadMessage(LoadMsg::CpsLoaded, m_loadDeviceCount, i));
    Blank(log);
    Status(log, LoadMessage(LoadMsg::Commissioning, m_loadDeviceCount, i));
    try {
        device->Commission();
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log,
             LoadMessage(LoadMsg::CommissionFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    if (m_cancelRequested) return kCancelled;
    Status(log, LoadMessage(LoadMsg::Commissioned, m_loadDeviceCount, i));
    try {
        device->SetState(kStateOnline);
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log, LoadMessage(LoadMsg::OnlineFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    return m_cancelRequested ? kCancelled : kLoadOk;
}

int CSetupContext::LoadDeviceContents(const QString& dbPath, const QString& eventListPath, int i, CLog* log,
                                      bool useOwnProgram, const QString& programPath) {
    m_lastLoadError.clear();
    const ovx::Ptr<ovx::AppDevice> device = DeviceOrFail(*this, log, i);
    if (!device) return kLoadFailed;
    CLongOperation bracket(m_loadSystem);
    if (m_cancelRequested) return kCancelled;

    Blank(log);
    Status(log, LoadMessage(LoadMsg::Disabling, m_loadDeviceCount, i));
    try {
        SetNodeObjectEnabled(device, false);
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log, LoadMessage(LoadMsg::DisableFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    if (m_cancelRequested) return kCancelled;

    Blank(log);
    Status(log, LoadMessage(LoadMsg::LoadingEventList, m_loadDeviceCount, i));
    if (SendEventList(eventListPath, log, i) != kLoadOk) return kLoadFailed;
    Status(log, LoadMessage(LoadMsg::EventListLoaded, m_loadDeviceCount, i));

    Blank(log);
    if (useOwnProgram) {
        Status(log, LoadMessage(LoadMsg::LoadingProgram, m_loadDeviceCount, i));
        if (SendInterpretedProgram(programPath, log, i) != kLoadOk) return kLoadFailed;
        Status(log, LoadMessage(LoadMsg::ProgramLoaded, m_loadDeviceCount, i));
    } else {
        Status(log, LoadMessage(LoadMsg::LoadingDefaultProgram, m_loadDeviceCount, i));
        if (SendDefaultInterpretedProgram(log, i) != kLoadOk) return kLoadFailed;
        Status(log, LoadMessage(LoadMsg::DefaultProgramLoaded, m_loadDeviceCount, i));
    }

    std::uint32_t status = 0;
    {
        CLoadTransaction transaction(m_loadSystem);
        Blank(log);
        Status(log, LoadMessage(LoadMsg::LoadingDatabase, m_loadDeviceCount, i));

        // The compressor library reaches the device through this database
        // for the length of the download only.
        struct Attached {
            explicit Attached(const ovx::Ptr<ovx::System>& s) { ns2vq::AttachDatabase(s); }
            ~Attached() { ns2vq::AttachDatabase(nullptr); }
        } attached(m_loadSystem);
        const QByteArray path = dbPath.toLocal8Bit();
        const std::uint32_t handle = device->Handle();
        auto download = [&] {
            return ns2vq::DownloadCompressedFile(path.constData(), kKindDatabase, handle) & 0xFFFF;
        };

        WaitMs(kDownloadFirstWaitMs);
        status = download();
        for (int calls = 1;; ++calls) {
            if (calls < kDownloadCalls && m_cancelRequested) {
                transaction.Cancel();
                return kCancelled;
            }
            if (status == 0 || calls == kDownloadCalls) break;
            WaitMs(kDownloadRetryStepMs * calls);
            status = download();
        }
        transaction.Commit();
    }
    if (m_cancelRequested) return kCancelled;
    if (status != 0) {
        Fail(m_lastLoadError, log,
             LoadMessage(LoadMsg::DownloadFailed, m_loadDeviceCount, i, {QString::number(status)}));
        return kLoadFailed;
    }
    Status(log, LoadMessage(LoadMsg::DatabaseLoaded, m_loadDeviceCount, i));

    Blank(log);
    Status(log, LoadMessage(LoadMsg::ReEnabling, m_loadDeviceCount, i));
    try {
        SetNodeObjectEnabled(device, true);
    } catch (const ovx::Error& e) {
        // Written, but the VQ is loaded all the same.
        Status(log, LoadMessage(LoadMsg::ReEnableFailed, m_loadDeviceCount, i, {Describe(e)}));
    }
    if (m_cancelRequested) return kCancelled;

    Status(log, LoadMessage(LoadMsg::PuttingOffline, m_loadDeviceCount, i));
    try {
        device->SetState(kStateOffline);
    } catch (const ovx::Error& e) {
        Fail(m_lastLoadError, log, LoadMessage(LoadMsg::OfflineFailed, m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    return kLoadOk;
}

void CSetupContext::SetNodeObjectEnabled(const ovx::Ptr<ovx::AppDevice>& device, bool enable) {
    device->GetInterface()->GetFunctionalBlocks()->Item(1)->SetDisabled(enable ? 0 : 1);
}

namespace {

// The whole block in one write through a fresh transfer object.
void TransferToDevice(const ovx::Ptr<ovx::System>& system, const ovx::Ptr<ovx::AppDevice>& device, int kind,
                      const std::vector<std::uint8_t>& bytes) {
    ovx::Ptr<ovx::Transfer> transfer = system->GetTransfer();
    transfer->Open(device);
    transfer->SetMode(kind);
    transfer->Write(bytes);
    transfer->Close();
}

}  // namespace

namespace {

// What one of the three transfers sends.
enum class BlockSource { File, HexProgramFile, DefaultProgram };

// Sends one block to VQ i as a single transfer of `kind`: the device first,
// then the file (its error line when it cannot be read), then the transfer,
// whose failure is said by `failed` with the object server's description.
int SendBlock(CSetupContext& c, CLog* log, int i, int kind, BlockSource source, const QString& path,
              LoadMsg failed) {
    const ovx::Ptr<ovx::AppDevice> device = DeviceOrFail(c, log, i);
    if (!device) return kLoadFailed;
    std::vector<std::uint8_t> bytes;
    if (source == BlockSource::DefaultProgram) {
        bytes.assign(kDefaultProgramSize, 0);
    } else {
        MappedInput in;
        in.data = in.file.OpenRead(path, false);
        if (!in.data) {
            Fail(c.m_lastLoadError, log, g_strLastFileError);
            return kLoadFailed;
        }
        bytes = source == BlockSource::HexProgramFile
                    ? DecodeHexProgram(in.data, in.file.m_nSize)
                    : std::vector<std::uint8_t>(in.data, in.data + in.file.m_nSize);
    }
    try {
        TransferToDevice(c.m_loadSystem, device, kind, bytes);
    } catch (const ovx::Error& e) {
        Fail(c.m_lastLoadError, log, LoadMessage(failed, c.m_loadDeviceCount, i, {Describe(e)}));
        return kLoadFailed;
    }
    return kLoadOk;
}

}  // namespace

int CSetupContext::SendEventList(const QString& eventListPath, CLog* log, int i) {
    return SendBlock(*this, log, i, kKindEventList, BlockSource::File, eventListPath,
                     LoadMsg::EventListFailed);
}

int CSetupContext::SendInterpretedProgram(const QString& programPath, CLog* log, int i) {
    return SendBlock(*this, log, i, kKindProgram, BlockSource::HexProgramFile, programPath,
                     LoadMsg::ProgramFailed);
}

int CSetupContext::SendDefaultInterpretedProgram(CLog* log, int i) {
    return SendBlock(*this, log, i, kKindProgram, BlockSource::DefaultProgram, {},
                     LoadMsg::DefaultProgramFailed);
}
