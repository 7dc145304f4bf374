#pragma once

#include <QKeyCombination>

#include <vector>

class frmMain;

// One line of the main window's menu bar, in display order: a menu of the
// bar, an item of the menu above it, or a separator.
struct MenuEntry
{
    enum Kind
    {
        Menu,
        Item,
        Separator
    };
    Kind kind = Item;
    // The objectName, by which the code and the tests find the menu or item.
    const char* name = nullptr;
    const char16_t* caption = nullptr;
    // An item's command, or what runs each time a menu opens.
    void (frmMain::*handler)() = nullptr;
    // The command of an item of a control array, with its index.
    void (frmMain::*indexedHandler)(int) = nullptr;
    int index = 0;
    // Items that show a check mark; the mark changes only through the
    // item's command.
    bool checkable = false;
    QKeyCombination shortcut = {};
};

// The whole menu bar of the main window.
const std::vector<MenuEntry>& MainMenuTable();
