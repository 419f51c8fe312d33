#pragma once
// The Caps Lock, Num Lock and Scroll Lock state for the status bar's
// indicator panes, read from the keyboard LEDs the kernel exposes.
namespace tarvex {

struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

LockStates ReadLockStates();

}  // namespace tarvex
