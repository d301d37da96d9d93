#include "load/AppImageRules.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include "context/PageFlow.h"
#include "load/VersionFolders.h"
#include "log/Log.h"
#include "util/HistoryList.h"
#include "util/Paths.h"
#include "util/Prompter.h"
#include "util/Registry.h"

namespace {

const QString kImportFolder = QStringLiteral("/Import/Quillane/vq/");
const QString kIntProgFolder = QStringLiteral("/Vq/IntProg/");

}  // namespace

QString ImportRelativeDir() {
    return QDir::toNativeSeparators(kImportFolder);
}

QString IntProgRelativeDir() {
    return QDir::toNativeSeparators(kIntProgFolder);
}

QString ImportDir() {
    QString dir;
    if (!PrefixInstallDir(dir, ImportRelativeDir())) return QString();
    return dir;
}

QString NewestImageFolder() {
    const QString dir = ImportDir();
    return dir.isEmpty() ? QString() : versionfolders::Newest(dir);
}

bool StoredLoadImage() {
    return OpenProfile()->value(QString::fromLatin1(kLoadAppImageValue), 1).toInt() != 0;
}

AppImageControls AppImageControlsFor(int mainOption, bool interpretedProgram, bool checked) {
    AppImageControls c;
    const bool imageOnly = mainOption == kOptionLoadApplicationOnly;
    c.prompt = imageOnly ? kAppImageOnlyPrompt : kAppImagePrompt;
    c.checkVisible = !imageOnly;
    c.imageEnabled = imageOnly || checked;
    c.programVisible = interpretedProgram && !imageOnly;
    return c;
}

QStringList StartImageList() {
    const QString importDir = ImportDir();
    const QString newest = NewestImageFolder();
    auto profile = OpenProfile();
    const QString last = profile->value(QString::fromLatin1(kLastAppImageDirValue)).toString();

    CHistoryList history;
    history.LoadFromRegistry(kAppImageHistSection);
    QStringList items;
    history.FillCombo(items);
    if (items.isEmpty()) {
        items = versionfolders::RefillItems(importDir, QStringLiteral("*") + kAppImageExt);
    } else if (versionfolders::IsNewer(newest, last)) {
        MessageBox(QStringLiteral("There has been a version update of the application image file. The newest "
                                  "version has been selected for you on the next page."),
                   QStringLiteral("Version Update"), MsgIcon::Information);
        items = versionfolders::RefillItems(importDir, QStringLiteral("*") + kAppImageExt);
    }
    history.ReadFromCombo(items);
    history.SaveToRegistry(kAppImageHistSection);
    profile->setValue(QString::fromLatin1(kLastAppImageDirValue), newest);
    return items;
}

QStringList ProgramHistory() {
    CHistoryList history;
    history.LoadFromRegistry(kIntProgHistSection);
    QStringList items;
    history.FillCombo(items);
    return items;
}

namespace {

void Remember(const QString& section, const QString& text) {
    CHistoryList history;
    history.LoadFromRegistry(section);
    history.Add(text);
    history.SaveToRegistry(section);
}

// Names the files, logs the start and compiles; true when compiled.
bool Compile(const QString& source, ProgramFiles& files, const std::function<int(const QString&)>& compile) {
    LogWrite(QString());
    LogWrite(QStringLiteral("Compiling interpreted program from file:") + source);
    files = ProgramFilesFor(source);
    if (FileExists(files.compiled))
        LogWrite(QStringLiteral("The compiled file %1 already exists. Overwriting this file.")
                     .arg(files.compiled));
    if (compile(source) != kCompileOk) return false;
    LogWrite(QStringLiteral("Finish compiling interpreted program."));
    return true;
}

}  // namespace

AppImageNextResult AppImageNext(const AppImageNextRequest& request,
                                const std::function<int(const QString&)>& compile) {
    AppImageNextResult r;
    const bool imageOnly = request.mainOption == kOptionLoadApplicationOnly;
    if (imageOnly) {
        r.loadImage = true;
    } else {
        OpenProfile()->setValue(QString::fromLatin1(kLoadAppImageValue), request.loadChecked ? 1 : 0);
        r.loadImage = request.loadChecked;
    }

    if (r.loadImage) {
        if (request.imageText.isEmpty()) {
            ErrorBox(QStringLiteral("You must enter the file name of the application image file."));
            return r;
        }
        QString path = request.imageText;
        QString dir = NewestImageFolder();
        if (!ResolveFileName(path, dir, kAppImageExt, true) || !FileExists(path)) {
            ErrorBox(QStringLiteral("The file you specified does not exist. Please re-enter the file name."));
            r.focus = AppImageFocus::Image;
            return r;
        }
        r.imagePath = path;
        Remember(kAppImageHistSection, request.imageText);
        LogWrite(QStringLiteral("Chose to load application image file: ") + request.imageText);
    } else {
        LogWrite(QStringLiteral("Chose not to load application image"));
    }
    LogWrite(QString());

    if (request.interpretedProgram && !imageOnly) {
        if (request.programText.isEmpty()) {
            ErrorBox(QStringLiteral("You must enter the file name of the source interpreted program."));
            return r;
        }
        QString source = request.programText;
        QString dir = IntProgRelativeDir();
        if (!ResolveFileName(source, dir, kProgramSourceExt, true) || !FileExists(source)) {
            ErrorBox(QStringLiteral(
                "The interpreted program file you specified does not exist. Please re-enter."));
            r.focus = AppImageFocus::Program;
            return r;
        }
        if (!Compile(source, r.program, compile)) {
            LogSection(QStringLiteral("Begin Interpreter Program Error"));
            const bool appended = AppendFileToLog(r.program.errors, nullptr, true);
            LogSection(QStringLiteral("End Interpreter Program Error"));
            if (appended) QFile::remove(r.program.errors);
            return r;
        }
        r.compiled = true;
        Remember(kIntProgHistSection, request.programText);
    }
    r.proceed = true;
    return r;
}
