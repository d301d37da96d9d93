// vqtool load: the load page's run without the page.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

struct LoadArgs {
    QString interfaceName;  // the network interface the VQs are on
    QString xif;            // the VQ's external interface file
    QString eventList;
    QString database;  // the compressed database (options 0 and 1)
    QString image;     // the application image; loaded when given
    QString program;   // the compiled interpreted program; the default program when empty
    int option = 1;    // the main option: 0 compress and load, 1 load database, 2 application only
    QStringList sarvikIds;
    bool discover = false;  // load the unconfigured VQs found on the interface instead
    QString json;           // where to write the per-VQ report; none when empty
};

// Prepares the temporary database as the load options page does, runs the
// load page's run (LoadRun) over the Sarvik IDs (given, or found as the
// batch page finds them) and returns the exit code.
int RunLoad(const LoadArgs& args, const std::string& dataFolder = {});
