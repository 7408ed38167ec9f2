#pragma once

class QUrl;

// What the web window does with an address a page navigates to. Pages load
// only the web's own schemes; links for the desktop's mail, phone and
// messaging programs go to the desktop, and only when the user clicked them.
class LinkPolicy {
public:
    enum class Action { Load, OpenOnDesktop, Refuse };

    static Action decide(const QUrl &url, bool clickedLink);
};
