// The application's profile: HKEY_CURRENT_USER\Software\Quillane\Vaquor
// Setup Utility on Windows, the same names through QSettings elsewhere
// (sub-keys are groups).
#pragma once

#include <QString>
#include <memory>

class QSettings;

inline const char* const kRegistryKey = "Quillane";
inline const char* const kProfileAppName = "Vaquor Setup Utility";

enum class RegistryRoot { CurrentUser };

// "Software\" + registry key + "\" + application name + "\".
void BuildProfileKeyPath(QString& out);

// The profile, opened afresh (QSettings writes through on destruction).
std::unique_ptr<QSettings> OpenProfile();

// Opens the key (created when missing) and deletes every value in it; its
// sub-keys stay. False when the key cannot be reached.
bool ClearRegistryKey(RegistryRoot root, const QString& keyPath);
