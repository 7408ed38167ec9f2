#pragma once

#include <functional>

class HotKeyManager;

// How the shell reaches the manager: HotKeyManager::shared in the program,
// a manager of their own in tests. Windows call it when they first show
// their content, not before.
using ManagerAccess = std::function<HotKeyManager &()>;
