#pragma once

#include <QObject>

#include <memory>

class HotkeyButtons;
class ShortcutsEditorView;
class ShortcutsEditorWindow;
class WindowActivator;

// Owns the one editor window. The window is built hidden; its view comes
// with the first showing, so that building the shell does not load the
// buttons before the program has decided to run.
class ShortcutsEditorWindowController : public QObject {
    Q_OBJECT

public:
    ShortcutsEditorWindowController(HotkeyButtons &manager, std::shared_ptr<WindowActivator> activator,
                                    QObject *parent = nullptr);
    ~ShortcutsEditorWindowController() override;

    ShortcutsEditorWindow &window() const { return *m_window; }
    // Null until the window has been shown once.
    ShortcutsEditorView *view() const { return m_view; }

    // Shows the window where it was last, in front and with the focus.
    void showWindow();

Q_SIGNALS:
    void configurationRequested();

private:
    HotkeyButtons &m_manager;
    std::shared_ptr<WindowActivator> m_activator;
    std::unique_ptr<ShortcutsEditorWindow> m_window;
    ShortcutsEditorView *m_view = nullptr;
};
