#include "ui/MainMenu.h"

#include "ui/frmMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>

namespace {

MenuEntry menu(const char* name, const char16_t* caption, void (frmMain::*onOpen)() = nullptr)
{
    MenuEntry e;
    e.kind = MenuEntry::Menu;
    e.name = name;
    e.caption = caption;
    e.handler = onOpen;
    return e;
}

MenuEntry item(const char* name, const char16_t* caption, void (frmMain::*handler)() = nullptr)
{
    MenuEntry e;
    e.name = name;
    e.caption = caption;
    e.handler = handler;
    return e;
}

MenuEntry checkItem(const char* name, const char16_t* caption, void (frmMain::*handler)() = nullptr)
{
    MenuEntry e = item(name, caption, handler);
    e.checkable = true;
    return e;
}

MenuEntry modeItem(const char* name, const char16_t* caption, int index,
                   void (frmMain::*handler)(int) = nullptr)
{
    MenuEntry e = item(name, caption);
    e.indexedHandler = handler;
    e.index = index;
    e.checkable = true;
    return e;
}

MenuEntry separator(const char* name)
{
    MenuEntry e;
    e.kind = MenuEntry::Separator;
    e.name = name;
    return e;
}

MenuEntry withShortcut(MenuEntry e, QKeyCombination key)
{
    e.shortcut = key;
    return e;
}

} // namespace

const std::vector<MenuEntry>& MainMenuTable()
{
    static const std::vector<MenuEntry> table = {
        menu("mnuFile", u"ﾌｧｲﾙ(&F)"),
        item("mnuDateRange", u"登録暦範囲(&R)", &frmMain::mnuDateRange_Click),
        separator("mnuFileSepa2"),
        item("mnuRestore", u"ﾊﾞｯｸｱｯﾌﾟから復元(&B)", &frmMain::mnuRestore_Click),
        item("mnuExport", u"ｴｸｽﾎﾟｰﾄ(&X)", &frmMain::mnuExport_Click),
        item("mnuImport", u"ｲﾝﾎﾟｰﾄ(&I)", &frmMain::mnuImport_Click),
        item("mnuPrint", u"印刷(&P)", &frmMain::mnuPrint_Click),
        separator("mnuFileSepa1"),
        item("mnuExit", u"終了(&E)", &frmMain::mnuExit_Click),

        menu("mnuEdit", u"編集(&E)", &frmMain::mnuEdit_Click),
        withShortcut(item("mnuCopy", u"ｺﾋﾟｰ(&C)", &frmMain::mnuCopy_Click),
                     QKeyCombination(Qt::CTRL, Qt::Key_C)),
        separator("mnuEditSepa1"),
        item("mnuChange", u"平日・休日切替え(&H)", &frmMain::mnuChange_Click),
        item("mnuChangeAll", u"毎年休日設定(&A)", &frmMain::mnuChangeAll_Click),
        item("mnuWeekDayAll", u"全て平日(&W)", &frmMain::mnuWeekDayAll_Click),
        item("mnuNotWeekDayAll", u"全て休日(&H)", &frmMain::mnuNotWeekDayAll_Click),
        item("mnuWeekAll", u"全曜日平日(&G)", &frmMain::mnuWeekAll_Click),
        item("mnuWeekNotAll", u"全曜日休日(&E)", &frmMain::mnuWeekNotAll_Click),
        separator("mnuEditSepa2"),
        item("mnuPlanAll", u"毎年行事挿入(&P)", &frmMain::mnuPlanAll_Click),
        separator("mnuEditSepa3"),
        item("mnuPublicHolidays", u"祝日を休日に設定(&J)", &frmMain::mnuPublicHolidays_Click),
        separator("mnuEditSepa4"),
        withShortcut(item("mnuFind", u"検索(&F)", &frmMain::mnuFind_Click),
                     QKeyCombination(Qt::CTRL, Qt::Key_F)),
        withShortcut(item("mnuFindNext", u"次を検索(&N)", &frmMain::mnuFindNext_Click),
                     QKeyCombination(Qt::Key_F3)),
        withShortcut(item("mnuFindPrev", u"前を検索(&B)", &frmMain::mnuFindPrev_Click),
                     QKeyCombination(Qt::SHIFT, Qt::Key_F3)),

        menu("mnuDisplay", u"表示(&D)"),
        modeItem("mnuDispMode_0", u"通常(&N)", 0, &frmMain::mnuDispMode_Click),
        modeItem("mnuDispMode_1", u"全暦一覧(&L)", 1, &frmMain::mnuDispMode_Click),
        modeItem("mnuDispMode_2", u"予定がある日だけの一覧(&P)", 2, &frmMain::mnuDispMode_Click),
        separator("mnuDispSepa1"),
        checkItem("mnuWordWrap", u"右端で折り返す(&W)", &frmMain::mnuWordWrap_Click),
        checkItem("mnuMarkEntries", u"予定がある日に印(&M)", &frmMain::mnuMarkEntries_Click),
        separator("mnuDispSepa2"),
        withShortcut(item("mnuOnThisDay", u"過去の同じ日(&O)", &frmMain::mnuOnThisDay_Click),
                     QKeyCombination(Qt::CTRL, Qt::Key_T)),
        item("mnuStatistics", u"記録(&S)", &frmMain::mnuStatistics_Click),

        menu("mnuConfig", u"環境(&C)"),
        checkItem("mnuStartupCopy", u"Windows起動時に Zedu も起動(&S)",
                  &frmMain::mnuStartupCopy_Click),
        checkItem("mnuDisktopCopy", u"ﾃﾞｽｸﾄｯﾌﾟに登録(D)", &frmMain::mnuDisktopCopy_Click),
        checkItem("mnuSpeed", u"動作速度優先(&R)", &frmMain::mnuSpeed_Click),
        separator("mnuConfigSepa1"),
        checkItem("mnuEncrypt", u"暗号化(&K)", &frmMain::mnuEncrypt_Click),

        menu("mnuHelp", u"ﾍﾙﾌﾟ(&H)"),
        item("mnuHelpCategory", u"目次(&C)", &frmMain::mnuHelpCategory_Click),
        separator("mnuHelpSepa1"),
        item("mnuAbout", u"ﾊﾞｰｼﾞｮﾝ情報(&A)", &frmMain::mnuAbout_Click),
    };
    return table;
}

