// The platform's install directory ("Tessarin Path"). Read with read access
// only: from the environment variable TESSARIN_PATH, else from the
// system-wide settings of organisation "Tessarin".
#pragma once

#include <QString>

bool GetInstallDir(QString& out);
