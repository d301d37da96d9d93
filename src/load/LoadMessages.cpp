#include "load/LoadMessages.h"

namespace {

struct Entry {
    LoadMsg id;
    LoadMessageForms forms;
};

// One place for both forms. An entry whose forms are the same text has no
// VQ in it.
const Entry kMessages[] = {
    {LoadMsg::SarvikIdFailed,
     {"Error: Failed to set sarvik ID of the VQ because of the error below:\r\n%s",
      "Error: Failed to set sarvik ID of VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::NoSarvikId,
     {"Error: The batch list holds no Sarvik ID for the VQ.",
      "Error: The batch list holds no Sarvik ID for VQ #%d."}},
    {LoadMsg::NoDevice,
     {"Error: There is no temporary device for the VQ.", "Error: There is no temporary device for VQ #%d."}},
    {LoadMsg::ImageMissing,
     {"Error: Cannot load application image into any devices\r\nbecause the file %s\r\nis invalid",
      "Error: Cannot load application image into any devices\r\nbecause the file %s\r\nis invalid"}},
    {LoadMsg::ImagePathFailed,
     {"Error: Failed to set the app image path of the VQ because of the error below:\r\n%s",
      "Error: Failed to set the app image path of VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::LoadingImage,
     {"Loading application image to the VQ...", "Loading application image to VQ #%d..."}},
    {LoadMsg::ImageRetry,
     {"Retry loading application image to VQ #%d. Retry #%d",
      "Retry loading application image to VQ #%d. Retry #%d"}},
    {LoadMsg::ImageFailed,
     {"Error: Failed to load into the VQ because of the error below:\r\n%s",
      "Error: Failed to load into VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::ImageLoaded,
     {"Loaded application image to the VQ successfully.",
      "Loaded application image to VQ #%d successfully."}},
    {LoadMsg::LoadingCps, {"Loading default CPs into the VQ...", "Loading default CPs into VQ #%d..."}},
    {LoadMsg::CpsFailed,
     {"Error: Failed to load default CPs into the VQ because of the error below:\r\n%s",
      "Error: Failed to load default CPs into VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::CpsLoaded,
     {"Loaded the default CPs into the VQ successfully.",
      "Loaded the default CPs into VQ #%d successfully."}},
    {LoadMsg::Commissioning, {"Commissioning the VQ...", "Commissioning VQ #%d..."}},
    {LoadMsg::CommissionFailed,
     {"Error: Failed to commission the VQ because of the error below:\r\n%s",
      "Error: Failed to commission VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::Commissioned, {"Commissioned the VQ successfully.", "Commissioned VQ #%d successfully."}},
    {LoadMsg::OnlineFailed,
     {"Error: Failed to put the VQ to online state because of the error below:\r\n%s",
      "Error: Failed to put VQ #%d to online state because of the error below:\r\n%s"}},
    {LoadMsg::Disabling,
     {"Disabling all Verdane Objects of the VQ...", "Disabling all Verdane Objects of VQ #%d..."}},
    {LoadMsg::DisableFailed,
     {"Error: Failed to disable all Verdane objects of the VQ because of the error below:\r\n%s",
      "Error: Failed to disable all Verdane objects of VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::LoadingEventList, {"Loading event list into the VQ...", "Loading event list into VQ #%d..."}},
    {LoadMsg::EventListLoaded,
     {"Loaded event list into the VQ successfully.", "Loaded event list into VQ #%d successfully."}},
    {LoadMsg::EventListFailed,
     {"Error: Failed to load the event list to the VQ because of the error below:\r\n%s",
      "Error: Failed to load the event list to VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::LoadingProgram,
     {"Loading interpreted program into the VQ...", "Loading interpreted program into VQ #%d..."}},
    {LoadMsg::ProgramLoaded,
     {"Loaded interpreter program into the VQ successfully.",
      "Loaded interpreter program into VQ #%d successfully."}},
    {LoadMsg::ProgramFailed,
     {"Error: Failed to load the interpreted program to the VQ because of the error below:\r\n%s",
      "Error: Failed to load the interpreted program to VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::LoadingDefaultProgram,
     {"Loading default interpreted program into the VQ...",
      "Loading default interpreted program into VQ #%d..."}},
    {LoadMsg::DefaultProgramLoaded,
     {"Loaded default interpreter program into the VQ successfully.",
      "Loaded default interpreter program into VQ #%d successfully."}},
    {LoadMsg::DefaultProgramFailed,
     {"Error: Failed to load the default interpreted program to the VQ because of the error below:\r\n%s",
      "Error: Failed to load the default interpreted program to VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::LoadingDatabase, {"Loading database into the VQ...", "Loading database into VQ #%d..."}},
    {LoadMsg::DownloadFailed,
     {"Error: The VQ could not be downloaded.  File Transfer Error #%d",
      "Error: VQ #%d could not be downloaded.  File Transfer Error #%d"}},
    {LoadMsg::DatabaseLoaded,
     {"Loaded database into the VQ successfully.", "Loaded database into VQ #%d successfully."}},
    {LoadMsg::ReEnabling,
     {"Re-Enabling VQ Verdane Object of the VQ...", "Re-Enabling VQ Verdane Object of VQ #%d..."}},
    {LoadMsg::ReEnableFailed,
     {"Error: Failed to enable the RQ object of the VQ because of the error below:\r\n%s",
      "Error: Failed to enable the RQ object of VQ #%d because of the error below:\r\n%s"}},
    {LoadMsg::PuttingOffline, {"Putting the VQ offline...", "Putting VQ #%d offline..."}},
    {LoadMsg::OfflineFailed,
     {"Error: Failed to turn the VQ offline because of the error below:\r\n%s",
      "Error: Failed to turn VQ #%d offline because of the error below:\r\n%s"}},
};

}  // namespace

LoadMessageForms LoadMessageText(LoadMsg id) {
    for (const Entry& e : kMessages)
        if (e.id == id) return e.forms;
    return {"", ""};
}

QString FillPrintf(const char* format, const QStringList& args) {
    const QString f = QString::fromUtf8(format);
    QString out;
    qsizetype next = 0;
    for (qsizetype k = 0; k < f.size(); ++k) {
        if (f[k] == QLatin1Char('%') && k + 1 < f.size() &&
            (f[k + 1] == QLatin1Char('d') || f[k + 1] == QLatin1Char('s'))) {
            if (next < args.size()) out += args[next];
            ++next;
            ++k;
            continue;
        }
        out += f[k];
    }
    return out;
}

QString LoadMessage(LoadMsg id, int deviceCount, int i, const QStringList& args) {
    const LoadMessageForms forms = LoadMessageText(id);
    // The retry note is numbered even for a single VQ; the missing-image line
    // names no VQ at all.
    if (id == LoadMsg::ImageRetry)
        return FillPrintf(forms.numbered, QStringList{QString::number(i + 1)} + args);
    if (id == LoadMsg::ImageMissing) return FillPrintf(forms.single, args);
    if (deviceCount == 1) return FillPrintf(forms.single, args);
    return FillPrintf(forms.numbered, QStringList{QString::number(i + 1)} + args);
}