void frmMain::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    QMenu* current = nullptr;
    for (const MenuEntry& entry : MainMenuTable()) {
        const QString name = QLatin1String(entry.name);
        switch (entry.kind) {
        case MenuEntry::Menu:
            current = bar->addMenu(QString::fromUtf16(entry.caption));
            current->setObjectName(name);
            current->menuAction()->setObjectName(name);
            if (entry.handler)
                connect(current, &QMenu::aboutToShow, this, entry.handler);
            break;
        case MenuEntry::Separator:
            current->addSeparator()->setObjectName(name);
            break;
        case MenuEntry::Item: {
            QAction* action = current->addAction(QString::fromUtf16(entry.caption));
            action->setObjectName(name);
            action->setCheckable(entry.checkable);
            if (entry.shortcut != QKeyCombination())
                action->setShortcut(QKeySequence(entry.shortcut));
            mMenuItems.insert(name, action);
            connect(action, &QAction::triggered, this, [this, action, entry] {
                if (action->isCheckable()) {
                    // Qt toggles the mark on the click; it is taken back so
                    // that only the command itself moves it.
                    const QSignalBlocker quiet(action);
                    action->setChecked(!action->isChecked());
                }
                if (entry.handler)
                    (this->*entry.handler)();
                else if (entry.indexedHandler)
                    (this->*entry.indexedHandler)(entry.index);
            });
            break;
        }
        }
    }
    mnuEdit = findChild<QMenu*>(QStringLiteral("mnuEdit"));
    mnuChange = menuItem(QStringLiteral("mnuChange"));
    mnuChangeAll = menuItem(QStringLiteral("mnuChangeAll"));
    mnuSpeed = menuItem(QStringLiteral("mnuSpeed"));
    mnuStartupCopy = menuItem(QStringLiteral("mnuStartupCopy"));
    mnuDisktopCopy = menuItem(QStringLiteral("mnuDisktopCopy"));
    mnuEncrypt = menuItem(QStringLiteral("mnuEncrypt"));
    for (int i = 0; i < 3; ++i)
        mnuDispMode[i] = menuItem(QStringLiteral("mnuDispMode_%1").arg(i));
}
