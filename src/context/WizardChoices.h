// What the user chose on the wizard's pages, as plain values. A page writes
// its choice here on Next and reads the choices of earlier pages from here,
// never from another page's members. The sheet holds one for the session.
#pragma once

#include <QString>
#include <QStringList>

#include "context/PageFlow.h"

struct CWizardChoices {
    int mainOption = kOptionCompressAndLoad;  // the main page's choice; selects the page flow

    // Compression side.
    QString database;        // the network database to compress
    QStringList subsystems;  // full dotted paths of the hierarchies, in the user's order
    // The compressed file to load: the one the compression page wrote, or
    // the one chosen on the compressed-file page (full path).
    QString compressedFile;

    // Load side.
    QString interfaceName;  // the network interface
    QString xifPath;        // the external interface file
    QString eventListPath;  // the event list
    bool loadImage = false;
    QString imagePath;      // the application image, when loadImage
    QString programPath;    // the interpreted program source ("-i")
    QString programCompiled;  // the program compiled from it (".x"), what the load sends
    QStringList sarvikIds;  // the batch, in order
    int vqCount = 1;        // VQs to load
};
