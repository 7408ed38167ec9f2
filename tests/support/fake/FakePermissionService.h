#pragma once

#include "PermissionService.h"

// A permission a test sets; counts the requests made.
class FakePermissionService final : public PermissionService {
public:
    explicit FakePermissionService(bool allowed = true) : m_allowed(allowed) {}

    bool hotkeysAllowed() const override { return m_allowed; }
    bool requestHotkeys() override
    {
        ++m_requests;
        return m_allowed;
    }

    void setAllowed(bool allowed) { m_allowed = allowed; }
    int requestCount() const { return m_requests; }

private:
    bool m_allowed;
    int m_requests = 0;
};
