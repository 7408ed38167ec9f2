#pragma once

#include <QString>

#include <dlfcn.h>

// GIO, opened the first time one of its users needs it and kept for the rest
// of the run. Linking it would load GIO, GObject and five more libraries into
// every run, about a megabyte of the idle program (Qt brings only GLib), though
// only a .desktop target or GNOME's settings use them.
class GioModule {
public:
    // Looks a function up, opening GIO first; false when either fails, and
    // error() then says why. GObject's and GLib's functions come through it
    // too: GIO depends on both.
    template<typename Function>
    static bool resolve(const char *name, Function &function)
    {
        void *module = handle();
        function = module ? reinterpret_cast<Function>(::dlsym(module, name)) : nullptr;
        if (module && !function)
            setError(QStringLiteral("GIO has no %1").arg(QLatin1String(name)));
        return function != nullptr;
    }
    static QString error();

private:
    static void *handle();
    static void setError(const QString &error);
};
