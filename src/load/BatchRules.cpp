#include "load/BatchRules.h"

#include "log/Log.h"
#include "util/Prompter.h"

namespace {

constexpr int kSarvikIdLength = 12;

}  // namespace

SarvikIdCheck CheckReceivedSarvikId(const QStringList& list, const QString& id) {
    return list.contains(id, Qt::CaseSensitive) ? SarvikIdCheck::Duplicate : SarvikIdCheck::Ok;
}

SarvikIdCheck CheckTypedSarvikId(const QStringList& list, const QString& id) {
    if (id.isEmpty()) return SarvikIdCheck::Empty;
    if (id.size() != kSarvikIdLength) return SarvikIdCheck::WrongLength;
    return CheckReceivedSarvikId(list, id);
}

void ShowSarvikIdRefusal(SarvikIdCheck check) {
    switch (check) {
        case SarvikIdCheck::Empty:
            AppMessageBox(QStringLiteral("You must enter the sarvik ID to be added."));
            break;
        case SarvikIdCheck::WrongLength:
            AppMessageBox(QStringLiteral("The length of the sarvik ID must be 12."));
            break;
        case SarvikIdCheck::Duplicate:
            MessageBox(QStringLiteral("This device is already in the batch load list."),
                       QStringLiteral("Service Pin Received"), MsgIcon::None);
            break;
        case SarvikIdCheck::Ok:
            break;
    }
}

bool CheckBatchForNext(const QStringList& list) {
    if (!list.isEmpty()) return true;
    ErrorBox(QStringLiteral("Must choose at least one VQ before proceeding."));
    return false;
}

void LogBatch(const QStringList& list) {
    LogWrite(QStringLiteral("Number of VQs to be batch loaded: %1").arg(list.size()));
    LogWrite(QStringLiteral("Their sarvik IDs are:"));
    for (const QString& id : list) LogWrite(id);
    LogWrite(QString());
}
