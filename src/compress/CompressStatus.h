// Status codes of a compression run that the walk itself produces. They share
// one 16-bit space with the compressor library's codes (ns2vq.h).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

inline constexpr std::uint16_t WALK_VQ_IN_SEVERAL_HIERARCHIES = 0x2801;
inline constexpr std::uint16_t WALK_ROUTER_IN_SEVERAL_HIERARCHIES = 0x2802;
inline constexpr std::uint16_t WALK_NO_VQ = 0x2803;
inline constexpr std::uint16_t WALK_DEVICE_IN_SEVERAL_HIERARCHIES = 0x2804;
// An object-server error ended the run. Never handed out by the library; it
// tells CloseCompressedFile that the run failed and keeps the target intact.
inline constexpr std::uint16_t WALK_OBJECT_SERVER_ERROR = 0x2805;
inline constexpr std::uint16_t WALK_CANCELLED = 12345;

// The progress-log lines that report a run's final status, in order. %s in a
// line is replaced by failedName: the object the run failed on or, for
// WALK_OBJECT_SERVER_ERROR, the object server's description of the error.
QStringList CompressStatusLines(std::uint16_t status, const QString& failedName);
