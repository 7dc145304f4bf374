// The Environment menu: the program's shortcut in the startup and desktop
// folders, and speed priority.

#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/ShortcutFiles.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "ui/frmMain.h"

#include <QAction>

namespace {

struct ShortcutTexts
{
    const char16_t* folderName; // the shell folder the shortcut goes to
    const char16_t* askWhenOn;
    const char16_t* askWhenOff;
    const char16_t* notFound;
    const char16_t* copyFailed;
    const char16_t* deleteFailed;
    const char16_t* doneOn;
    const char16_t* doneOff;
};

const ShortcutTexts kStartup = {
    u"Startup",
    u"現在「Windows 起動時に Zedu も起動」する様に設定されています。\r"
    u"「Windows 起動時に Zedu も起動」せずに、手動で Zedu を起動する様にしますか？",
    u"現在「Windows 起動時に Zedu も起動」せずに、手動で Zedu を起動する様に設定されています。\r"
    u"「Windows 起動時に Zedu も起動」する様に設定しますか？",
    u"あなたのｺﾝﾋﾟｭｰﾀｰの環境では「Windows 起動時に Zedu も起動」する様に設定できません。",
    u"「Windows 起動時に Zedu も起動」する様に設定できませんでした。",
    u"「Windows 起動時に Zedu も起動」しない様に設定できませんでした。",
    u"「Windows 起動時に Zedu も起動」する様に設定されました。",
    u"「Windows 起動時に Zedu も起動」せずに、手動で Zedu を起動する様に設定されました。",
};

const ShortcutTexts kDesktop = {
    u"Desktop",
    u"現在 Zedu はデスクトップに登録されています。\r削除しますか？",
    u"現在 Zedu はデスクトップに登録されていません。\r登録しますか？",
    u"あなたのｺﾝﾋﾟｭｰﾀｰの環境では、デスクトップに登録できません。",
    u"デスクトップに登録できませんでした。",
    u"デスクトップから削除できませんでした。",
    u"デスクトップに登録されました。",
    u"デスクトップから削除されました。",
};

QString text(const char16_t* s)
{
    return QString::fromUtf16(s);
}

// The first shortcut of the program in the programs folders, searched in
// their order; "" when there is none.
QString findShortcut()
{
    for (const QString& folder : ProgramsFolders()) {
        const QString found = FindFile(folder, kShortcutName);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

// Places the shortcut in the option's folder or takes it away, as the check
// mark says the other state is wanted. The mark moves only when the folder
// now holds what the new state says.
void toggleShortcut(QAction* mark, const ShortcutTexts& texts)
{
    const bool on = mark->isChecked();
    if (AskYesNo(text(on ? texts.askWhenOn : texts.askWhenOff)) == Dialogs::No)
        return;
    const QString folder = ShellFolder(text(texts.folderName));
    const QString target = folder + QLatin1Char('/') + kShortcutName;
    if (on) {
        if (!folder.isEmpty()) {
            if (const auto problem = DeleteShortcut(target)) {
                ShowWarning(text(texts.deleteFailed) + QLatin1Char('\r') +
                            FileProblemText(*problem));
                return;
            }
        }
    } else {
        const QString source = folder.isEmpty() ? QString() : findShortcut();
        if (source.isEmpty()) {
            ShowWarning(text(texts.notFound));
            return;
        }
        if (const auto problem = CopyShortcut(source, target)) {
            ShowWarning(text(texts.copyFailed) + QLatin1Char('\r') + FileProblemText(*problem));
            return;
        }
    }
    mark->setChecked(!on);
    ShowInfo(text(mark->isChecked() ? texts.doneOn : texts.doneOff));
}

} // namespace

void frmMain::mnuStartupCopy_Click()
{
    toggleShortcut(mnuStartupCopy, kStartup);
}

void frmMain::mnuDisktopCopy_Click()
{
    toggleShortcut(mnuDisktopCopy, kDesktop);
}

void frmMain::mnuSpeed_Click()
{
    const QString question =
        gOpenFlag ? QStringLiteral("現在「速度優先」に設定されています。\r"
                                   "「速度優先」を外すと、メモリの消費量が減りますが、"
                                   "動作速度は遅くなります。\r変更しますか？")
                  : QStringLiteral("現在「速度優先」に設定されていません。\r"
                                   "「速度優先」にすると、メモリの消費量が増えますが、"
                                   "動作速度は速くなります。\r変更しますか？");
    if (AskYesNo(question) == Dialogs::No)
        return;
    const bool flag = !gOpenFlag;
    // A calendar that cannot be opened leaves the option as it was; the
    // warning says why.
    if (flag && !guarded([] { gDatabase.open(gDataPath); }))
        return;
    gOpenFlag = flag;
    if (!RegWrite(kRegKey, QStringLiteral("OpenFlag"),
                  flag ? QStringLiteral("True") : QStringLiteral("False")))
        ShowWarning(QStringLiteral("設定変更に失敗しました。"));
    mnuSpeed->setChecked(gOpenFlag);
    if (flag) {
        ShowInfo(QStringLiteral("「速度優先」に設定されました。"));
    } else {
        gDatabase.close();
        ShowInfo(QStringLiteral("「速度優先」ではなくなりました。"));
    }
}
