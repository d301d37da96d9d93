#include "util/MappedFile.h"

#include <QDir>
#include <QFile>
#include <limits>

#include "util/PathRules.h"
#include "util/Prompter.h"

QString g_strLastFileError;

CMappedFile::CMappedFile() = default;

CMappedFile::~CMappedFile() {
    Close();
}

void CMappedFile::Close() {
    if (m_hFile) {
        if (m_pBase) m_hFile->unmap(m_pBase);
        m_hFile->close();
        m_hFile.reset();
    }
    m_pBase = nullptr;
    m_pCursor = nullptr;
    m_nPos = 0;
    m_nSize = 0;
}

namespace {

QString Native(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

}  // namespace

std::uint8_t* CMappedFile::Create(const QString& fileName, std::uint32_t size) {
    Close();
    auto fail = [&](const QString& text) -> std::uint8_t* {
        Close();
        AppMessageBox(text);
        return nullptr;
    };
    m_hFile = std::make_unique<QFile>(fileName);
    if (fileName.isEmpty() || pathrules::TooLong(fileName, PathStyle::Native()) ||
        !m_hFile->open(QIODevice::ReadWrite | QIODevice::Truncate))
        return fail(QStringLiteral("Failed to open or create the file %1. Please make sure the file name is "
                                   "valid and the directory exists already.")
                        .arg(Native(fileName)));
    if (!m_hFile->resize(size))
        return fail(QStringLiteral("Failed to create a file mapping for the file %1").arg(Native(fileName)));
    uchar* view = m_hFile->map(0, size);
    if (!view) return fail(QStringLiteral("Failed to map a view for the file %1").arg(Native(fileName)));
    m_pBase = view;
    m_pCursor = m_pBase;
    m_nPos = 0;
    m_nSize = size;
    return m_pBase;
}

const std::uint8_t* CMappedFile::OpenRead(const QString& fileName, bool showErrors) {
    Close();
    auto fail = [&](const QString& text) -> const std::uint8_t* {
        Close();
        if (showErrors)
            AppMessageBox(text);
        else
            g_strLastFileError = text;
        return nullptr;
    };
    const QString openFailed = QStringLiteral("Failed to open the file %1").arg(Native(fileName));
    m_hFile = std::make_unique<QFile>(fileName);
    if (fileName.isEmpty() || pathrules::TooLong(fileName, PathStyle::Native()) ||
        !m_hFile->open(QIODevice::ReadOnly))
        return fail(openFailed);
    const qint64 size = m_hFile->size();
    if (size == 0) return fail(QStringLiteral("Cannot open an empty file."));
    // The view's size is 32-bit: a larger file is refused rather than read
    // in part.
    if (size < 0 || size > std::numeric_limits<std::uint32_t>::max()) return fail(openFailed);
    uchar* view = m_hFile->map(0, size);
    if (!view) return fail(openFailed);
    m_pBase = view;
    m_pCursor = m_pBase;
    m_nPos = 0;
    m_nSize = static_cast<std::uint32_t>(size);
    return m_pBase;
}
