// The program's file dialog through the file-dialog service: the open kind
// that the compression page's Browse uses takes a new name at once and asks
// through the prompter before an existing file is taken.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QTimer>
#include <optional>

#include "WizardEnv.h"
#include "app/QtServices.h"

namespace {

struct Chosen {
    std::optional<QString> path;  // what the service returned
    bool stayedOpen = false;      // the dialog was still up after the presses (then cancelled)
    QFileDialog::FileMode mode = QFileDialog::ExistingFiles;
};

// Types a name into the dialog once it is up and presses Open as often as
// told; a dialog still up after that is cancelled.
Chosen Choose(const FileDialogRequest& req, const QString& name, int presses) {
    Chosen out;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg) return;
        out.mode = dlg->fileMode();
        dlg->selectFile(name);
        for (int i = 0; i < presses && dlg->isVisible(); ++i) static_cast<QDialog*>(dlg)->accept();
        out.stayedOpen = dlg->isVisible();
        if (out.stayedOpen) dlg->reject();
    });
    QTimer guard;  // a dialog that never came up as expected fails instead of hanging
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* dlg = QApplication::activeModalWidget()) dlg->close();
    });
    guard.start(10000);
    QtFileDialog service;
    out.path = service.Run(req);
    return out;
}

FileDialogRequest BrowseRequest(const QString& dir) {
    FileDialogRequest req;  // as the compression page's Browse asks
    req.open = true;
    req.flags = kFileDlgHideReadOnly | kFileDlgOverwritePrompt;
    req.initialDir = dir;
    req.filter = QStringLiteral("Compressed Database File (*.q70);;All files (*.*)");
    req.defaultExt = QStringLiteral("q70");
    return req;
}

TEST(FileDialog, OpenKindTakesANewNameAndAsksBeforeAnExistingOne) {
    WizardEnv env;
    const QString dir = env.InstallPath(QStringLiteral("/Vq"));
    const QString existing = dir + QStringLiteral("/plant.q70");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const FileDialogRequest req = BrowseRequest(dir);

    // A new name, without its extension: taken as it is, no question.
    Chosen c = Choose(req, dir + QStringLiteral("/newsite"), 1);
    EXPECT_EQ(c.path, dir + QStringLiteral("/newsite.q70"));
    EXPECT_EQ(c.mode, QFileDialog::AnyFile);
    EXPECT_TRUE(env.prompter.boxes.empty());

    // An existing file: No keeps the dialog open, Yes takes the file.
    env.prompter.Answer(MsgResult::No);
    c = Choose(req, existing, 1);
    EXPECT_TRUE(c.stayedOpen);
    EXPECT_EQ(c.path, std::nullopt);
    ASSERT_EQ(env.prompter.boxes.size(), 1u);
    EXPECT_TRUE(env.prompter.boxes[0].text.contains(QStringLiteral("plant.q70")));
    EXPECT_TRUE(env.prompter.boxes[0].text.contains(QStringLiteral("already exists")));
    EXPECT_EQ(env.prompter.boxes[0].buttons, MsgButtons::YesNo);

    env.prompter.Answer(MsgResult::No);
    env.prompter.Answer(MsgResult::Yes);
    c = Choose(req, existing, 2);
    EXPECT_FALSE(c.stayedOpen);
    EXPECT_EQ(c.path, existing);
    EXPECT_EQ(env.prompter.boxes.size(), 3u);

    // Without the overwrite flag an existing file is taken without a question;
    // with the must-exist flag only an existing file can be chosen.
    FileDialogRequest plain = req;
    plain.flags = kFileDlgHideReadOnly;
    EXPECT_EQ(Choose(plain, existing, 1).path, existing);
    plain.flags = kFileDlgHideReadOnly | kFileDlgFileMustExist;
    c = Choose(plain, existing, 1);
    EXPECT_EQ(c.path, existing);
    EXPECT_EQ(c.mode, QFileDialog::ExistingFile);
    EXPECT_EQ(env.prompter.boxes.size(), 3u);
}

}  // namespace
