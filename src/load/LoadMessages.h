// Every line the per-VQ load steps write, in its two forms: "the VQ" when
// the temporary device table holds one device, "VQ #n" (counted from 1)
// otherwise. The steps and the tests take their texts from here.
#pragma once

#include <QString>
#include <QStringList>

enum class LoadMsg {
    SarvikIdFailed,
    NoSarvikId,
    NoDevice,
    ImageMissing,
    ImagePathFailed,
    LoadingImage,
    ImageRetry,  // always numbered: VQ number and attempt
    ImageFailed,
    ImageLoaded,
    LoadingCps,
    CpsFailed,
    CpsLoaded,
    Commissioning,
    CommissionFailed,
    Commissioned,
    OnlineFailed,
    Disabling,
    DisableFailed,
    LoadingEventList,
    EventListLoaded,
    EventListFailed,
    LoadingProgram,
    ProgramLoaded,
    ProgramFailed,
    LoadingDefaultProgram,
    DefaultProgramLoaded,
    DefaultProgramFailed,
    LoadingDatabase,
    DownloadFailed,  // argument: the transfer status
    DatabaseLoaded,
    ReEnabling,
    ReEnableFailed,
    PuttingOffline,
    OfflineFailed,
};

// The message for VQ index i (0-based) with deviceCount devices in the
// table. args fill the remaining %s and %d of the text in order (the error's
// description, a path, a status); the VQ number comes first in the numbered
// form and is added here.
QString LoadMessage(LoadMsg id, int deviceCount, int i, const QStringList& args = {});

// The raw texts of both forms, for tests that list them.
struct LoadMessageForms {
    const char* single;
    const char* numbered;
};
LoadMessageForms LoadMessageText(LoadMsg id);

// Fills %d and %s of a printf-style text from args in order; a '%' inside an
// argument is left as it is.
QString FillPrintf(const char* format, const QStringList& args);
