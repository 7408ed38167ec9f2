#pragma once

#include "platform/RunningApplicationWindows.h"

// For desktops that keep other programs' windows to themselves (Wayland):
// no window is ever found, so every press starts its target.
class NoRunningApplicationWindows final : public RunningApplicationWindows {
public:
    bool canFindWindows() override { return false; }
    std::optional<quintptr> find(const ApplicationIdentity &) override { return std::nullopt; }
    bool isFrontmost(quintptr) override { return false; }
    void activate(quintptr, quint64) override {}
};
