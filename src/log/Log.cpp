#include "log/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cstring>
#include <memory>

#include "log/LogDetail.h"
#include "util/InstallDir.h"
#include "util/Prompter.h"

namespace {
std::unique_ptr<QFile> g_logFile;
std::function<bool(const QString&)> g_statusSink;

QString VqFolder(const QString& installDir) {
    QString dir = QDir::fromNativeSeparators(installDir);
    if (!dir.endsWith('/')) dir += '/';
    return dir + QStringLiteral("Vq/");
}

// Two runs started in the same second would share a name: the later one
// takes the next free name with the same time text, so neither loses its log.
bool OpenFreeName(QFile& file, const QString& path) {
    file.setFileName(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return true;
    if (!QFileInfo::exists(path)) return false;  // not a name clash: the folder is unusable
    QString stem = path;
    stem.chop(int(std::strlen(".vqlog")));
    for (int n = 2; n < 1000; ++n) {
        file.setFileName(QStringLiteral("%1_%2.vqlog").arg(stem).arg(n));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return true;
        if (!file.exists()) return false;
    }
    return false;
}
}  // namespace

QString FormatLogTime(const QDateTime& t) {
    // C-locale month names whatever the user's locale.
    return QLocale::c().toString(t, QStringLiteral("dd MMM yy_HH mm ss"));
}

bool BuildLogFilePath(QString& out) {
    QString installDir;
    if (!GetInstallDir(installDir)) return false;
    out = VqFolder(installDir) + FormatLogTime(QDateTime::currentDateTime()) + QStringLiteral(".vqlog");
    return true;
}

void OpenLogFile() {
    if (g_logFile) {
        const QString old = g_logFile->fileName();
        g_logFile.reset();
        QFile::remove(old);
    }
    QString path;
    if (!BuildLogFilePath(path)) return;
    auto file = std::make_unique<QFile>();
    if (!OpenFreeName(*file, path)) {
        AppMessageBox(QStringLiteral("Error creating log file."));
        return;
    }
    g_logFile = std::move(file);
}

void CloseLogFile() {
    g_logFile.reset();
}

bool IsLogFileOpen() {
    return g_logFile != nullptr;
}

QString GetLogFileName() {
    return g_logFile ? QFileInfo(g_logFile->fileName()).fileName() : QString();
}

QString GetLogFilePath() {
    return g_logFile ? g_logFile->fileName() : QString();
}

void WriteLogBytes(const char* data, qint64 size) {
    if (!g_logFile || size <= 0) return;
    if (g_logFile->write(data, size) != size || !g_logFile->flush())
        AppMessageBox(QStringLiteral("Error writing to log file."), MsgButtons::Ok, MsgIcon::Exclamation);
}

void LogWrite(const QString& text) {
    if (!g_logFile) return;
    QByteArray bytes = text.toUtf8();
    bytes.append("\r\n", 2);
    WriteLogBytes(bytes.constData(), bytes.size());
}

void LogProgramStart(const QDateTime& when) {
    LogWrite(QStringLiteral("Starting program at %1").arg(FormatLogTime(when)));
    LogWrite(QString());
}

void LogProgramEnd(const QDateTime& when) {
    LogWrite(QStringLiteral("Ending program at %1").arg(FormatLogTime(when)));
    LogWrite(QString());
}

void LogSection(const QString& title) {
    LogWrite(QStringLiteral("\r\n************************* ") + title + QStringLiteral("\r\n"));
}

int CopyInBlocks(QIODevice& in, qint64 length, const std::function<void(const char*, qint64)>& sink) {
    constexpr qint64 kBlock = 500;
    char buffer[kBlock];
    const qint64 reads = (length + kBlock - 1) / kBlock;
    for (qint64 i = 0; i < reads; ++i) {
        const qint64 got = in.read(buffer, kBlock);
        if (got > 0) sink(buffer, got);
    }
    return int(reads);
}

bool AppendFileToLog(const QString& path, const QString* title, bool quiet) {
    if (title) LogSection(*title);
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (!quiet) AppMessageBox(QStringLiteral("Cannot open file %1").arg(path));
        return false;
    }
    const qint64 length = in.size();
    if (length > 0) CopyInBlocks(in, length, [](const char* d, qint64 n) { WriteLogBytes(d, n); });
    return true;
}

void DeleteAllLogFiles() {
    QString installDir;
    if (!GetInstallDir(installDir)) return;
    QDir dir(VqFolder(installDir));
    const QString current = g_logFile ? QFileInfo(g_logFile->fileName()).absoluteFilePath() : QString();
    for (const QString& name : dir.entryList({QStringLiteral("*.vqlog")}, QDir::Files)) {
        const QString full = dir.absoluteFilePath(name);
        // The open log stays, as it would where an open file cannot be deleted.
        if (full == current) continue;
        QFile::remove(full);
    }
}

void SetStatusSink(std::function<bool(const QString&)> sink) {
    g_statusSink = std::move(sink);
}

void CLog::Clear() {
    if (m_pCtrl) m_pCtrl->Clear();
}

void CLog::AddLine(const QString& text) {
    LogWrite(text);
    if (!m_pCtrl) return;
    m_pCtrl->AppendAtEnd(text);
    m_pCtrl->AppendAtEnd(QStringLiteral("\r\n"));
    m_pCtrl->Repaint();
}

void CLog::ShowStatus(const QString& text, bool addToLog) {
    if (addToLog) AddLine(text);
    // A copy: the sink may pump events that take the Cancel dialog down.
    const auto sink = g_statusSink;
    if (sink) sink(text);
}
