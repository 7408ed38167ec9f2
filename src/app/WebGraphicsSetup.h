#pragma once

// The web engine draws through an OpenGL context shared with the windows
// that show it. Normally that context comes into being with the application
// object; Vantorel loads the engine only at the first web launch (a GL stack
// at start-up would more than double its memory), so it creates the shared
// context then, just before the engine is loaded. Without a working context
// the engine draws in software, which the log then says.
class WebGraphicsSetup {
public:
    static void prepareSharedContext();
};
