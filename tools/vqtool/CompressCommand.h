// vqtool compress: the compression page's run without the page.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

enum VqtoolExit : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 3 };

struct CompressArgs {
    QString network;
    QStringList subsystems;  // full dotted paths, in the order given
    QString output;
    std::optional<unsigned> major;  // the profile's "CompressOptions" values when absent
    std::optional<unsigned> minor;
};

// Opens the network database through the object server on dataFolder
// ($OVX_HOME when empty), runs the compression page's run (CompressRun) the
// way a script wants it and returns the exit code.
int RunCompress(const CompressArgs& args, const std::string& dataFolder = {});
