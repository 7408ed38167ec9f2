#pragma once

class QWebEngineProfile;

// The program's web profile: cookies and site data kept on disk under the
// user's data directory, so that sign-ins survive restarts.
class PersistentWebProfile {
public:
    static QWebEngineProfile *create();
};
