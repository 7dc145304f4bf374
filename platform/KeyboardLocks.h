#pragma once

// The lock states of the keyboard, as the window system reports them. Where
// nothing can be read (no keyboard indicators, an offscreen session) every
// state is off.
struct KeyboardLocks
{
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool kana = false;

    bool operator==(const KeyboardLocks&) const = default;
};

KeyboardLocks ReadKeyboardLocks();
