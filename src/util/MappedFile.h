// A file opened as one memory-mapped view, for writing (Create) or reading
// (OpenRead). The view stays valid until Close or destruction.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QFile;

// The message of the last quiet OpenRead failure; the load steps log it.
extern QString g_strLastFileError;

class CMappedFile {
public:
    CMappedFile();
    virtual ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Creates (or truncates) the file, sizes it and maps it writable. Failures
    // are shown in the application message box; null then.
    std::uint8_t* Create(const QString& fileName, std::uint32_t size);
    // Maps an existing, non-empty file for reading. On failure the message is
    // shown (showErrors) or stored in g_strLastFileError; null then.
    const std::uint8_t* OpenRead(const QString& fileName, bool showErrors);
    void Close();

    std::uint8_t* m_pBase = nullptr;
    std::uint8_t* m_pCursor = nullptr;
    std::uint32_t m_nPos = 0;
    std::uint32_t m_nSize = 0;

private:
    std::unique_ptr<QFile> m_hFile;
};
